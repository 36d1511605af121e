// The two sinks of the text writers: one counts the bytes of a text, the
// other writes them. Each writer walks its records once into a SizeSink,
// sizes its string, and walks them again, the same walk, into a WriteSink
// (PutConditionText in condition_text.h). Marks are a Mark (mark.h).

#ifndef VANTREL_SRC_CODEC_TEXT_SINK_H_
#define VANTREL_SRC_CODEC_TEXT_SINK_H_

#include <cstddef>
#include <cstring>
#include <string_view>

namespace vantrel {
namespace codec_internal {

// Counts bytes. The count saturates at the largest std::size_t instead of
// wrapping, so that a text too long for any string makes resize() throw
// std::length_error rather than size a short buffer. This is the one place
// where the writers add sizes.
//
// Given the bytes of a string, it also notes whether any field put into it
// is that string: a writer may overwrite its output string in place only
// when the output is not one of the fields it reads.
class SizeSink {
 public:
  SizeSink() noexcept = default;
  explicit SizeSink(const char* watched) noexcept : watched_(watched) {}

  void Add(std::size_t bytes) noexcept {
    const std::size_t sum = size_ + bytes;
    size_ = sum < size_ ? static_cast<std::size_t>(-1) : sum;
  }
  void Put(std::string_view bytes) noexcept {
    Add(bytes.size());
    if (bytes.data() == watched_) saw_watched_ = true;
  }
  template <typename M>
  void PutMark(M /*mark*/) noexcept {
    Add(M::kSize);
  }
  std::size_t size() const noexcept { return size_; }
  // Whether a field put was the watched string. Two distinct strings never
  // share their bytes, so comparing the bytes' address compares the strings.
  bool saw_watched() const noexcept { return saw_watched_; }

 private:
  std::size_t size_ = 0;
  const char* watched_ = nullptr;
  bool saw_watched_ = false;
};

// Writes bytes at `dst`, which must have room for all of them (as a SizeSink
// counted them).
class WriteSink {
 public:
  explicit WriteSink(char* dst) noexcept : dst_(dst) {}
  void Put(std::string_view bytes) noexcept {
    if (!bytes.empty()) std::memcpy(dst_, bytes.data(), bytes.size());
    dst_ += bytes.size();
  }
  template <typename M>
  void PutMark(M mark) noexcept {
    dst_ = mark.CopyTo(dst_);
  }
  char* end() const noexcept { return dst_; }

 private:
  char* dst_;
};

}  // namespace codec_internal
}  // namespace vantrel

#endif  // VANTREL_SRC_CODEC_TEXT_SINK_H_
