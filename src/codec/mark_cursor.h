// Finding every mark of a condition text in one forward pass.
//
// Reading a condition text asks a dozen questions of the form "the first
// mark M at or after p" for every condition and a few more for every
// parameter item, nearly all of them a few bytes on from the last answer.
// Answering each one with a search of its own costs a search's set-up every
// few bytes and scans stretches of text several times. A MarkCursor instead
// walks the text once from left to right and stops at every mark of a small
// set, in the order in which the marks begin, overlapping ones included; the
// reader takes its answers from that one stream.
//
// The walk stops at the anchor bytes of the marks (the middle byte, as in
// mark_search.h: '#', '{', '}', ';', ',' and the second '=' of "=="), looks
// up which mark the byte anchors in a table of 256 entries and compares that
// mark. It relies on two properties that the marks of the condition text
// have, and that MarkSet::Add checks:
//   - distinct marks have distinct anchor bytes, so a byte anchors at most
//     one mark;
//   - the anchors of all marks lie one or two bytes into the mark (the marks
//     are two to five bytes long), so marks come out in the order in which
//     they begin: a mark that begins earlier cannot have a later anchor than
//     one that begins later.

#ifndef VANTREL_SRC_CODEC_MARK_CURSOR_H_
#define VANTREL_SRC_CODEC_MARK_CURSOR_H_

#include <cstddef>
#include <string_view>

#include "mark_search.h"

namespace vantrel {
namespace codec_internal {

// The marks that a cursor stops at, each with the roles it plays (one bit
// each, chosen by the caller). Marks with equal texts, such as the opening
// marks of the detail and the params block, are kept once with the roles of
// both.
class MarkSet {
 public:
  static constexpr std::size_t kCapacity = 8;

  // Adds `text` in `role`. Returns false, adding nothing, when the set is
  // full, the text is empty or longer than five bytes, or its anchor byte
  // anchors another mark already.
  bool Add(std::string_view text, unsigned role) noexcept {
    for (std::size_t i = 0; i < count_; ++i) {
      if (texts_[i] == text) {
        roles_[i] |= role;
        return true;
      }
    }
    if (count_ == kCapacity || text.size() < 2 || text.size() > 5) return false;
    const std::size_t anchor = text.size() / 2;
    unsigned char& entry = by_anchor_[static_cast<unsigned char>(text[anchor])];
    if (entry != 0) return false;
    texts_[count_] = text;
    roles_[count_] = role;
    anchors_[count_] = anchor;
    entry = static_cast<unsigned char>(++count_);
    return true;
  }

 private:
  friend class MarkCursor;

  std::string_view texts_[kCapacity];
  unsigned roles_[kCapacity] = {};
  std::size_t anchors_[kCapacity] = {};
  std::size_t count_ = 0;
  // For every byte value, 1 + the index of the mark it anchors, or 0.
  unsigned char by_anchor_[256] = {};
};

// One mark found in the text: where it begins and the roles of its text.
struct FoundMark {
  std::size_t at;  // kNotFound when the text holds no further mark
  unsigned roles;
};

// Walks one text from left to right and returns its marks in the order in
// which they begin.
//
//   MarkSet set;  set.Add("--#--", 1);  set.Add("==", 2);
//   MarkCursor cursor(set, "--#--#--k==v");
//   cursor.Find(1, 0) == 0;  cursor.Next().at == 3;  cursor.Next().at == 9
class MarkCursor {
 public:
  MarkCursor(const MarkSet& set, std::string_view text) noexcept
      : set_(set), text_(text) {}

  // The next mark after the last one returned (or after where Find or Seek
  // put the cursor).
  FoundMark Next() noexcept {
    if (peeked_) {
      peeked_ = false;
      return peek_;
    }
    return Scan();
  }

  // The mark that Next will return, without moving past it.
  const FoundMark& Peek() noexcept {
    if (!peeked_) {
      peek_ = Scan();
      peeked_ = true;
    }
    return peek_;
  }

  // Puts the cursor before the first mark that begins at or after `from`.
  void Seek(std::size_t from) noexcept {
    next_anchor_ = from;
    floor_ = from;
    last_ = kNotFound;
    peeked_ = false;
  }

  // The lowest position at or after `from` at which a mark with one of
  // `roles` begins, or kNotFound; the cursor is left after that mark. The
  // cursor goes on from where it is when `from` lies past the last mark it
  // returned, and walks again from `from` otherwise.
  std::size_t Find(unsigned roles, std::size_t from) noexcept {
    if (last_ != kNotFound && from > last_) {
      floor_ = from;
      peeked_ = false;  // a peeked mark begins at or before last_
    } else {
      Seek(from);
    }
    for (;;) {
      const FoundMark mark = Next();
      if (mark.at == kNotFound || (mark.roles & roles) != 0) return mark.at;
    }
  }

 private:
  FoundMark Scan() noexcept {
    const char* const base = text_.data();
    const std::size_t size = text_.size();
    while (next_anchor_ < size) {
      const std::size_t anchor_at = next_anchor_++;
      const unsigned char entry =
          set_.by_anchor_[static_cast<unsigned char>(base[anchor_at])];
      if (entry == 0) continue;
      const std::size_t i = entry - 1u;
      const std::size_t anchor = set_.anchors_[i];
      const std::string_view mark = set_.texts_[i];
      if (anchor_at < floor_ + anchor) continue;  // it would begin too early
      const std::size_t start = anchor_at - anchor;
      if (mark.size() > size - start) continue;
      if (!MarkAt(base + start, mark.data(), mark.size())) continue;
      last_ = start;
      return {start, set_.roles_[i]};
    }
    return {kNotFound, 0};
  }

  const MarkSet& set_;
  std::string_view text_;
  std::size_t next_anchor_ = 0;  // the next byte to look at
  std::size_t floor_ = 0;        // marks that begin before it are passed over
  std::size_t last_ = kNotFound;  // the start of the last mark returned
  FoundMark peek_{kNotFound, 0};
  bool peeked_ = false;
};

}  // namespace codec_internal
}  // namespace vantrel

#endif  // VANTREL_SRC_CODEC_MARK_CURSOR_H_
