// The definition text of a record set, as the library writes it, with where
// every field and mark is written. The tool lays the written text of a
// record set out with it, reads it back with the located reader, and names
// the field in which the reader found a mark that the writer did not put
// there: that is why a field does not come back.
//
// Example: one record, name n, detail d, param k = v, w:
//
//   LayOut(defs).text == "--#--n--#----{--d--}----{--k==v--,--w--}--"
//   conditions[0].name == {5, 1}, .detail == {16, 1},
//   .params[0].key == {27, 1}, .params[0].values == {{30, 1}, {36, 1}}
#ifndef VANTREL_REFERENCE_LOCATED_WRITER_H_
#define VANTREL_REFERENCE_LOCATED_WRITER_H_

#include <string>
#include <string_view>
#include <vector>

#include "reference/located_reader.h"
#include "vantrel/alert_definitions.h"

namespace vantrel_reference {

struct WrittenParam {
  Span key;
  std::size_t key_separator = 0;  // where its "==" is written
  std::vector<Span> values;       // an empty list when it has no values
};

struct WrittenCondition {
  Span condition;  // the whole condition text
  Span name;
  Span detail;
  std::vector<WrittenParam> params;
};

struct WrittenDefinition {
  std::string text;
  std::string_view joiner;           // the joiner written, empty for none
  std::vector<std::size_t> joiners;  // where each joiner is written
  std::vector<WrittenCondition> conditions;
};

// The text that SetFuncDefinition writes for `defs`, laid out.
WrittenDefinition LayOut(const AlertDefinitions& defs);

}  // namespace vantrel_reference

#endif  // VANTREL_REFERENCE_LOCATED_WRITER_H_
