// Example host: parses the definition text in FILE, prints its records,
// writes them back and says whether the text came back unchanged.
//
//   vantrel_example examples/average_response_time.txt

#include <vantrel/alert_definitions.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

namespace {

const char* Joiner(std::uint32_t combination) {
  switch (combination) {
    case 0:
      return "@@OR@@";
    case 1:
      return "@@AND@@";
    default:
      return "(none)";
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: vantrel_example FILE\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << "vantrel_example: cannot open " << argv[1] << "\n";
    return 2;
  }
  std::string text((std::istreambuf_iterator<char>(in)),
                   std::istreambuf_iterator<char>());
  // A trailing line break belongs to the file, not to the rule.
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
    text.erase(text.size() - 1);
  }

  AlertDefinitions defs = AlertDefinitions();
  defs.combination = 2;  // stays 2 when the text holds no joiner
  const bool ok = GetFuncDefinition(text, defs);
  std::cout << "parse: " << (ok ? "ok" : "rejected") << "\n"
            << "joiner: " << Joiner(defs.combination) << "\n";
  int index = 0;
  for (const AlertDefinition& record : defs.definitions) {
    std::cout << "condition " << ++index << ": name \"" << record.name
              << "\", detail \"" << record.detail << "\"\n";
    for (const DefinitionParam& param : record.params) {
      std::cout << "  " << param.key << " =";
      for (const std::string& value : param.values) {
        std::cout << " \"" << value << "\"";
      }
      std::cout << "\n";
    }
  }
  if (!ok) return 1;

  std::string back;
  SetFuncDefinition(back, defs);
  std::cout << "round trip: " << (back == text ? "identical" : "changed")
            << "\n";
  return back == text ? 0 : 1;
}
