#include "condition_text.h"

#include <list>

#include "mark_search.h"
#include "text_sink.h"
#include "vocabulary/vocabulary.h"

namespace vantrel {
namespace {

using codec_internal::FindMark;
using codec_internal::FindMarkStartingBefore;
using codec_internal::FindMarkWithin;
using codec_internal::kNotFound;

// The text from `from` up to `to`. When `to` lies before `from`, which
// happens where a closing mark begins inside its opening mark (as in
// "--#--#--"), the field runs to the end of the text.
std::string_view Cut(std::string_view text, std::size_t from,
                     std::size_t to) noexcept {
  return to >= from ? text.substr(from, to - from) : text.substr(from);
}

// Reads the items of a params block whose first item starts at `b` and whose
// closing mark starts at `close`. Each item runs to the next item separator
// that begins before `close`, or to `close`; its key runs to its first "=="
// at or after the item's second byte, and its values are cut at every value
// separator inside the item. Every search stays within the stretch in which
// a hit can count, so the whole block is read in one pass.
bool ReadParams(std::string_view text, const ConditionMarks& marks,
                std::size_t b, std::size_t close,
                std::list<DefinitionParam>& params) {
  for (;;) {
    const std::size_t s =
        FindMarkStartingBefore(text, b + 1, close, marks.item_sep);
    const bool last = s == kNotFound;
    const std::size_t x = last ? close : s;

    const std::size_t e = FindMarkWithin(text, b + 1, x, marks.key_sep);
    if (e == kNotFound) return false;

    // The parameter is built in a list of its own and spliced in once
    // complete, so `params` never holds a half-read item.
    std::list<DefinitionParam> staged;
    DefinitionParam& param = staged.emplace_back();
    param.key.assign(text.substr(b, e - b));
    std::size_t v = e + marks.key_sep.size();
    for (std::size_t m = FindMarkWithin(text, v, x, marks.value_sep);
         m != kNotFound; m = FindMarkWithin(text, v, x, marks.value_sep)) {
      param.values.emplace_back(text.substr(v, m - v));
      v = m + marks.value_sep.size();
    }
    param.values.emplace_back(text.substr(v, x - v));
    params.splice(params.end(), staged);

    if (last) return true;
    b = s + marks.item_sep.size();
  }
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
