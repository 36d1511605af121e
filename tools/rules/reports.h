// The reports of both checks: as lines for people, and as JSON for
// programs (a batch line, `check --json`). Both show the same facts; every
// piece of a rule in the lines is excerpted (text.h), and in JSON it is a
// string of its own, cut to kExcerptBytes with its full size beside it.
#ifndef VANTREL_TOOLS_RULES_REPORTS_H_
#define VANTREL_TOOLS_RULES_REPORTS_H_

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "records_check.h"
#include "records_json.h"
#include "text_check.h"

namespace vantrel::rules {

// `head` holds the members that come first (a batch line's "id").
Report TextReport(const TextCheck& check, std::string_view text, ByteMode mode,
                  Report head);
std::string TextReportLines(const TextCheck& check, std::string_view text);

Report RecordsReport(const RecordsCheck& check, ByteMode mode, Report head);
std::string RecordsReportLines(const RecordsCheck& check, std::size_t records);

// The JSON report of one rule as `vantrel check --json` prints it (and the
// WebAssembly module returns it): indented, ending in a line break.
std::string TextReportJson(const TextCheck& check, std::string_view text,
                           ByteMode mode);
std::string RecordsReportJson(const RecordsCheck& check, ByteMode mode);

// Counts of causes over many rules, for a batch summary:
// "3 text outside the marks, 1 both joiners".
class CauseTally {
 public:
  void Add(const std::array<std::size_t, kCauseKinds>& counts);
  void Add(const Causes& causes) { Add(causes.counts()); }
  std::string Text() const;  // empty when nothing was counted

 private:
  std::array<std::size_t, kCauseKinds> counts_{};
};

}  // namespace vantrel::rules

#endif  // VANTREL_TOOLS_RULES_REPORTS_H_
