// Parses and writes a definition through an installed Vantrel.

#include <vantrel/alert_definitions.h>

#include <cstdio>
#include <string>

int main() {
  const std::string text =
      "--#--Alpha--#----{--x--}----{--k1==a1--,--a2--}-- @@AND@@ "
      "--#--Beta--#----{--y--}----{--k2==b1--}--";
  AlertDefinitions defs = AlertDefinitions();
  if (!GetFuncDefinition(text, defs) || defs.definitions.size() != 2 ||
      defs.combination != 1) {
    std::fprintf(stderr, "parse failed\n");
    return 1;
  }
  std::string back;
  if (!SetFilterDefinition(back, defs) || back != text) {
    std::fprintf(stderr, "write gave %s\n", back.c_str());
    return 1;
  }
  std::puts("ok");
  return 0;
}
