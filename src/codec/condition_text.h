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

#include "vantrel/alert_definitions.h"

namespace vantrel {

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

// Appends the condition text of `record` to `out`. A parameter list that is
// empty is written as the closing mark alone:
//
//   {name "n", detail "d", no params}  ->  "--#--n--#----{--d--}----}--"
//   {name "n", detail "", {"k", {}}}   ->  "--#--n--#----{----}----{--k==--}--"
void AppendConditionText(std::string& out, const AlertDefinition& record);

// Writes the condition text of `record` at `dst`, which must have room for
// ConditionTextSize(record) bytes, and returns the end of what it wrote.
char* WriteConditionText(char* dst, const AlertDefinition& record) noexcept;

// The number of bytes AppendConditionText adds for `record`. Saturates at the
// largest std::size_t rather than wrapping.
std::size_t ConditionTextSize(const AlertDefinition& record) noexcept;

}  // namespace vantrel

#endif  // VANTREL_SRC_CODEC_CONDITION_TEXT_H_
