#include "definition_text.h"

#include <array>
#include <cassert>
#include <cstring>
#include <initializer_list>
#include <list>
#include <string_view>

#include "condition_text.h"
#include "mark_search.h"
#include "text_sink.h"

namespace vantrel {
namespace {

using codec_internal::kNotFound;

// The joiners are the definition text's own; they are not read from the
// vocabulary.
constexpr std::string_view kOrJoiner = "@@OR@@";
constexpr std::string_view kAndJoiner = "@@AND@@";

constexpr std::uint32_t kOrCombination = 0;
constexpr std::uint32_t kAndCombination = 1;

// What the writers put between two condition texts: a blank, the joiner and
// a blank; two blanks when `combination` names no joiner.
constexpr std::string_view kAndSeparator = " @@AND@@ ";
constexpr std::string_view kOrSeparator = " @@OR@@ ";
constexpr std::string_view kBareSeparator = "  ";

// A new record at the end of a list that stays there only when Keep() is
// called: a rejected piece, or an error thrown while it is read, takes it
// away again.
class RecordOnTrial {
 public:
  explicit RecordOnTrial(std::list<AlertDefinition>& list)
      : list_(list), record_(list.emplace_back()) {}
  RecordOnTrial(const RecordOnTrial&) = delete;
  RecordOnTrial& operator=(const RecordOnTrial&) = delete;
  RecordOnTrial(RecordOnTrial&&) = delete;
  RecordOnTrial& operator=(RecordOnTrial&&) = delete;
  ~RecordOnTrial() {
    if (!kept_) list_.pop_back();
  }

  AlertDefinition& record() { return record_; }
  void Keep() { kept_ = true; }

