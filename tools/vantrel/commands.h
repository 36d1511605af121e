// The four commands, each written once: a command reads rules, one at a
// time, makes an outcome of each (rule.h) and renders it (render.h). A
// batch (--batch FORM, batch.h) differs from a single rule only in its
// framing.
#ifndef VANTREL_TOOLS_VANTREL_COMMANDS_H_
#define VANTREL_TOOLS_VANTREL_COMMANDS_H_

#include <ostream>

#include "exit_code.h"
#include "files.h"
#include "options.h"

namespace vantrel::cli {

struct Result {
  ExitCode code = ExitCode::kOk;
  // True when the output holds the whole answer (a report, the records,
  // the text, every rule of a batch), so that `-o FILE` may replace FILE;
  // false when nothing is to be written (a rejected parse without
  // --partial, a refusal of format --strict) or a rule was left out.
  bool complete = true;
};

// Runs the command of `options` on its input. Fatal errors (input that
// cannot be read at all, an output that cannot be written) are thrown as
// rules::InputError. `messages` gets warnings and the batch summary
// (nothing under --quiet). The output is committed only when complete.
Result RunCommand(const Options& options, Input& input, Output& output,
                  std::ostream& messages);

}  // namespace vantrel::cli

#endif  // VANTREL_TOOLS_VANTREL_COMMANDS_H_
