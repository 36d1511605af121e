// A mark of the condition text as the readers and the writers use it: its
// text known when the library is compiled, its bytes those of its
// vocabulary constant.

#ifndef VANTREL_SRC_CODEC_MARK_H_
#define VANTREL_SRC_CODEC_MARK_H_

#include <cstddef>
#include <cstring>
#include <string_view>

namespace vantrel {
namespace codec_internal {

// The mark whose text is `Text`, a compile-time text of the vocabulary
// (vocabulary.h), with `data` pointing at the bytes of the vocabulary
// constant that holds the same text. The length and the middle byte (the
// anchor the readers scan for) are derived from `Text`: knowing the length
// lets the writers copy a mark as a fixed-size block, a few moves instead of
// a call to memcpy, and count it as a constant; knowing the middle byte lets
// the readers compare bytes with an immediate value. The bytes compared and
// copied are always the constant's.
//
// A plain aggregate, so that the set of marks (ConditionMarks) is
// brace-initialised from the constants.
template <const std::string_view& Text>
struct Mark {
  static_assert(!Text.empty(), "marks are not empty");
  static constexpr std::string_view kText = Text;
  static constexpr std::size_t kSize = Text.size();
  static constexpr std::size_t kAnchor = kSize / 2;
  static constexpr char kMiddle = Text[kAnchor];

  const char* data;  // NOLINT(misc-non-private-member-variables-in-classes)

  constexpr std::size_t size() const noexcept { return kSize; }
  operator std::string_view() const noexcept { return {data, kSize}; }

  // Whether the text at `at`, which has kSize bytes to read, holds the mark.
  bool At(const char* at) const noexcept {
    return std::memcmp(at, data, kSize) == 0;
  }
  // Copies the mark to `dst` and returns the end of the copy.
  char* CopyTo(char* dst) const noexcept {
    std::memcpy(dst, data, kSize);
    return dst + kSize;
  }
};

}  // namespace codec_internal
}  // namespace vantrel

#endif  // VANTREL_SRC_CODEC_MARK_H_