 private:
  std::list<AlertDefinition>& list_;
  AlertDefinition& record_;
  bool kept_ = false;
};

// Reads one piece into a new record at the end of `definitions`, which
// keeps it only when the piece is accepted, so `definitions` gains one
// complete record or stays as it was. The record is read where it will
// stay, so nothing is copied or moved.
bool ReadPiece(std::string_view piece,
               std::list<AlertDefinition>& definitions) {
  RecordOnTrial trial(definitions);
  if (!ReadConditionText(piece, trial.record())) return false;
  trial.Keep();
  return true;
}

std::string_view SeparatorFor(std::uint32_t combination) noexcept {
  if (combination == kAndCombination) return kAndSeparator;
  if (combination == kOrCombination) return kOrSeparator;
  return kBareSeparator;
}

// Puts the definition text of `source` into `sink` (text_sink.h): the
// condition texts of its records with `separator` between each two.
template <typename Sink>
void PutDefinitionText(Sink& sink, const AlertDefinitions& source,
                       std::string_view separator,
                       const ConditionMarks& marks) {
  bool first = true;
  for (const AlertDefinition& record : source.definitions) {
    if (!first) sink.Put(separator);
    first = false;
    PutConditionText(sink, record, marks);
  }
}

// What one scan of a definition text over its '@' bytes finds: the first
// or-joiner, and, until then, the first and-joiners at which an and-joined
// text is cut (each at or after the end of the one before, as the cutting
// takes them), up to kKept of them. A typical rule has a few conditions, so
// its and-joiners are all found in the same pass as the or-joiner search.
struct JoinerScan {
  static constexpr std::size_t kKept = 8;
  std::size_t first_or = kNotFound;
  std::size_t and_count = 0;
  std::array<std::size_t, kKept> ands = {};
};

JoinerScan ScanJoiners(std::string_view text) {
  static_assert(kOrJoiner[0] == '@' && kAndJoiner[0] == '@',
                "the scan looks at the bytes that begin the joiners");
  JoinerScan scan;
  const auto joiner_at = [text](std::size_t at, std::string_view joiner) {
    return joiner.size() <= text.size() - at &&
           std::memcmp(text.data() + at, joiner.data(), joiner.size()) == 0;
  };
  std::size_t and_from = 0;
  // Joiners lie a condition apart, usually more than sixteen bytes.
  std::size_t at = codec_internal::FindFarByte(text, 0, '@');
  while (at != kNotFound) {
    if (joiner_at(at, kOrJoiner)) {
      scan.first_or = at;
      break;
    }
    std::size_t next = at + 1;
    if (at >= and_from && joiner_at(at, kAndJoiner)) {
      if (scan.and_count < JoinerScan::kKept) scan.ands[scan.and_count++] = at;
      and_from = at + kAndJoiner.size();
      // No joiner begins inside "@@AND"; an or-joiner may begin at either
      // '@' of the closing "@@", and the scan goes on after them. (An
      // and-joiner beginning there overlaps this one and is not a cut.)
      for (const std::size_t tail : {at + 5, at + 6}) {
        if (joiner_at(tail, kOrJoiner)) {
          scan.first_or = tail;
          return scan;
        }
      }
      next = and_from;
    }
    at = codec_internal::FindFarByte(text, next, '@');
  }
  return scan;
}

}  // namespace

bool ParseDefinitionText(const std::string& text, AlertDefinitions& target) {
  const std::string_view whole(text);

  // The or-joiner wins wherever it stands; "@@AND@@" is then ordinary text
  // inside the pieces.
  const JoinerScan scan = ScanJoiners(whole);
  std::string_view joiner = kOrJoiner;
  std::size_t found = scan.first_or;
  // The cuts that the scan found already: none for the or-joiner.
  std::size_t kept = 0;
  std::size_t next_kept = 0;
  if (found != kNotFound) {
    target.combination = kOrCombination;
  } else if (scan.and_count != 0) {
    joiner = kAndJoiner;
    kept = scan.and_count;
    found = scan.ands[next_kept++];
    target.combination = kAndCombination;
  }
  // Without a joiner, `found` stays kNotFound and the whole text is the one
  // piece.

  // Pieces are not trimmed: the blanks around each joiner go with them, and
  // the condition reader skips them. The last piece runs to the end of the
  // text (substr cuts the count kNotFound - start at the end).
  std::size_t start = 0;
  for (;;) {
    if (!ReadPiece(whole.substr(start, found - start), target.definitions)) {
      return false;
    }
    if (found == kNotFound) return true;
    start = found + joiner.size();
    if (next_kept < kept) {
      found = scan.ands[next_kept++];
    } else if (kept != 0 && kept < JoinerScan::kKept) {
      found = kNotFound;  // the scan saw every and-joiner
    } else {
      // Joiners begin with '@', which rule texts hardly hold elsewhere; their
      // middle bytes are capitals, which names are full of.
      found = codec_internal::FindMarkAnchoredAt(whole, start, whole.size(),
                                                 joiner, 0);
    }
  }
}

bool WriteDefinitionText(std::string& text, const AlertDefinitions& source) {
  const std::string_view separator = SeparatorFor(source.combination);
  const ConditionMarks marks = CurrentMarks();

  // One walk counts the bytes, and notes whether `text` is one of the
  // fields; the same walk then writes them.
  codec_internal::SizeSink size(text.data());
  PutDefinitionText(size, source, separator, marks);

  // When the text fits in the host's string, and that string is not one of
  // the fields read, the text is written there: resize() within the
  // capacity allocates nothing, and fills only the bytes beyond the old
  // size. Otherwise it is written into a string of its own, and the host's
  // string is touched only once the text is complete, so that an allocation
  // that fails leaves it as it was and a field that is the host's string is
  // read whole before it is replaced. Nothing can fail once writing starts.
  const bool in_place = size.size() <= text.capacity() && !size.saw_watched();
  std::string working =
      in_place ? std::string() : std::string(size.size(), '\0');
  if (in_place) text.resize(size.size());
  std::string& out = in_place ? text : working;
  codec_internal::WriteSink sink(out.data());
  PutDefinitionText(sink, source, separator, marks);
  assert(sink.end() == out.data() + out.size());
  if (!in_place) text = std::move(working);
  return true;
}

}  // namespace vantrel
