#include "definition_text.h"

#include <array>
#include <cassert>
#include <cstring>
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

// Whether `text` continues at `at` with `joiner`.
bool JoinerAt(std::string_view text, std::size_t at,
              std::string_view joiner) noexcept {
  return joiner.size() <= text.size() - at &&
         std::memcmp(text.data() + at, joiner.data(), joiner.size()) == 0;
}

// The lowest position at or after `from` at which `text` continues with
// `joiner`, or kNotFound. Joiners begin with '@', which rule texts hardly
// hold elsewhere (their middle bytes are capitals, which names are full
// of), and lie a condition apart: memchr for the '@', then the whole joiner.
std::size_t FindJoiner(std::string_view text, std::size_t from,
                       std::string_view joiner) noexcept {
  for (std::size_t at = codec_internal::FindFarByte(text, from, '@');
       at != kNotFound; at = codec_internal::FindFarByte(text, at + 1, '@')) {
    if (JoinerAt(text, at, joiner)) return at;
  }
  return kNotFound;
}

// The cuts of a definition text, in order: the or-joiners when it holds
// one, which wins wherever it stands ("@@AND@@" is then ordinary text inside
// the pieces), else the and-joiners, each at or after the end of the one
// before; none in a text without a joiner. Next() gives each cut, then
// kNotFound.
//
// The cuts are found by one scan over the text's '@' bytes, which must reach
// the first or-joiner, or the end of the text, before the first cut is
// known. On its way it keeps the first kKept and-joiners, so the cuts of a
// typical rule, which has a few conditions, come from that one pass; later
// cuts are searched for as they are asked for.
class JoinerCuts {
 public:
  explicit JoinerCuts(std::string_view text) : text_(text) {
    static_assert(kOrJoiner[0] == '@' && kAndJoiner[0] == '@',
                  "the scan looks at the bytes that begin the joiners");
    std::size_t and_from = 0;
    for (std::size_t at = codec_internal::FindFarByte(text, 0, '@');
         at != kNotFound; at = codec_internal::FindFarByte(text, at, '@')) {
      if (JoinerAt(text, at, kOrJoiner)) {
        StartOrCuts(at);
        return;
      }
      if (at < and_from || !JoinerAt(text, at, kAndJoiner)) {
        ++at;
        continue;
      }
      if (kept_ < kKept) ands_[kept_++] = at;
      and_from = at + kAndJoiner.size();
      // No joiner begins inside "@@AND"; an or-joiner may begin at either
      // '@' of the closing "@@", and the scan goes on after them. (An
      // and-joiner beginning there overlaps this one and is not a cut.)
      const std::size_t tail =
          JoinerAt(text, at + 5, kOrJoiner) ? at + 5 : at + 6;
      if (JoinerAt(text, tail, kOrJoiner)) {
        StartOrCuts(tail);
        return;
      }
      at = and_from;
    }
    if (kept_ != 0) {
      joiner_ = kAndJoiner;
      combination_ = kAndCombination;
      // Past the kept ones, the cuts are searched for only when the scan
      // kept as many as it could.
      search_on_ = kept_ == kKept;
    }
  }

  // Whether the text holds a joiner, and then the joiner it is cut at and
  // the combination that names it.
  bool joined() const noexcept { return !joiner_.empty(); }
  std::string_view joiner() const noexcept { return joiner_; }
  std::uint32_t combination() const noexcept { return combination_; }

  // The position of the next cut, or kNotFound after the last one.
  std::size_t Next() {
    std::size_t cut = kNotFound;
    if (next_ < kept_) {
      cut = ands_[next_++];
    } else if (search_on_) {
      cut = FindJoiner(text_, from_, joiner_);
    }
    if (cut != kNotFound) from_ = cut + joiner_.size();
    return cut;
  }

 private:
  static constexpr std::size_t kKept = 8;

  // The text is or-joined, and its first cut is at `at`.
  void StartOrCuts(std::size_t at) {
    joiner_ = kOrJoiner;
    combination_ = kOrCombination;
    kept_ = 1;
    ands_[0] = at;  // the first cut, found by the scan
    search_on_ = true;
  }

  std::string_view text_;
  std::string_view joiner_;
  std::uint32_t combination_ = kOrCombination;
  std::array<std::size_t, kKept> ands_ = {};  // the cuts the scan found
  std::size_t kept_ = 0;
  std::size_t next_ = 0;    // the next of them to give
  bool search_on_ = false;  // whether cuts after them are searched for
  std::size_t from_ = 0;    // where the search for the next cut starts
};

}  // namespace

bool ParseDefinitionText(const std::string& text, AlertDefinitions& target) {
  return ParseDefinitionText(std::string_view(text), target, nullptr);
}

bool ParseDefinitionText(std::string_view whole, AlertDefinitions& target,
                         std::size_t* rejected_at) {
  JoinerCuts cuts(whole);
  if (cuts.joined()) target.combination = cuts.combination();

  // Each piece runs from the end of a cut, or the start of the text, to the
  // next cut; the last to the end of the text (substr cuts the count
  // kNotFound - start at the end). Pieces are not trimmed: the blanks around
  // each joiner go with them, and the condition reader skips them.
  for (std::size_t start = 0;;) {
    const std::size_t cut = cuts.Next();
    if (!ReadPiece(whole.substr(start, cut - start), target.definitions)) {
      if (rejected_at != nullptr) *rejected_at = start;
      return false;
    }
    if (cut == kNotFound) return true;
    start = cut + cuts.joiner().size();
  }
}

std::size_t DefinitionTextSize(const AlertDefinitions& source) {
  codec_internal::SizeSink size;
  PutDefinitionText(size, source, SeparatorFor(source.combination),
                    CurrentMarks());
  return size.size();
}

void PutDefinitionTextAt(char* out, const AlertDefinitions& source) {
  codec_internal::WriteSink sink(out);
  PutDefinitionText(sink, source, SeparatorFor(source.combination),
                    CurrentMarks());
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
