// The tool's exit codes, in one place.
#ifndef VANTREL_TOOLS_VANTREL_EXIT_CODE_H_
#define VANTREL_TOOLS_VANTREL_EXIT_CODE_H_

namespace vantrel::cli {

enum class ExitCode : int {
  // Every rule comes back unchanged (and everything asked was written).
  kOk = 0,
  // A rule is rejected or lossy, `format --strict` refused one, or a rule
  // of a batch could not be written in the output form asked for.
  kNotUnchanged = 1,
  // Bad usage, unreadable input, bad JSON or JSON of the wrong shape, bytes
  // --bytes cannot carry, a batch line that cannot be read, an output that
  // cannot be written.
  kError = 2,
};

// The worse of two outcomes.
constexpr ExitCode Worse(ExitCode a, ExitCode b) {
  return static_cast<int>(a) > static_cast<int>(b) ? a : b;
}

}  // namespace vantrel::cli

#endif  // VANTREL_TOOLS_VANTREL_EXIT_CODE_H_
