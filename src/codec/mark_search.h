// Searching a text for marks.
//
// Rule texts are full of '-': it makes up four bytes of every five-byte mark
// ("--#--", "--{--", ...), and fields may hold runs of it. A search that
// scanned for a mark's first byte would stop at every '-' of a text such as
// "-----------", so these scan for one byte of the mark that is not '-' (its
// anchor: '#' of "--#--", the second '=' of "==", '@' of a joiner) and only
// then compare the whole mark. Each position is still looked at a bounded
// number of times, so every search is linear in the length it looks at.
//
// The marks of a condition text are usually a few bytes apart, so what a
// search costs to start matters as much as what it costs per byte. Where
// the processor has SSE2 (every x86-64 processor), the first sixteen bytes
// are compared at once, with loads that stay inside the text; a longer
// stretch goes on to memchr. ForEachOf, for walks that want every anchor of
// a stretch rather than the first, compares sixteen bytes at a time all the
// way. Elsewhere, and in texts shorter than sixteen bytes, bytes are looked
// at one by one.

#ifndef VANTREL_SRC_CODEC_MARK_SEARCH_H_
#define VANTREL_SRC_CODEC_MARK_SEARCH_H_

#include <cstddef>
#include <cstring>
#include <string_view>

#include "mark_copy.h"

#if defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64)
#define VANTREL_MARK_SEARCH_SSE2 1
#include <emmintrin.h>
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>  // _BitScanForward
#endif
#else
#define VANTREL_MARK_SEARCH_SSE2 0
#endif

namespace vantrel {
namespace codec_internal {

constexpr std::size_t kNotFound = std::string_view::npos;

// Whether the m bytes at `at` are the mark. The marks are two, five, six or
// seven bytes long; comparing those as fixed-size blocks compiles to a few
// loads and compares instead of a call to memcmp.
inline bool MarkAt(const char* at, const char* mark, std::size_t m) noexcept {
  switch (m) {
    case 2:
      return std::memcmp(at, mark, 2) == 0;
    case 5:
      return std::memcmp(at, mark, 5) == 0;
    case 6:
      return std::memcmp(at, mark, 6) == 0;
    case 7:
      return std::memcmp(at, mark, 7) == 0;
    default:
      return std::memcmp(at, mark, m) == 0;
  }
}

#if VANTREL_MARK_SEARCH_SSE2
// The index of the lowest set bit of `bits`, which is not 0.
inline unsigned LowestSetBit(unsigned bits) noexcept {
#if defined(_MSC_VER) && !defined(__clang__)
  unsigned long index;
  _BitScanForward(&index, bits);
  return static_cast<unsigned>(index);
#else
  return static_cast<unsigned>(__builtin_ctz(bits));
#endif
}
#endif

// The lowest index in [from, to) at which `text` holds `byte`, or kNotFound.
// `to` is at most the size of `text`.
//
// Where the processor has SSE2 and the text is at least sixteen bytes long,
// the first sixteen bytes are looked at together, one at a time otherwise; the
// rest of a longer stretch goes to memchr, which is fast per byte but costs
// more to start than a short search costs in all.
inline std::size_t FindByte(std::string_view text, std::size_t from,
                            std::size_t to, char byte) noexcept {
  constexpr std::size_t kWidth = 16;
#if VANTREL_MARK_SEARCH_SSE2
  if (text.size() >= kWidth) {
    const std::size_t last_window = text.size() - kWidth;
    if (from < to) {
      // A window of sixteen bytes that lies wholly inside the text: at
      // `from`, or moved back to end where the text ends. Bits of bytes
      // before `from` or at or after `to` are dropped.
      const std::size_t at = from < last_window ? from : last_window;
      const __m128i bytes = _mm_loadu_si128(
          reinterpret_cast<const __m128i*>(text.data() + at));  // NOLINT
      auto hits = static_cast<unsigned>(
          _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(byte))));
      hits &= 0xFFFFU << (from - at);
      if (to - at < kWidth) hits &= (1U << (to - at)) - 1U;
      if (hits != 0) return at + LowestSetBit(hits);
      from = at + kWidth;
    }
  }
#endif
  if (from >= to) return kNotFound;
  if (to - from <= kWidth) {
    for (; from < to; ++from) {
      if (text[from] == byte) return from;
    }
    return kNotFound;
  }
  const void* const hit = std::memchr(text.data() + from, byte, to - from);
  return hit == nullptr ? kNotFound
                        : static_cast<std::size_t>(
                              static_cast<const char*>(hit) - text.data());
}

