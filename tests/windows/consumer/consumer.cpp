// A host that links Vantrel.dll through its import library and shares the
// records with it: the DLL fills them, the host changes them with its own
// allocations, and the DLL writes them back.

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
  // A name far longer than a string's in-place buffer, allocated here and
  // released by the DLL's write when it replaces `back`.
  defs.definitions.front().name.assign(100, 'n');
  std::string back(200, 'b');
  if (!SetFilterDefinition(back, defs) ||
      back != "--#--" + std::string(100, 'n') + text.substr(10)) {
    std::fprintf(stderr, "write gave %s\n", back.c_str());
    return 1;
  }
  std::printf("ok: %u records, sizeof(std::string) %u\n",
              static_cast<unsigned>(defs.definitions.size()),
              static_cast<unsigned>(sizeof(std::string)));
  return 0;
}
