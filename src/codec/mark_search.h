// Searching a text for marks.
//
// Rule texts are full of '-': it makes up four bytes of every five-byte mark
// ("--#--", "--{--", ...), and fields may hold runs of it. A search that
// scanned for a mark's first byte would stop at every '-' of a text such as
// "-----------", so these scan for the mark's middle byte, which is not '-'
// (its anchor: '#' of "--#--", the second '=' of "=="), and only then compare
// the whole mark. Each position is still looked at a bounded number of
// times, so every search is linear in the length it looks at.
//
// The marks of a condition text are usually a few bytes apart, so what a
// search costs to start matters as much as what it costs per byte: both
// searches here look at sixteen bytes at a time (window16.h) from the first
// byte on. The joiners of a definition text lie a whole condition apart,
// which memchr crosses faster (FindFarByte).

#ifndef VANTREL_SRC_CODEC_MARK_SEARCH_H_
#define VANTREL_SRC_CODEC_MARK_SEARCH_H_

#include <cstddef>
#include <cstring>
#include <string_view>

#include "window16.h"

namespace vantrel {
namespace codec_internal {

constexpr std::size_t kNotFound = std::string_view::npos;

// Calls visit(i) for every index i in [from, to), in increasing order, at
// which `text` holds one of `Bytes` (one to four of them), until a call
// returns false. Returns false when a call did, true otherwise. `to` is at
// most the size of `text`.
//
//   ForEachOf<';', '=', ',', '}'>(";a=b,}", 0, 6, f)
//   // calls f(0), f(2), f(4), f(5)
template <char... Bytes, typename Visit>
bool ForEachOf(std::string_view text, std::size_t from, std::size_t to,
               Visit visit) {
  while (from < to) {
    const Window16 window = Window16::At<Bytes...>(text, from);
    for (unsigned bits = window.Within(from, to); bits != 0;
         bits &= bits - 1U) {
      if (!visit(window.start() + Window16::LowestSetBit(bits))) return false;
    }
    from = window.end();
  }
  return true;
}

// The lowest position p >= from at which `text` continues with `mark` (a
// Mark, mark.h), the mark lying wholly inside `text`; kNotFound when there
// is none or when `from` is at or past the end of `text`. The same result as
// std::string_view::find.
//
//   FindMark("a--#--#--b", 0, name_mark) == 1
//   FindMark("a--#--#--b", 2, name_mark) == 4   // overlaps the first
//   FindMark("a--#--#--b", 5, name_mark) == kNotFound
//
// Most searches of a condition text end in their first window: one load,
// one compare with the middle byte and a fixed-size comparison of the mark.
// Windows end by the text's end, so only the last one can hold anchors past
// the last one a hit can have; they are checked hit by hit rather than
// clipped away in every window.
template <typename M>
std::size_t FindMark(std::string_view text, std::size_t from, M mark) noexcept {
  const std::size_t size = text.size();
  if (from >= size || M::kSize > size - from) return kNotFound;
  const std::size_t last = size - M::kSize + M::kAnchor;  // the last anchor
  for (std::size_t first = from + M::kAnchor; first <= last;) {
    const Window16 window = Window16::At<M::kMiddle>(text, first);
    for (unsigned bits = window.From(first); bits != 0; bits &= bits - 1U) {
      const std::size_t anchor = window.start() + Window16::LowestSetBit(bits);
      if (anchor > last) return kNotFound;
      if (mark.At(text.data() + anchor - M::kAnchor)) {
        return anchor - M::kAnchor;
      }
    }
    first = window.end();
  }
  return kNotFound;
}

// The lowest index at or after `from` at which `text` holds `byte`, or
// kNotFound: memchr, for a byte that usually lies far off.
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

}  // namespace codec_internal
}  // namespace vantrel

#endif  // VANTREL_SRC_CODEC_MARK_SEARCH_H_
