#include "condition_text.h"

#include <cstring>
#include <list>

#include "mark_search.h"
#include "text_sink.h"
#include "vocabulary/vocabulary.h"

namespace vantrel {
namespace {

using codec_internal::FindMark;
using codec_internal::kNotFound;

// The text from `from` up to `to`. When `to` lies before `from`, which
// happens where a closing mark begins inside its opening mark (as in
// "--#--#--"), the field runs to the end of the text.
std::string_view Cut(std::string_view text, std::size_t from,
                     std::size_t to) noexcept {
  return to >= from ? text.substr(from, to - from) : text.substr(from);
}

// The reading of a params block in one forward walk.
//
// An item runs from `b` to the first item separator that begins at or after
// b + 1 and before the block's closing mark, or to the closing mark; call
// that end x. Its key runs from b to its first key separator at or after
// b + 1, which must end by x; its values are cut at the value separators
// that follow, each searched for from the end of the one before and counted
// only when it ends by x.
//
// Rather than searching each item for each mark, the walk visits, in order,
// every byte of the block that is the middle byte (the anchor) of an item,
// key or value separator, checks whether the mark is really there, and
// keeps the state of the item it is in. Two things about the marks make one
// walk enough:
//   - a mark that begins before x has its anchor before x's anchor, so by
//     the time the walk reaches x it has seen every mark of the item;
//   - x is the start of an item separator or of the closing mark, which
//     begin with '-', so a key separator ("==") that begins before x also
//     ends by x; a value separator can run past x, so the last one found is
//     held until the item's end is known.
bool ReadParams(std::string_view text, const ConditionMarks& marks,
                std::size_t first_item, std::size_t close,
                std::list<DefinitionParam>& params) {
  const char* const base = text.data();
  const std::size_t item_size = marks.item_sep.size();
  const std::size_t key_size = marks.key_sep.size();
  const std::size_t value_size = marks.value_sep.size();
  const char item_anchor = marks.item_sep.data[item_size / 2];
  const char key_anchor = marks.key_sep.data[key_size / 2];
  const char value_anchor = marks.value_sep.data[value_size / 2];

  std::size_t item = first_item;     // where the current item begins
  DefinitionParam* param = nullptr;  // its parameter, once its key is read
  std::size_t value = 0;             // where its current value begins
  std::size_t held = kNotFound;      // a value separator not yet counted

  // Ends the current item at `x`; false when it has no key separator.
  auto end_item = [&](std::size_t x) {
    if (param == nullptr) return false;
    if (held != kNotFound && held + value_size <= x) {
      param->values.emplace_back(base + value, held - value);
      value = held + value_size;
    }
    param->values.emplace_back(base + value, x - value);
    param = nullptr;
    held = kNotFound;
    return true;
  };

  // Anchors lie after the first byte of the block and are the middle bytes
  // of their marks, and the block ends with a mark of five bytes, so none
  // of the starts below wraps and every mark tested lies inside the text.
  const bool read = codec_internal::ForEachOf(
      text, item + 1, close, item_anchor, key_anchor, value_anchor,
      [&](std::size_t anchor) {
        const char byte = base[anchor];
        if (byte == item_anchor) {
          const std::size_t sep = anchor - item_size / 2;
          if (sep > item &&
              std::memcmp(base + sep, marks.item_sep.data, item_size) == 0) {
            if (!end_item(sep)) return false;
            item = sep + item_size;
          }
        } else if (param == nullptr) {
          const std::size_t key_end = anchor - key_size / 2;
          if (byte == key_anchor && key_end > item &&
              std::memcmp(base + key_end, marks.key_sep.data, key_size) == 0) {
            param = &params.emplace_back();
            param->key.assign(base + item, key_end - item);
            value = key_end + key_size;
          }
        } else if (byte == value_anchor) {
          const std::size_t sep = anchor - value_size / 2;
          if (sep >= value &&
              std::memcmp(base + sep, marks.value_sep.data, value_size) == 0) {
            if (held == kNotFound) {
              held = sep;
            } else if (sep >= held + value_size) {
              // The held separator ends before this one begins, so inside
              // the item.
              param->values.emplace_back(base + value, held - value);
              value = held + value_size;
              held = sep;
            }
          }
        }
        return true;
      });
  return read && end_item(close);
}

}  // namespace

ConditionMarks CurrentMarks() noexcept {
  namespace d = vocabulary::delimiters;
  return ConditionMarks{
      {d::kNameMark.data()},          {d::kDetailOpen.data()},
      {d::kDetailClose.data()},       {d::kParamsOpen.data()},
      {d::kParamsClose.data()},       {d::kItemSeparator.data()},
      {d::kKeyValueSeparator.data()}, {d::kValueSeparator.data()}};
}

bool ReadConditionText(std::string_view text, AlertDefinition& record) {
  const ConditionMarks marks = CurrentMarks();

  // Name: between the first two name marks. Without the second one, the
  // blocks are looked for from the start of the text.
  std::size_t start = 0;
  const std::size_t h1 = FindMark(text, 0, marks.name);
  if (h1 != kNotFound) {
    const std::size_t h2 = FindMark(text, h1 + 1, marks.name);
    if (h2 != kNotFound) {
      record.name.assign(Cut(text, h1 + marks.name.size(), h2));
      start = h2 + 1;
    }
  }

  // Detail block. Without its closing mark, the params block is looked for
  // from the start of the text. Without its opening mark, the params block
  // is looked for from the same place; its opening mark has the same text,
  // so none is found and the record has no parameters.
  const std::size_t d1 = FindMark(text, start, marks.detail_open);
  if (d1 != kNotFound) {
    const std::size_t d2 = FindMark(text, d1 + 1, marks.detail_close);
    if (d2 != kNotFound) {
      record.detail.assign(Cut(text, d1 + marks.detail_open.size(), d2));
      start = d2 + 1;
    } else {
      start = 0;
    }
  }

  // Params block: absent, or without its closing mark, means no parameters.
  const std::size_t p1 = FindMark(text, start, marks.params_open);
  if (p1 == kNotFound) return true;
  const std::size_t p2 = FindMark(text, p1 + 1, marks.params_close);
  if (p2 == kNotFound) return true;
  return ReadParams(text, marks, p1 + marks.params_open.size(), p2,
                    record.params);
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