// The lowest index at or after `from` at which `text` holds `byte`, or
// kNotFound: memchr from the start, for a byte that usually lies far off,
// where FindByte's first window would be spent in vain.
//
//   FindFarByte("a@b@", 2, '@') == 3
inline std::size_t FindFarByte(std::string_view text, std::size_t from,
                               char byte) noexcept {
  if (from >= text.size()) return kNotFound;
  const void* const hit =
      std::memchr(text.data() + from, byte, text.size() - from);
  return hit == nullptr ? kNotFound
                        : static_cast<std::size_t>(
                              static_cast<const char*>(hit) - text.data());
}

#if VANTREL_MARK_SEARCH_SSE2
// The window of sixteen bytes that ForEachOf looks at next in the stretch
// [from, to) of a text of at least sixteen bytes: at `from`, or, for the
// last one, moved back to end at `to` (or to begin at the start of the
// text).
inline std::size_t WindowFor(std::size_t from, std::size_t to) noexcept {
  constexpr std::size_t kWidth = 16;
  return to - from >= kWidth ? from : (to >= kWidth ? to - kWidth : 0);
}

// `hits`, the bits of the window at `at`, without those of bytes before
// `from` or at or after `to`.
inline unsigned HitsWithin(unsigned hits, std::size_t at, std::size_t from,
                           std::size_t to) noexcept {
  constexpr std::size_t kWidth = 16;
  if (at != from) hits &= 0xFFFFU << (from - at);
  if (to - at < kWidth) hits &= (1U << (to - at)) - 1U;
  return hits;
}
#endif

// Calls visit(i) for every index i in [from, to), in increasing order, at
// which `text` holds one of the bytes `w`, `x`, `y` and `z`, until a call
// returns false. Returns false when a call did, true otherwise. `to` is at
// most the size of `text`.
//
//   ForEachOf(";a=b,}", 0, 6, ';', '=', ',', '}', f)
//   // calls f(0), f(2), f(4), f(5)
//
// Where the processor has SSE2 and the text is at least sixteen bytes long,
// sixteen bytes are looked at together, in windows placed as in FindByte.
template <typename Visit>
bool ForEachOf(std::string_view text, std::size_t from, std::size_t to, char w,
               char x, char y, char z, Visit visit) {
#if VANTREL_MARK_SEARCH_SSE2
  constexpr std::size_t kWidth = 16;
  if (text.size() >= kWidth) {
    const __m128i ws = _mm_set1_epi8(w);
    const __m128i xs = _mm_set1_epi8(x);
    const __m128i ys = _mm_set1_epi8(y);
    const __m128i zs = _mm_set1_epi8(z);
    auto hits_at = [&](std::size_t at) {
      const __m128i bytes = _mm_loadu_si128(
          reinterpret_cast<const __m128i*>(text.data() + at));  // NOLINT
      const __m128i found = _mm_or_si128(
          _mm_or_si128(_mm_cmpeq_epi8(bytes, ws), _mm_cmpeq_epi8(bytes, xs)),
          _mm_or_si128(_mm_cmpeq_epi8(bytes, ys), _mm_cmpeq_epi8(bytes, zs)));
      return static_cast<unsigned>(_mm_movemask_epi8(found));
    };
    while (from < to) {
      const std::size_t at = WindowFor(from, to);
      unsigned hits = HitsWithin(hits_at(at), at, from, to);
      for (; hits != 0; hits &= hits - 1U) {
        if (!visit(at + LowestSetBit(hits))) return false;
      }
      from = at + kWidth;
    }
    return true;
  }
#endif
  for (; from < to; ++from) {
    const char c = text[from];
    if ((c == w || c == x || c == y || c == z) && !visit(from)) return false;
  }
  return true;
}

