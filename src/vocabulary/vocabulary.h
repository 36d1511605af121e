// The alerting system's vocabulary: 190 string constants with fixed texts.
//
// Internal to the library: nothing here is exported. The constants are
// defined in one translation unit in their order of definition, so they are
// created in that order when the library is loaded and destroyed in reverse
// order when it is unloaded. Equal texts are distinct objects.
//
//   vantrel::vocabulary::delimiters::kNameMark == "--#--"
//   // Both are "--;--", yet two objects:
//   &delimiters::kItemSeparator != &delimiters::kSemicolonMark2
//
// The condition text reads its marks from eight of the delimiters; nothing
// else in the library reads a constant. For those eight the text is also a
// compile-time constant, from the same entry of the list:
//
//   delimiters::kNameMarkText == "--#--"   // a constexpr std::string_view

#ifndef VANTREL_SRC_VOCABULARY_VOCABULARY_H_
#define VANTREL_SRC_VOCABULARY_VOCABULARY_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace vantrel {
namespace vocabulary {

#define VANTREL_WORD(group, identifier, text) \
  namespace group {                           \
  extern const std::string identifier;        \
  }
#define VANTREL_MARK(group, identifier, text)                \
  namespace group {                                          \
  extern const std::string identifier;                       \
  inline constexpr std::string_view identifier##Text = text; \
  }
#include "vocabulary_list.inc"
#undef VANTREL_MARK
#undef VANTREL_WORD

// Number of constants.
constexpr std::size_t kCount = 190;

}  // namespace vocabulary
}  // namespace vantrel

#endif  // VANTREL_SRC_VOCABULARY_VOCABULARY_H_
