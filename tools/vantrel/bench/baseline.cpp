// The library's own cost for a file of stored rules, one per line: each rule
// is parsed into a fresh object and written back, and the written text is
// compared with the rule (what `vantrel check --batch lines` asks of every
// rule). Prints the seconds of that loop and the number of rules that come
// back byte for byte. Reading the file is not timed.
#include <chrono>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <vantrel/alert_definitions.h>

int main(int argc, char** argv) {
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