// The lowest position p >= from at which `text` continues with `mark` and
// the mark ends at or before `end` (at most the size of `text`); kNotFound
// when there is none. Bytes past `end` are never part of a hit, but the
// search may read them. The search looks for the mark's byte at index
// `anchor` and compares the whole mark only where it finds that byte.
inline std::size_t FindMarkAnchoredAt(std::string_view text, std::size_t from,
                                      std::size_t end, std::string_view mark,
                                      std::size_t anchor) noexcept {
  const std::size_t m = mark.size();
  if (from >= end || m > end - from) return kNotFound;
  if (m == 0) return from;
  const char anchor_byte = mark[anchor];
  // The anchor of a hit lies in [from + anchor, end - m + anchor].
  std::size_t p = from + anchor;
  const std::size_t to = end - m + anchor + 1;
  for (;;) {
    const std::size_t anchor_at = FindByte(text, p, to, anchor_byte);
    if (anchor_at == kNotFound) return kNotFound;
    const std::size_t start = anchor_at - anchor;
    if (MarkAt(text.data() + start, mark.data(), m)) return start;
    p = anchor_at + 1;
  }
}

// FindMarkAnchoredAt with the mark's middle byte as the anchor.
inline std::size_t FindMarkEndingBy(std::string_view text, std::size_t from,
                                    std::size_t end,
                                    std::string_view mark) noexcept {
  return FindMarkAnchoredAt(text, from, end, mark, mark.size() / 2);
}

// The lowest position p >= from at which `text` continues with `mark`, the
// mark lying wholly inside `text`; kNotFound when there is none or when
// `from` is at or past the end of `text`. Same result as
// std::string_view::find for every non-empty mark.
//
//   FindMark("a--#--#--b", 0, "--#--") == 1
//   FindMark("a--#--#--b", 2, "--#--") == 4   // overlaps the first
//   FindMark("a--#--#--b", 5, "--#--") == kNotFound
inline std::size_t FindMark(std::string_view text, std::size_t from,
                            std::string_view mark) noexcept {
  return FindMarkEndingBy(text, from, text.size(), mark);
}

// FindMark for a mark whose length and middle byte are known when the
// library is compiled, as the marks of a condition text are. Same result;
// what differs is the cost of a search that ends within sixteen bytes,
// which is what most of the searches for the name and the blocks of a
// condition are: one load, one compare with a constant and a fixed-size
// comparison of the mark.
template <std::size_t N, char Middle>
inline std::size_t FindMark(std::string_view text, std::size_t from,
                            Mark<N, Middle> mark) noexcept {
  static_assert(N > 0, "marks are not empty");
  constexpr std::size_t kAnchor = N / 2;
  const std::size_t size = text.size();
  if (from >= size || N > size - from) return kNotFound;
#if VANTREL_MARK_SEARCH_SSE2
  constexpr std::size_t kWidth = 16;
  if (size >= kWidth) {
    // The anchors of hits lie in [first, last]; look at the window of
    // sixteen bytes that starts at `first`, or ends where the text ends.
    const std::size_t first = from + kAnchor;
    const std::size_t last = size - N + kAnchor;
    const bool moved_back = first > size - kWidth;
    const std::size_t at = moved_back ? size - kWidth : first;
    const __m128i bytes = _mm_loadu_si128(
        reinterpret_cast<const __m128i*>(text.data() + at));  // NOLINT
    auto hits = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(Middle))));
    if (moved_back) hits &= 0xFFFFU << (first - at);
    for (; hits != 0; hits &= hits - 1U) {
      const std::size_t anchor = at + LowestSetBit(hits);
      if (anchor > last) return kNotFound;
      if (std::memcmp(text.data() + anchor - kAnchor, mark.data, N) == 0) {
        return anchor - kAnchor;
      }
    }
    if (at + kWidth > last) return kNotFound;
    from = at + kWidth - kAnchor;
  }
#endif
  return FindMarkEndingBy(text, from, size, mark);
}

}  // namespace codec_internal
}  // namespace vantrel

#endif  // VANTREL_SRC_CODEC_MARK_SEARCH_H_
