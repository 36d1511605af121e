// Sixteen bytes of a text looked at together: the one place where the
// codec uses processor intrinsics.
//
// A Window16 is loaded from a text, compared with up to four bytes at once
// into a mask of sixteen bits (bit i for the window's byte i), and the mask
// is clipped to a stretch of the text and read from its lowest set bit.
// Where the processor has SSE2 (every x86-64 processor) this is one load,
// one compare per byte and one movemask; elsewhere the same results come
// from a loop over the sixteen bytes. The searches (mark_search.h) are
// written once, on this type, for both.

#ifndef VANTREL_SRC_CODEC_WINDOW16_H_
#define VANTREL_SRC_CODEC_WINDOW16_H_

#include <cstddef>
#include <string_view>

// VANTREL_WINDOW16_PORTABLE asks for the portable form on any processor, so
// that its tests run on the machines that build the library.
#if !defined(VANTREL_WINDOW16_PORTABLE) && \
    (defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64))
#define VANTREL_WINDOW16_SSE2 1
#include <emmintrin.h>
#else
#define VANTREL_WINDOW16_SSE2 0
#endif
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>  // _BitScanForward
#endif

namespace vantrel {
namespace codec_internal {

class Window16 {
 public:
  static constexpr std::size_t kWidth = 16;

  // The window of `text` that begins at `from`, or, where fewer than
  // sixteen bytes of the text are left, the one that ends where the text
  // ends, so that every load stays inside the text; with the bits of its
  // bytes that equal one of `Bytes` (one to four of them). In a text
  // shorter than sixteen bytes the window begins at 0 and holds the whole
  // text; the bits of bytes past its end are 0. `from` is below the size of
  // `text`.
  template <char... Bytes>
  static Window16 At(std::string_view text, std::size_t from) noexcept {
    static_assert(sizeof...(Bytes) >= 1 && sizeof...(Bytes) <= 4,
                  "a window is compared with one to four bytes");
    if (text.size() < kWidth) {
      return Window16(0, Equal<Bytes...>(text.data(), text.size()));
    }
    const std::size_t at =
        from < text.size() - kWidth ? from : text.size() - kWidth;
    return Window16(at, Equal16<Bytes...>(text.data() + at));
  }

  // Index in the text of the window's first byte, and of the byte after
  // its last.
  std::size_t start() const noexcept { return start_; }
  std::size_t end() const noexcept { return start_ + kWidth; }

  // The bits of the bytes that lie at or after `from` in the text (From),
  // or in [from, to) (Within); bit i stands for the byte at start() + i.
  // `from` is below end().
  unsigned From(std::size_t from) const noexcept {
    return from > start_ ? bits_ & (0xFFFFU << (from - start_)) : bits_;
  }
  unsigned Within(std::size_t from, std::size_t to) const noexcept {
    const unsigned bits = From(from);
    return to - start_ < kWidth ? bits & ((1U << (to - start_)) - 1U) : bits;
  }

  // The index of the lowest set bit of `bits`, which is not 0.
  static unsigned LowestSetBit(unsigned bits) noexcept {
#if defined(_MSC_VER) && !defined(__clang__)
    unsigned long index;
    _BitScanForward(&index, bits);
    return static_cast<unsigned>(index);
#else
    return static_cast<unsigned>(__builtin_ctz(bits));
#endif
  }

 private:
  Window16(std::size_t start, unsigned bits) noexcept
      : start_(start), bits_(bits) {}

  // The bits of the `n` bytes at `at` (at most sixteen) that equal one of
  // `Bytes`, one by one: the portable form, and short texts.
  template <char... Bytes>
  static unsigned Equal(const char* at, std::size_t n) noexcept {
    unsigned bits = 0;
    for (std::size_t i = 0; i < n; ++i) {
      const char c = at[i];
      if (((c == Bytes) || ...)) bits |= 1U << i;
    }
    return bits;
  }

  // The same for the sixteen bytes at `at`.
  template <char... Bytes>
  static unsigned Equal16(const char* at) noexcept {
#if VANTREL_WINDOW16_SSE2
    const __m128i bytes =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));  // NOLINT
    __m128i found = _mm_setzero_si128();
    ((found = _mm_or_si128(found, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(Bytes)))),
     ...);
    return static_cast<unsigned>(_mm_movemask_epi8(found));
#else
    return Equal<Bytes...>(at, kWidth);
#endif
  }

  std::size_t start_;
  unsigned bits_;
};

}  // namespace codec_internal
}  // namespace vantrel

#endif  // VANTREL_SRC_CODEC_WINDOW16_H_
