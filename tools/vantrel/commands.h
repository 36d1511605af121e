// The three commands, each written once: a command reads rules, one at a
// time, makes an outcome of each (Run) and renders it. A batch (--batch
// FORM) differs from a single rule only in its framing: the rules come one
// per line with an id, and the outcomes go out as JSON lines (or, for
// format, as lines or TSV) with a summary on standard error. A single rule
// is a batch of one with a renderer for people.
#ifndef VANTREL_TOOLS_VANTREL_COMMANDS_H_
#define VANTREL_TOOLS_VANTREL_COMMANDS_H_

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>

#include "exit_code.h"
#include "files.h"
#include "records_check.h"
#include "records_json.h"
#include "text_check.h"

namespace vantrel::cli {

enum class Command { kParse, kFormat, kCheck };
enum class Form { kLines, kTsv, kJsonl };
enum class Detect { kAuto, kText, kJson };

struct Options {
  Command command = Command::kCheck;
  rules::Kind kind = rules::Kind::Func;
  rules::ByteMode mode = rules::ByteMode::Utf8;
  std::optional<Form> batch;  // the input form of a batch; nullopt: one rule
  Form to = Form::kJsonl;     // format --batch: the output form
  bool partial = false;       // parse: the records read before a rejection
  bool strict = false;        // format: write no rule that is lossy
  bool newline = false;       // format: end the text with a line break
  bool json_report = false;   // check: the report as JSON
  bool quiet = false;         // no warnings, no summary; check: no report
  Detect detect = Detect::kAuto;
  std::size_t max_causes = rules::kDefaultMaxCauses;
  std::string file = "-";
  std::string output = "-";  // "-" is standard output; "" is refused
};

struct Result {
  ExitCode code = ExitCode::kOk;
  // True when the output holds the whole answer (a report, the records,
  // the text, every rule of a batch), so that `-o FILE` may replace FILE;
  // false when nothing is to be written (a rejected parse without
  // --partial, a refusal of format --strict).
  bool complete = true;
};

// Runs the command of `options` on its input. Fatal errors (input that
// cannot be read at all, an output that cannot be written, a rule the
// lines output cannot carry) are thrown as rules::InputError. `messages`
// gets warnings and the batch summary (nothing under --quiet).
Result RunCommand(const Options& options, Input& input, Output& output,
                  std::ostream& messages);

// The name of a command, "parse", "format" or "check".
const char* CommandName(Command command);

}  // namespace vantrel::cli

#endif  // VANTREL_TOOLS_VANTREL_COMMANDS_H_
