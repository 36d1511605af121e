// Copying a mark into a text being written.

#ifndef VANTREL_SRC_CODEC_MARK_COPY_H_
#define VANTREL_SRC_CODEC_MARK_COPY_H_

#include <cstring>
#include <string_view>

namespace vantrel {
namespace codec_internal {

// Copies `mark` to `dst` and returns the end of the copy. The marks are five
// or two bytes long; copying those as fixed-size blocks lets the compiler
// emit a few moves instead of a call to memcpy for every mark, which is most
// of the writing time for short fields.
//
//   CopyMark(buffer, "--#--") == buffer + 5
inline char* CopyMark(char* dst, std::string_view mark) noexcept {
  if (mark.size() == 5) {
    std::memcpy(dst, mark.data(), 5);
  } else if (mark.size() == 2) {
    std::memcpy(dst, mark.data(), 2);
  } else if (!mark.empty()) {
    std::memcpy(dst, mark.data(), mark.size());
  }
  return dst + mark.size();
}

}  // namespace codec_internal
}  // namespace vantrel

#endif  // VANTREL_SRC_CODEC_MARK_COPY_H_
