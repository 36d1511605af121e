// vantrel: reads alert definition texts into JSON, writes them from JSON,
// tells which rules come back unchanged through the library, and edits
// stored rules without losing one, one rule at a time or many in one run
// (--batch FORM).
//
// The tool is a host like any other: it links the shared library and uses
// only its four exports and the public header, through the rules library
// (tools/rules/), which makes every verdict and every rewrite decision from
// the library's own parse and write. options.cpp reads the command line,
// commands.cpp runs a command (rule.cpp one rule, batch.cpp the framing of
// many, render.cpp what is printed), and exit_code.h lists the exit codes.
#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>
#include <string>

#include "commands.h"
#include "exit_code.h"
#include "files.h"
#include "options.h"

namespace {

using vantrel::cli::ExitCode;

int Code(ExitCode code) { return static_cast<int>(code); }

int Main(int argc, char** argv) {
  vantrel::cli::Options o;
  if (const std::optional<ExitCode> code =
          vantrel::cli::ReadOptions(argc, argv, o, std::cerr)) {
    return Code(*code);
  }
  const std::string name =
      std::string("vantrel ") + vantrel::cli::CommandName(o.command);
  // Standard output keeps what was written before a failure (a batch's
  // rows up to it); a file named by -o is replaced only by a complete
  // answer, and otherwise left as it was.
  const bool to_file = !o.output.empty() && o.output != "-";
  std::optional<vantrel::cli::Output> output;
  std::string message;
  try {
    vantrel::cli::Input input(o.file);
    output.emplace(o.output);
    const vantrel::cli::Result result =
        vantrel::cli::RunCommand(o, input, *output, std::cerr);
    if (!result.complete && !to_file) output->Commit();
    return Code(result.code);
  } catch (const vantrel::rules::InputError& error) {
    message = error.what();
  } catch (const std::bad_alloc&) {
    message = "out of memory";
  } catch (const std::length_error& error) {
    message = error.what();
  }
  // (Only a batch's: its output holds whole rows, released one by one; a
  // single rule's answer is all or nothing.)
  if (output && !to_file && o.batch) {
    try {
      output->Commit();
    } catch (const vantrel::rules::InputError&) {
      // The failure that ended the command is the one to tell.
    }
  }
  std::cerr << name << ": " << message << "\n";
  return Code(ExitCode::kError);
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  try {
    return Main(argc, argv);
  } catch (const std::exception& error) {
    for (const char* part : {"vantrel: ", error.what(), "\n"}) {
      static_cast<void>(std::fputs(part, stderr));
    }
  }
  return Code(ExitCode::kError);
}
