// The library's own cost for a file of stored rules, one per line: each rule
// is parsed into a fresh object and written back, and the written text is
// compared with the rule (what `vantrel check --batch lines` asks of every
// rule). Prints the seconds of that loop and the number of rules that come
// back byte for byte. Reading the file is not timed.
//
// `vantrel_batch_baseline --run PROGRAM ARGS...` runs a program and then
// prints its wall seconds, peak resident KiB and exit code as the last line
// of standard error. A small process forks it, so the peak is the program's own
// (a fork of a large process, such as a Python interpreter, starts from the
// parent's).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vantrel/alert_definitions.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

int Run(char** argv) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    execv(argv[0], argv);
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (child < 0 || wait4(child, &status, 0, &usage) != child) return 2;
  const std::chrono::duration<double> took =
      std::chrono::steady_clock::now() - start;
  // glibc's wait status macros and struct rusage go through unions.
  // NOLINTBEGIN(cppcoreguidelines-pro-type-union-access)
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const long peak = usage.ru_maxrss;
  // NOLINTEND(cppcoreguidelines-pro-type-union-access)
  std::cerr << took.count() << " " << peak << " " << code << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::string(argv[1]) == "--run") return Run(argv + 2);
  if (argc != 2) {
    std::cerr << "usage: vantrel_batch_baseline RULES_FILE\n";
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  std::vector<std::string> rules;
  for (std::string line; std::getline(file, line);) rules.push_back(line);
  const auto start = std::chrono::steady_clock::now();
  std::size_t same = 0;
  std::string text;
  for (const std::string& rule : rules) {
    AlertDefinitions defs{};
    if (GetFuncDefinition(rule, defs)) {
      SetFuncDefinition(text, defs);
      if (text == rule) ++same;
    }
  }
  const std::chrono::duration<double> took =
      std::chrono::steady_clock::now() - start;
  std::cout << took.count() << " " << same << "\n";
  return 0;
}
