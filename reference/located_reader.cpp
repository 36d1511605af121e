#include "reference/located_reader.h"

#include <algorithm>
#include <string>
#include <utility>

#include "reference/marks.h"

namespace vantrel_reference {
namespace {

// The first occurrence of `mark` that begins at or after `from` and lies
// wholly before `limit`; kNone when there is none (also when `from` is at
// or past `limit`). Every search of the reader goes through here, each with
// the window that the mark ending the current field leaves it, so that no
// search looks at bytes that a later search will look at again (beyond the
// few bytes a mark may overlap).
std::size_t Find(std::string_view text, std::string_view mark, std::size_t from,
                 std::size_t limit, SearchCount* count) {
  if (from >= limit) return kNone;
  const std::string_view window = text.substr(from, limit - from);
  const std::size_t at = window.find(mark);
  if (count != nullptr) {
    count->bytes += at == kNone ? window.size() : at + mark.size();
  }
  return at == kNone ? kNone : from + at;
}

// The end of a field that starts at `begin` and is closed by a mark at
// `close`: the mark itself, or the end of the piece when the mark begins
// before `begin` (inside the opening mark). A cut with such a length runs
// to the end of what is cut, as a substring's count that runs past the end
// does.
std::size_t FieldEnd(std::size_t begin, std::size_t close, std::size_t end) {
  return close >= begin ? close : end;
}

// One parameter item from `b` in a params block closed at `p2`, in a piece
// ending at `end`. Returns false when the item holds no "==" of its own.
bool LocateItem(std::string_view text, std::size_t b, std::size_t p2,
                std::size_t end, LocatedParam& param, SearchCount* count) {
  // Item end: the first "--;--" from the item's second byte that begins
  // before the closing mark (it may overlap that mark's first bytes).
  const std::size_t item_limit = std::min(end, p2 + kItemSeparator.size() - 1);
  const std::size_t s = Find(text, kItemSeparator, b + 1, item_limit, count);
  param.last = s == kNone;
  const std::size_t x = param.last ? p2 : s;
  // A closing mark that overlaps the block's opening mark ends the block
  // before its first item begins: the item is empty and has no "==".
  param.item = Span{b, x >= b ? x - b : 0};
  // Key: the first "==" from the item's second byte, wholly inside the
  // item.
  const std::size_t e = Find(text, kKeySeparator, b + 1, x, count);
  if (e == kNone) {
    param.key = Span{b, 0};
    return false;
  }
  param.key_separator = e;
  param.key = Span{b, e - b};
  // Values: cut at every "--,--" wholly inside the item, each search from
  // the value's first byte; the rest of the item is the last value.
  std::size_t v = e + kKeySeparator.size();
  for (;;) {
    const std::size_t m = Find(text, kValueSeparator, v, x, count);
    if (m == kNone) break;
    param.values.push_back(Span{v, m - v});
    v = m + kValueSeparator.size();
  }
  param.values.push_back(Span{v, x - v});
  return true;
}

void LocateParams(std::string_view text, std::size_t p1, std::size_t p2,
                  std::size_t end, LocatedCondition& c, SearchCount* count) {
  std::size_t b = p1 + kOpenMark.size();
  for (;;) {
    c.params.emplace_back();
    LocatedParam& param = c.params.back();
    if (!LocateItem(text, b, p2, end, param, count)) {
      c.rejected = true;
      return;
    }
    if (param.last) return;
    b = param.item.end() + kItemSeparator.size();
  }
}

}  // namespace

Span LocatedCondition::name() const {
  if (!has_name()) return Span{};
  const std::size_t begin = name_open + kNameMark.size();
  return Span{begin, FieldEnd(begin, name_close, piece.end()) - begin};
}

Span LocatedCondition::detail() const {
  if (!has_detail()) return Span{};
  const std::size_t begin = detail_open + kOpenMark.size();
  return Span{begin, FieldEnd(begin, detail_close, piece.end()) - begin};
}

std::string_view Joiner(std::string_view text, SearchCount* count) {
  if (Find(text, kOrJoiner, 0, text.size(), count) != kNone) return kOrJoiner;
  if (Find(text, kAndJoiner, 0, text.size(), count) != kNone) {
    return kAndJoiner;
  }
  return {};
}

std::string_view Joiner(std::string_view text) { return Joiner(text, nullptr); }

std::optional<std::uint32_t> CombinationOf(std::string_view text) {
  const std::string_view joiner = Joiner(text);
  if (joiner == kOrJoiner) return 0U;
  if (joiner == kAndJoiner) return 1U;
  return std::nullopt;
}

Pieces::Pieces(std::string_view text) : Pieces(text, nullptr) {}

Pieces::Pieces(std::string_view text, SearchCount* count)
    : text_(text), joiner_(Joiner(text, count)), count_(count) {}

bool Pieces::Next(Span& piece) {
  if (done_) return false;
  const std::size_t f =
      joiner_.empty() ? kNone
                      : Find(text_, joiner_, start_, text_.size(), count_);
  if (f == kNone) {
    piece = Span{start_, text_.size() - start_};
    joiner_after_ = kNone;
    done_ = true;
    return true;
  }
  piece = Span{start_, f - start_};
  joiner_after_ = f;
  start_ = f + joiner_.size();
  return true;
}

LocatedCondition LocateCondition(std::string_view text, Span piece,
                                 SearchCount* count) {
  LocatedCondition c;
  c.piece = piece;
  const std::size_t begin = piece.offset;
  const std::size_t end = piece.end();

  // Name: the next search starts behind the closing mark's first byte, or
  // at the start of the piece when the name is not closed.
  std::size_t next = begin;
  const std::size_t h1 = Find(text, kNameMark, begin, end, count);
  if (h1 != kNone) {
    c.name_open = h1;
    const std::size_t h2 = Find(text, kNameMark, h1 + 1, end, count);
    if (h2 != kNone) {
      c.name_close = h2;
      next = h2 + 1;
    }
  }
  // Detail: likewise; with no opening mark at all, the params block is
  // looked for from where the detail block was.
  const std::size_t d1 = Find(text, kOpenMark, next, end, count);
  if (d1 != kNone) {
    c.detail_open = d1;
    const std::size_t d2 = Find(text, kCloseMark, d1 + 1, end, count);
    if (d2 != kNone) {
      c.detail_close = d2;
      next = d2 + 1;
    } else {
      next = begin;
    }
  }
  // Params block.
  const std::size_t p1 = Find(text, kOpenMark, next, end, count);
  if (p1 == kNone) return c;
  c.params_open = p1;
  const std::size_t p2 = Find(text, kCloseMark, p1 + 1, end, count);
  if (p2 == kNone) return c;
  c.params_close = p2;
  LocateParams(text, p1, p2, end, c, count);
  return c;
}

LocatedCondition LocateCondition(std::string_view text, Span piece) {
  return LocateCondition(text, piece, nullptr);
}

LocatedDefinition Locate(std::string_view text, SearchCount* count) {
  LocatedDefinition located;
  Pieces pieces(text, count);
  located.joiner = pieces.joiner();
  for (Span piece; pieces.Next(piece);) {
    located.conditions.push_back(LocateCondition(text, piece, count));
    if (located.conditions.back().rejected) break;
  }
  return located;
}

LocatedDefinition Locate(std::string_view text) {
  return Locate(text, nullptr);
}

AlertDefinition RecordOf(std::string_view text, const LocatedCondition& c) {
  auto copy = [text](Span span) {
    return std::string(text.substr(span.offset, span.size));
  };
  AlertDefinition record;
  if (c.has_name()) record.name = copy(c.name());
  if (c.has_detail()) record.detail = copy(c.detail());
  for (const LocatedParam& located : c.params) {
    if (located.key_separator == kNone) break;  // the rejected item
    DefinitionParam param;
    param.key = copy(located.key);
    for (Span value : located.values) param.values.push_back(copy(value));
    record.params.push_back(std::move(param));
  }
  return record;
}

}  // namespace vantrel_reference
