// Running one rule: what each command makes of a rule it has read (a text,
// records, or both), before any framing or rendering.
#ifndef VANTREL_TOOLS_VANTREL_RULE_H_
#define VANTREL_TOOLS_VANTREL_RULE_H_

#include <array>
#include <cstddef>
#include <optional>
#include <string>

#include "options.h"
#include "records_check.h"
#include "records_json.h"
#include "rewrite.h"
#include "text_check.h"

namespace vantrel::cli {

// What became of one rule. The first three are a check's verdicts (parse
// and check); the next four the rewrite decision's (edit, format); kError a
// row that could not be read.
enum class Verdict {
  kOk,
  kLossy,
  kRejected,
  kRewritten,
  kUnchanged,
  kKept,
  kRefused,
  kError,
};
inline constexpr std::size_t kVerdicts = 8;
// "ok", "lossy", ..., "error": the "status" of a row.
const char* VerdictName(Verdict verdict);
// The verdict of a status name that the tool writes; nullopt for any other.
std::optional<Verdict> VerdictNamed(const std::string& name);

// One rule as read: its id (null for a single rule), the input line it
// came from (0 for a single rule), and its text and/or records.
// As RuleLine, which it holds, for the json destructor's allocation.
// NOLINTNEXTLINE(bugprone-exception-escape)
struct Rule {
  std::size_t line = 0;
  rules::RuleLine in;
};

// What a command made of one rule.
struct Outcome {
  Verdict verdict = Verdict::kOk;
  std::optional<rules::TextCheck> text;
  std::optional<rules::RecordsCheck> records;
  // parse: the records read (with --partial also those of a rejected text).
  AlertDefinitions defs{};
  rules::Combination combination;
  bool has_records = false;
  // format, edit: the text to output, and why it is not the new one.
  std::optional<std::string> written;
  std::string reason;
};

// Runs the command of `o` on `rule`. `limits`: what the output's framing
// cannot carry in a rewritten text (format, edit).
Outcome Run(const Options& o, Rule& rule, rules::RewriteLimits limits = {});

}  // namespace vantrel::cli

#endif  // VANTREL_TOOLS_VANTREL_RULE_H_
