#include "definition_text.h"

#include <cassert>
#include <list>
#include <string_view>

#include "condition_text.h"
#include "mark_search.h"

namespace vantrel {
namespace {

using codec_internal::FindMark;
using codec_internal::kNotFound;

// The joiners are the definition text's own; they are not read from the
// vocabulary.
constexpr std::string_view kOrJoiner = "@@OR@@";
constexpr std::string_view kAndJoiner = "@@AND@@";

constexpr std::uint32_t kOrCombination = 0;
constexpr std::uint32_t kAndCombination = 1;

// Reads one piece into a record of its own and, when the piece is accepted,
// splices that record onto the end of `definitions`. Splicing moves no
// record and cannot fail, so `definitions` gains one complete record or
// stays as it was, even when reading the piece throws.
bool ReadPiece(std::string_view piece, std::list<AlertDefinition>& definitions) {
  std::list<AlertDefinition> staged;
  if (!ReadConditionText(piece, staged.emplace_back())) return false;
  definitions.splice(definitions.end(), staged);
  return true;
}

std::string_view JoinerFor(std::uint32_t combination) noexcept {
  if (combination == kAndCombination) return kAndJoiner;
  if (combination == kOrCombination) return kOrJoiner;
  return {};
}

}  // namespace

bool ParseDefinitionText(const std::string& text, AlertDefinitions& target) {
  const std::string_view whole(text);

  // The or-joiner wins wherever it stands; "@@AND@@" is then ordinary text
  // inside the pieces.
  std::string_view joiner = kOrJoiner;
  std::size_t found = FindMark(whole, 0, kOrJoiner);
  if (found != kNotFound) {
    target.combination = kOrCombination;
  } else {
    joiner = kAndJoiner;
    found = FindMark(whole, 0, kAndJoiner);
    if (found == kNotFound) return ReadPiece(whole, target.definitions);
    target.combination = kAndCombination;
  }

  // Pieces are not trimmed: the blanks around each joiner go with them, and
  // the condition reader skips them.
  std::size_t start = 0;
  for (;;) {
    if (!ReadPiece(whole.substr(start, found - start), target.definitions)) {
      return false;
    }
    start = found + joiner.size();
    found = FindMark(whole, start, joiner);
    if (found == kNotFound) {
      return ReadPiece(whole.substr(start), target.definitions);
    }
  }
}

bool WriteDefinitionText(std::string& text, const AlertDefinitions& source) {
  const std::string_view joiner = JoinerFor(source.combination);
  const std::size_t separator = joiner.size() + 2;

  // Size the working string once; saturation makes an impossible size fail
  // in resize() with std::length_error instead of wrapping.
  std::size_t total = 0;
  bool first = true;
  for (const AlertDefinition& record : source.definitions) {
    std::size_t next = total + ConditionTextSize(record);
    if (next < total) next = static_cast<std::size_t>(-1);
    if (!first) {
      const std::size_t with_separator = next + separator;
      next = with_separator < next ? static_cast<std::size_t>(-1)
                                   : with_separator;
    }
    total = next;
    first = false;
  }

  std::string working;
  working.resize(total);
  char* dst = working.data();
  first = true;
  for (const AlertDefinition& record : source.definitions) {
    if (!first) {
      *dst++ = ' ';
      if (!joiner.empty()) {
        joiner.copy(dst, joiner.size());
        dst += joiner.size();
      }
      *dst++ = ' ';
    }
    first = false;
    dst = WriteConditionText(dst, record);
  }
  assert(dst == working.data() + working.size());
  (void)dst;

  // The host's string is touched only here, once the text is complete.
  text = std::move(working);
  return true;
}

}  // namespace vantrel
