// The alerting system's vocabulary: 190 string constants with fixed texts.
//
// Internal to the library: nothing here is exported. The constants are
// defined in one translation unit in their order of definition, so they are
// created in that order when the library is loaded and destroyed in reverse
// order when it is unloaded. Equal texts are distinct objects.
//
//   vantrel::vocabulary::delimiters::kNameMark == "--#--"
//   vantrel::vocabulary::ByPosition(24) == &delimiters::kNameMark
//   // Both are "--;--", yet two objects:
//   &delimiters::kItemSeparator != &delimiters::kSemicolonMark2
//
// The condition text reads its marks from eight of the delimiters; nothing
// else in the library reads a constant.

#ifndef VANTREL_SRC_VOCABULARY_VOCABULARY_H_
#define VANTREL_SRC_VOCABULARY_VOCABULARY_H_

#include <cstddef>
#include <string>

namespace vantrel {
namespace vocabulary {

// Each constant, and, as compile-time constants taken from the same
// literal, the length of its text and the byte in its middle, at index
// length / 2 ('\0' for the empty text):
//
//   delimiters::kNameMarkLength == 5
//   delimiters::kNameMarkMiddle == '#'
#define VANTREL_WORD(group, identifier, text)                         \
  namespace group {                                                   \
  extern const std::string identifier;                                \
  constexpr std::size_t identifier##Length = sizeof(text) - 1;        \
  constexpr char identifier##Middle = (text)[(sizeof(text) - 1) / 2]; \
  }
#include "vocabulary_list.inc"
#undef VANTREL_WORD

// Number of constants.
constexpr std::size_t kCount = 190;

// The constant at `position`, 1 to kCount; nullptr for any other position.
const std::string* ByPosition(std::size_t position) noexcept;

}  // namespace vocabulary
}  // namespace vantrel

#endif  // VANTREL_SRC_VOCABULARY_VOCABULARY_H_
