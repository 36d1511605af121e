// The condition text: the text form of one AlertDefinition.
//
//   --#--name--#----{--detail--}----{--k1==a--,--b--;--k2==c--}--
//
// Internal to the library; the host reaches it through the definition text
// functions.

#ifndef VANTREL_SRC_CODEC_CONDITION_TEXT_H_
#define VANTREL_SRC_CODEC_CONDITION_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "mark.h"
#include "vantrel/alert_definitions.h"
#include "vocabulary/vocabulary.h"

namespace vantrel {

// The eight marks of the condition text, each read from its own vocabulary
// constant, with its text known at compile time. The detail block and the
// params block use equal texts from distinct constants.
namespace condition_marks {
namespace d = vocabulary::delimiters;
using codec_internal::Mark;
struct ConditionMarks {
  Mark<d::kNameMarkText> name;
  Mark<d::kDetailOpenText> detail_open;
  Mark<d::kDetailCloseText> detail_close;
  Mark<d::kParamsOpenText> params_open;
  Mark<d::kParamsCloseText> params_close;
  Mark<d::kItemSeparatorText> item_sep;
  Mark<d::kKeyValueSeparatorText> key_sep;
  Mark<d::kValueSeparatorText> value_sep;
};
}  // namespace condition_marks
using condition_marks::ConditionMarks;

// The marks, their bytes those of the vocabulary constants.
ConditionMarks CurrentMarks() noexcept;

// Reads one condition text into `record`, which the caller passes freshly
// constructed and empty.
//
// `name` and `detail` are assigned only when both of their marks are found;
// each parameter item is appended to `params`. Returns false, at once, when a
// parameter item holds no "==" of its own (one that begins at or after the
// item's second byte and ends inside the item); `record` then keeps the name,
// the detail and the parameters read before that item. Every other text is
// accepted, the empty text included.
//
//   ReadConditionText("--#--n--#----{--d--}----{--k==a--,--b--}--", r) == true
//   // r.name == "n", r.detail == "d", r.params: {"k", {"a", "b"}}
//   ReadConditionText("--#--n--#----{--d--}----}--", r) == true  // no params
//   ReadConditionText("--#--n--#----{--d--}----{--k--}--", r) == false
//
// Only `text` is read; no copy of it is made.
bool ReadConditionText(std::string_view text, AlertDefinition& record);

// Puts the condition text of `record` into `sink`, piece by piece, through
// sink.Put(bytes) for fields and sink.PutMark(mark) for marks. A parameter
// list that is empty is written as the closing mark alone:
//
//   {name "n", detail "d", no params}  ->  "--#--n--#----{--d--}----}--"
//   {name "n", detail "", {"k", {}}}   ->  "--#--n--#----{----}----{--k==--}--"
//
// The writers run this one walk twice, once into a SizeSink and once into a
// WriteSink (text_sink.h), so that the size and the text come from the same
// code.
template <typename Sink>
void PutConditionText(Sink& sink, const AlertDefinition& record,
                      const ConditionMarks& marks) {
  sink.PutMark(marks.name);
  sink.Put(record.name);
  sink.PutMark(marks.name);
  sink.PutMark(marks.detail_open);
  sink.Put(record.detail);
  sink.PutMark(marks.detail_close);
  if (!record.params.empty()) {
    sink.PutMark(marks.params_open);
    bool first_param = true;
    for (const DefinitionParam& param : record.params) {
      if (!first_param) sink.PutMark(marks.item_sep);
      first_param = false;
      sink.Put(param.key);
      sink.PutMark(marks.key_sep);
      bool first_value = true;
      for (const std::string& value : param.values) {
        if (!first_value) sink.PutMark(marks.value_sep);
        first_value = false;
        sink.Put(value);
      }
    }
  }
  sink.PutMark(marks.params_close);
}

}  // namespace vantrel

#endif  // VANTREL_SRC_CODEC_CONDITION_TEXT_H_
