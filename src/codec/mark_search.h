// Searching a text for a mark.
//
// Rule texts are full of '-': it makes up four bytes of every five-byte mark
// ("--#--", "--{--", ...), and fields may hold runs of it. A search that
// scanned for a mark's first byte would stop at every '-' of a text such as
// "-----------", so this one scans for the mark's middle byte (its anchor:
// '#' of "--#--", 'R' of "@@OR@@", the second '=' of "==") and only then
// compares the whole mark. Each position is still looked at a bounded number
// of times, so the search is linear in the length searched.

#ifndef VANTREL_SRC_CODEC_MARK_SEARCH_H_
#define VANTREL_SRC_CODEC_MARK_SEARCH_H_

#include <cstddef>
#include <cstring>
#include <string_view>

namespace vantrel {
namespace codec_internal {

constexpr std::size_t kNotFound = std::string_view::npos;

// Whether the m bytes at `at` are the mark. The marks are five or two bytes
// long; comparing those as fixed-size blocks compiles to a few loads and
// compares instead of a call to memcmp.
inline bool MarkAt(const char* at, const char* mark, std::size_t m) noexcept {
  if (m == 5) return std::memcmp(at, mark, 5) == 0;
  if (m == 2) return std::memcmp(at, mark, 2) == 0;
  return std::memcmp(at, mark, m) == 0;
}

// The first `byte` in [p, p + n), or nullptr. Marks of a condition text are
// usually a few bytes apart, so short stretches are looked at byte by byte,
// which costs less than the call to memchr; longer ones go to memchr.
inline const char* FindByte(const char* p, std::size_t n, char byte) noexcept {
  constexpr std::size_t kShort = 16;
  if (n <= kShort) {
    for (const char* const end = p + n; p != end; ++p) {
      if (*p == byte) return p;
    }
    return nullptr;
  }
  return static_cast<const char*>(std::memchr(p, byte, n));
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
  const std::size_t m = mark.size();
  if (from >= text.size() || m > text.size() - from) return kNotFound;
  if (m == 0) return from;
  const std::size_t anchor = m / 2;
  const char anchor_byte = mark[anchor];
  const char* const base = text.data();
  // The anchor byte of a mark that begins at `from` or later and ends inside
  // the text lies in [p, last].
  const char* p = base + from + anchor;
  const char* const last = base + (text.size() - m) + anchor;
  while (p <= last) {
    const char* const anchor_at =
        FindByte(p, static_cast<std::size_t>(last - p) + 1, anchor_byte);
    if (anchor_at == nullptr) return kNotFound;
    const char* const start = anchor_at - anchor;
    if (MarkAt(start, mark.data(), m)) {
      return static_cast<std::size_t>(start - base);
    }
    p = anchor_at + 1;
  }
  return kNotFound;
}

// Like FindMark, but only a mark that begins before `limit` counts (it may
// run past `limit`).
inline std::size_t FindMarkStartingBefore(std::string_view text,
                                          std::size_t from, std::size_t limit,
                                          std::string_view mark) noexcept {
  if (from >= limit || mark.empty()) return kNotFound;
  const std::size_t room = limit - 1 + mark.size();
  return FindMark(text.substr(0, room), from, mark);
}

// Like FindMark, but only a mark that ends at or before `end` counts.
inline std::size_t FindMarkWithin(std::string_view text, std::size_t from,
                                  std::size_t end,
                                  std::string_view mark) noexcept {
  return FindMark(text.substr(0, end), from, mark);
}

}  // namespace codec_internal
}  // namespace vantrel

#endif  // VANTREL_SRC_CODEC_MARK_SEARCH_H_
