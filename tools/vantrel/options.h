// What a run of the tool was asked to do: the command, its options and
// edits, read from the command line (options.cpp).
#ifndef VANTREL_TOOLS_VANTREL_OPTIONS_H_
#define VANTREL_TOOLS_VANTREL_OPTIONS_H_

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "exit_code.h"
#include "rewrite.h"
#include "text.h"
#include "text_check.h"

namespace vantrel::cli {

enum class Command { kParse, kFormat, kCheck, kEdit };
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
  bool summary_json = false;  // the batch summary as one JSON object
  Detect detect = Detect::kAuto;
  std::size_t max_causes = rules::kDefaultMaxCauses;
  std::vector<rules::EditStep> steps;  // edit: in the order given
  std::string report;                  // edit, format: --report FILE
  std::string file = "-";
  std::string output;
};

// The name of a command, "parse", "format", "check" or "edit".
const char* CommandName(Command command);

// Reads the command line into `options`. Returns the exit code when the run
// ends here (--help, --version, a usage error, told on `messages`).
std::optional<ExitCode> ReadOptions(int argc, char** argv, Options& options,
                                    std::ostream& messages);

}  // namespace vantrel::cli

#endif  // VANTREL_TOOLS_VANTREL_OPTIONS_H_
