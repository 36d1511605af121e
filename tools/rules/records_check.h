// Do records come back unchanged when the library writes and reads them?
//
// The verdict is the library's own: the whole definition is written with
// its combination, read back into a fresh target, and "ok" only when the
// parse accepts the text and gives the same records and the same
// combination. Only for records that do not come back, the explanation:
// every field that changes, by its path, as written and as read back, and
// the cause, found by laying the written text out (where the writer put
// each field and mark) and reading it with the located reader (which marks
// the reader takes): a mark the reader takes inside, or formed across the
// edge of, a field is what changed it.
#ifndef VANTREL_TOOLS_RULES_RECORDS_CHECK_H_
#define VANTREL_TOOLS_RULES_RECORDS_CHECK_H_

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "causes.h"
#include "library.h"
#include "text_check.h"

namespace vantrel::rules {

struct Problem {
  CauseKind kind = CauseKind::kOther;
  std::string path;   // "definitions[1].params[0].values[2]", "combination"
  std::string cause;  // what the text form does to it
  // The field as written and as it comes back, when the problem is about
  // one field (the combination as a number or "null"); nullopt where it
  // does not come back at all.
  std::optional<std::string> written;
  std::optional<std::string> read_back;
};

struct RecordsCheck {
  Status status = Status::kOk;    // kOk or kLossy
  std::vector<Problem> problems;  // at most the limit asked for
  std::size_t more = 0;           // problems found beyond the limit
  std::array<std::size_t, kCauseKinds> counts{};  // every problem, by kind
};

// The same records, field by field (the combination is not compared).
bool SameRecords(const AlertDefinitions& a, const AlertDefinitions& b);

// Checks `defs` with `combination`; `defs.combination` is used during the
// call and restored, and the records are only read.
RecordsCheck CheckRecords(Kind kind, AlertDefinitions& defs,
                          Combination combination,
                          std::size_t max_problems = kDefaultMaxCauses);

}  // namespace vantrel::rules

#endif  // VANTREL_TOOLS_RULES_RECORDS_CHECK_H_
