// The eight marks of the text form, as both reference readers spell them.
//
// A condition text is built from six marks and a definition text joins
// condition texts with one of two joiners. The codec has its own copy of
// these texts (from the vocabulary); the reference readers share this one,
// so that a mistyped mark here shows up as a difference from the library
// in every differential test rather than as two readers that agree with
// each other and not with the library.

#ifndef VANTREL_REFERENCE_MARKS_H_
#define VANTREL_REFERENCE_MARKS_H_

#include <string_view>

namespace vantrel_reference {

// The condition text.
inline constexpr std::string_view kNameMark = "--#--";        // name, both ends
inline constexpr std::string_view kOpenMark = "--{--";        // opens a block
inline constexpr std::string_view kCloseMark = "--}--";       // closes a block
inline constexpr std::string_view kItemSeparator = "--;--";   // params
inline constexpr std::string_view kKeySeparator = "==";       // key, values
inline constexpr std::string_view kValueSeparator = "--,--";  // values

// The definition text: the joiner between two condition texts.
inline constexpr std::string_view kAndJoiner = "@@AND@@";  // combination 1
inline constexpr std::string_view kOrJoiner = "@@OR@@";    // combination 0

}  // namespace vantrel_reference

#endif  // VANTREL_REFERENCE_MARKS_H_
