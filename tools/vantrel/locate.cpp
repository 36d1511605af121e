#include "locate.h"

#include "io.h"

namespace vantrel_cli {
std::string_view JoinerOf(std::string_view text) {
  if (text.find(kOrJoiner) != kNone) return kOrJoiner;
  if (text.find(kAndJoiner) != kNone) return kAndJoiner;
  return {};
}

std::vector<Span> Pieces(std::string_view text) {
  const std::string_view joiner = JoinerOf(text);
  if (joiner.empty()) return {Span{0, text.size()}};
  std::vector<Span> pieces;
  std::size_t start = 0;
  for (std::size_t found = text.find(joiner);;
       found = text.find(joiner, start)) {
    const std::size_t end = found == kNone ? text.size() : found;
    pieces.push_back(Span{start, end - start});
    if (found == kNone) return pieces;
    start = found + joiner.size();
  }
}

ConditionMarks FindMarks(std::string_view piece) {
  ConditionMarks m;
  std::size_t start = 0;
  m.name_open = piece.find(kNameMark);
  if (m.name_open != kNone) {
    m.name_close = piece.find(kNameMark, m.name_open + 1);
    if (m.name_close != kNone) start = m.name_close + 1;
  }
  m.detail_open = piece.find(kOpenMark, start);
  if (m.detail_open != kNone) {
    m.detail_close = piece.find(kCloseMark, m.detail_open + 1);
    start = m.detail_close != kNone ? m.detail_close + 1 : 0;
  }
  m.params_open = piece.find(kOpenMark, start);
  if (m.params_open != kNone) {
    m.params_close = piece.find(kCloseMark, m.params_open + 1);
  }
  return m;
}

Rejection LocateRejection(std::string_view text, std::size_t records_read) {
  const std::vector<Span> pieces = Pieces(text);
  Rejection rejection;
  rejection.piece = records_read + 1;
  if (records_read >= pieces.size()) return rejection;
  const Span span = pieces[records_read];
  rejection.offset = span.offset;
  const std::string_view piece = text.substr(span.offset, span.size);
  const ConditionMarks m = FindMarks(piece);
  if (m.params_close == kNone) return rejection;
  // Each item runs to the next item separator that starts before the
  // closing mark, or to the closing mark; its "==" must start at its second
  // byte or later and end within it.
  std::size_t b = m.params_open + kOpenMark.size();
  for (std::size_t number = 1;; ++number) {
    const std::size_t s = piece.find(kItemSeparator, b + 1);
    const bool last = s == kNone || s >= m.params_close;
    const std::size_t x = last ? m.params_close : s;
    const std::size_t e = piece.find(kKeySeparator, b + 1);
    if (e == kNone || e + kKeySeparator.size() > x) {
      rejection.item = number;
      rejection.item_span = Span{span.offset + b, x > b ? x - b : 0};
      return rejection;
    }
    if (last) return rejection;
    b = s + kItemSeparator.size();
  }
}

std::string Describe(const Rejection& rejection, std::string_view text) {
  std::string message = "piece " + std::to_string(rejection.piece) +
                        " (at byte " + std::to_string(rejection.offset) +
                        ") is rejected";
  if (rejection.item == 0) return message;
  return message + ": its parameter item " + std::to_string(rejection.item) +
         " (at byte " + std::to_string(rejection.item_span.offset) +
         ") has no \"==\" of its own: " +
         Excerpt(
             text.substr(rejection.item_span.offset, rejection.item_span.size));
}

}  // namespace vantrel_cli
