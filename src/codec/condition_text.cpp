#include "condition_text.h"

#include <cstring>
#include <list>

#include "mark_copy.h"
#include "mark_cursor.h"
#include "mark_search.h"
#include "text_sink.h"
#include "vocabulary/vocabulary.h"

namespace vantrel {
namespace {

using codec_internal::FindMark;
using codec_internal::FoundMark;
using codec_internal::kNotFound;
using codec_internal::MarkCursor;

// The roles of the eight marks, one bit each, for the mark cursor.
enum Role : unsigned {
  kName = 1u << 0,
  kDetailOpen = 1u << 1,
  kDetailClose = 1u << 2,
  kParamsOpen = 1u << 3,
  kParamsClose = 1u << 4,
  kItemSeparator = 1u << 5,
  kKeySeparator = 1u << 6,
  kValueSeparator = 1u << 7,
};

// The text from `from` up to `to`. When `to` lies before `from`, which
// happens where a closing mark begins inside its opening mark (as in
// "--#--#--"), the field runs to the end of the text.
std::string_view Cut(std::string_view text, std::size_t from,
                     std::size_t to) noexcept {
  return to >= from ? text.substr(from, to - from) : text.substr(from);
}

// Reads the items of a params block whose first item starts at `b` and
// whose closing mark starts at `close`, taking the marks from `cursor`,
// which stands before the first mark after the block's opening mark.
//
// An item runs from b to its end x: the first item separator that begins
// after b and before `close`, or `close`. Its key runs from b to its first
// "==" that begins after b and ends by x; its values are cut at every value
// separator that begins at or after the end of the previous one and ends by
// x. The marks come in the order in which they begin, so each item is read
// as the cursor passes it; a separator is only taken once the marks that
// begin inside it have been looked at, since one of them may end the item
// there ("--,--;--").
bool ReadParams(std::string_view text, const ConditionMarks& marks,
                MarkCursor& cursor, std::size_t b, std::size_t close,
                std::list<DefinitionParam>& params) {
  // Whether `mark` ends the item that starts at b.
  const auto ends_item = [&](const FoundMark& mark) {
    return mark.at == close || ((mark.roles & kItemSeparator) != 0 && mark.at > b);
  };
  // Whether a mark that ends the item begins before `end`; passes over the
  // other marks that begin before `end`.
  const auto item_ends_before = [&](std::size_t end) {
    for (;;) {
      const FoundMark& next = cursor.Peek();
      if (next.at >= end) return false;
      if (ends_item(next)) return true;
      cursor.Next();
    }
  };

  for (;;) {
    // The parameter is built in a list of its own and spliced in once
    // complete, so `params` never holds a half-read item.
    std::list<DefinitionParam> staged;
    DefinitionParam* param = nullptr;
    std::size_t v = 0;  // where the current value begins
    FoundMark mark = cursor.Next();
    // The closing mark is a mark the cursor stops at, so it ends every walk.
    for (; !ends_item(mark); mark = cursor.Next()) {
      if (param == nullptr) {
        if ((mark.roles & kKeySeparator) == 0 || mark.at <= b) continue;
        const std::size_t end = mark.at + marks.key_sep.size();
        if (item_ends_before(end)) return false;
        param = &staged.emplace_back();
        param->key.assign(text.substr(b, mark.at - b));
        v = end;
      } else if ((mark.roles & kValueSeparator) != 0 && mark.at >= v) {
        const std::size_t end = mark.at + marks.value_sep.size();
        if (item_ends_before(end)) continue;
        param->values.emplace_back(text.substr(v, mark.at - v));
        v = end;
      }
    }
    if (param == nullptr) return false;
    const std::size_t x = mark.at;
    param->values.emplace_back(text.substr(v, x - v));
    params.splice(params.end(), staged);

    if (x == close) return true;
    b = x + marks.item_sep.size();
  }
}

}  // namespace

ConditionMarks CurrentMarks() noexcept {
  namespace d = vocabulary::delimiters;
  return ConditionMarks{d::kNameMark,          d::kDetailOpen,
                        d::kDetailClose,       d::kParamsOpen,
                        d::kParamsClose,       d::kItemSeparator,
                        d::kKeyValueSeparator, d::kValueSeparator};
}

ConditionReader::ConditionReader() noexcept : marks_(CurrentMarks()) {
  // The marks meet what the cursor needs (mark_cursor.h); the tests check
  // every Add.
  set_.Add(marks_.name, kName);
  set_.Add(marks_.detail_open, kDetailOpen);
  set_.Add(marks_.detail_close, kDetailClose);
  set_.Add(marks_.params_open, kParamsOpen);
  set_.Add(marks_.params_close, kParamsClose);
  set_.Add(marks_.item_sep, kItemSeparator);
  set_.Add(marks_.key_sep, kKeySeparator);
  set_.Add(marks_.value_sep, kValueSeparator);
}

bool ConditionReader::Read(std::string_view text,
                           AlertDefinition& record) const {
  MarkCursor cursor(set_, text);

  // Name: between the first two name marks. Without the second one, the
  // blocks are looked for from the start of the text.
  std::size_t start = 0;
  const std::size_t h1 = cursor.Find(kName, 0);
  if (h1 != kNotFound) {
    const std::size_t h2 = cursor.Find(kName, h1 + 1);
    if (h2 != kNotFound) {
      record.name.assign(Cut(text, h1 + marks_.name.size(), h2));
      start = h2 + 1;
    }
  }

  // Detail block. Without its closing mark, the params block is looked for
  // from the start of the text. Without its opening mark, the params block
  // is looked for from the same place; its opening mark has the same text,
  // so none is found and the record has no parameters.
  const std::size_t d1 = cursor.Find(kDetailOpen, start);
  if (d1 != kNotFound) {
    const std::size_t d2 = cursor.Find(kDetailClose, d1 + 1);
    if (d2 != kNotFound) {
      record.detail.assign(Cut(text, d1 + marks_.detail_open.size(), d2));
      start = d2 + 1;
    } else {
      start = 0;
    }
  }

  // Params block: absent, or without its closing mark, means no parameters.
  // The closing mark is looked for with a search of its own, which leaves
  // the cursor just after the opening mark for reading the items.
  const std::size_t p1 = cursor.Find(kParamsOpen, start);
  if (p1 == kNotFound) return true;
  const std::size_t p2 = FindMark(text, p1 + 1, marks_.params_close);
  if (p2 == kNotFound) return true;
  return ReadParams(text, marks_, cursor, p1 + marks_.params_open.size(), p2,
                    record.params);
}

bool ReadConditionText(std::string_view text, AlertDefinition& record) {
  return ConditionReader().Read(text, record);
}

std::size_t ConditionTextSize(const AlertDefinition& record) noexcept {
  codec_internal::SizeSink size;
  PutConditionText(size, record, CurrentMarks());
  return size.size();
}

void AppendConditionText(std::string& out, const AlertDefinition& record) {
  const ConditionMarks marks = CurrentMarks();
  codec_internal::SizeSink size;
  size.Put(out);
  PutConditionText(size, record, marks);
  const std::size_t at = out.size();
  out.resize(size.size());
  codec_internal::WriteSink sink(&out[at]);
  PutConditionText(sink, record, marks);
}

}  // namespace vantrel
