// Renderers: what the tool prints of an outcome. JSON rows of a batch, the
// lines of a report file, the summary of a batch, and the reports of a
// single rule for people.
#ifndef VANTREL_TOOLS_VANTREL_RENDER_H_
#define VANTREL_TOOLS_VANTREL_RENDER_H_

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "options.h"
#include "reports.h"
#include "rule.h"

namespace vantrel::cli {

// The JSON row of a parse or check outcome, "id" first.
std::string Row(const Options& o, const Rule& rule, const Outcome& out);
// The JSON row of a format outcome: id, status, reason (when there is
// one) and the text written.
std::string TextRow(const Options& o, const Rule& rule, const Outcome& out);
// The JSON row of a line that could not be read: its id (null when none was
// read), line and message, and for parse its raw bytes as "text" when the
// byte mode can carry them.
std::string ErrorRow(const Options& o, const Rule& rule,
                     const std::string& message, std::string_view raw);
// A line of a --report file: {"id", "line", "status", "reason"}.
std::string ReportRow(const Rule& rule, Verdict verdict,
                      const std::string& reason);

// The id of a batch rule for a message: 7, "r1", excerpted.
std::string IdText(const Rule& rule);

// A batch's counts, and the summary on standard error.
struct Summary {
  std::array<std::size_t, kVerdicts> verdicts{};
  std::size_t rules = 0;
  std::size_t left_out = 0;  // rules that are not in the output
  rules::CauseTally causes;

  void Add(const Outcome& out);
  // The rules that are not ok for `command` (see exit_code.h).
  std::size_t NotOk(Command command) const;
  ExitCode Code(Command command) const;
  std::string Text(Command command) const;
  std::string Json(Command command) const;
};

// The report of a single check: of the text, or of the records.
std::string SingleCheckReport(const Options& o, const Rule& rule,
                              const Outcome& out);

}  // namespace vantrel::cli

#endif  // VANTREL_TOOLS_VANTREL_RENDER_H_
