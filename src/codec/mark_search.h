// Searching a text for a mark.
//
// Every mark of the rule texts begins with "--" or "@@" and has a more
// distinctive byte in its middle ("--#--", "@@OR@@", "=="). A search that
// scans for the first byte stops at every '-' of a text such as
// "-----------", so this one scans for the middle byte with memchr and only
// then compares the whole mark. Each position is still looked at a bounded
// number of times, so the search is linear in the length searched.

#ifndef VANTREL_SRC_CODEC_MARK_SEARCH_H_
#define VANTREL_SRC_CODEC_MARK_SEARCH_H_

#include <cstddef>
#include <cstring>
#include <string_view>

namespace vantrel {
namespace codec_internal {

constexpr std::size_t kNotFound = std::string_view::npos;

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
  // Candidate anchor bytes lie in [first, last].
  const char* p = base + from + anchor;
  const char* const last = base + (text.size() - m) + anchor;
  while (p <= last) {
    const void* hit =
        std::memchr(p, anchor_byte, static_cast<std::size_t>(last - p) + 1);
    if (hit == nullptr) return kNotFound;
    const char* const anchor_at = static_cast<const char*>(hit);
    const char* const start = anchor_at - anchor;
    if (std::memcmp(start, mark.data(), m) == 0) {
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
