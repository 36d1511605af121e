// The marks of a text being written, and copying them.

#ifndef VANTREL_SRC_CODEC_MARK_COPY_H_
#define VANTREL_SRC_CODEC_MARK_COPY_H_

#include <cstddef>
#include <cstring>
#include <string_view>

namespace vantrel {
namespace codec_internal {

// A mark whose length `N` and middle byte `Middle` (its byte at index N / 2)
// are known when the library is compiled: its bytes are a vocabulary
// constant's, its length and middle byte come from the same text literal
// (vocabulary.h). Knowing the length lets the writers copy a mark as a
// fixed-size block, a few moves instead of a call to memcpy, and count it as
// a constant; knowing the middle byte, which the readers scan for before
// they compare the whole mark with the constant, lets them compare bytes
// with an immediate value.
//
// A plain aggregate, so that the set of marks (ConditionMarks) is
// brace-initialised from the constants.
template <std::size_t N, char Middle>
struct Mark {
  const char* data;  // NOLINT(misc-non-private-member-variables-in-classes)

  static constexpr char kMiddle = Middle;
  constexpr std::size_t size() const noexcept { return N; }
  operator std::string_view() const noexcept { return {data, N}; }
};

// Copies `mark` to `dst` and returns the end of the copy.
//
//   CopyMark(buffer, Mark<5, '#'>{"--#--"}) == buffer + 5
template <std::size_t N, char Middle>
inline char* CopyMark(char* dst, Mark<N, Middle> mark) noexcept {
  std::memcpy(dst, mark.data, N);
  return dst + N;
}

}  // namespace codec_internal
}  // namespace vantrel

#endif  // VANTREL_SRC_CODEC_MARK_COPY_H_
