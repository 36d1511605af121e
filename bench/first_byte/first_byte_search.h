// A stand-in for src/codec/mark_search.h that searches for a mark's first
// byte (std::string_view::find), the way a plain find would.
//
// The benchmark compiles a second copy of the codec with this header forced
// in front of every source (-include). It defines the include guard of
// mark_search.h, so the library's own search is skipped and the codec uses
// these functions instead. The copy lives only in the benchmark executable
// and shows what the middle-byte search of the library is worth.

#ifndef VANTREL_BENCH_FIRST_BYTE_SEARCH_H_
#define VANTREL_BENCH_FIRST_BYTE_SEARCH_H_
#define VANTREL_SRC_CODEC_MARK_SEARCH_H_

#include <cstddef>
#include <string_view>

namespace vantrel {
namespace codec_internal {

constexpr std::size_t kNotFound = std::string_view::npos;

inline std::size_t FindMark(std::string_view text, std::size_t from,
                            std::string_view mark) noexcept {
  if (from >= text.size()) return kNotFound;
  return text.find(mark, from);
}

inline std::size_t FindMarkStartingBefore(std::string_view text,
                                          std::size_t from, std::size_t limit,
                                          std::string_view mark) noexcept {
  if (from >= limit || mark.empty()) return kNotFound;
  return FindMark(text.substr(0, limit - 1 + mark.size()), from, mark);
}

inline std::size_t FindMarkWithin(std::string_view text, std::size_t from,
                                  std::size_t end,
                                  std::string_view mark) noexcept {
  return FindMark(text.substr(0, end), from, mark);
}

}  // namespace codec_internal
}  // namespace vantrel

#endif  // VANTREL_BENCH_FIRST_BYTE_SEARCH_H_
