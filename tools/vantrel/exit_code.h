// The tool's exit codes, in one place.
//
//   0  every rule is ok: for check, it comes back unchanged; for edit and
//      format --batch, it is rewritten or unchanged; for parse --batch,
//      every row was written (each row carries its rule's status, so a
//      migration pipeline under `set -o pipefail` goes on past lossy rules).
//   1  some rule is not ok (lossy, rejected, kept, refused, a row that could
//      not be read and was passed through as it was), but every rule is in
//      the output.
//   2  bad usage, unreadable input (for a single rule, bad JSON too), an
//      output that cannot be written, or a rule left out of a batch's
//      output: a file named by -o is then left as it was.
#ifndef VANTREL_TOOLS_VANTREL_EXIT_CODE_H_
#define VANTREL_TOOLS_VANTREL_EXIT_CODE_H_

#include <cstddef>

namespace vantrel::cli {

enum class ExitCode : int {
  kOk = 0,
  kNotOk = 1,
  kError = 2,
};

// The exit code of a run from the number of its rules that are not ok and
// of those left out of the output.
constexpr ExitCode CodeOf(std::size_t not_ok, std::size_t left_out) {
  if (left_out > 0) return ExitCode::kError;
  return not_ok > 0 ? ExitCode::kNotOk : ExitCode::kOk;
}

}  // namespace vantrel::cli

#endif  // VANTREL_TOOLS_VANTREL_EXIT_CODE_H_
