// Parses and writes a definition through an installed Vantrel's C interface
// (libvantrel_c), by its header-only C++ layer.

#include <cstdio>
#include <string>
#include <vantrel/vantrel.hpp>

int main() {
  const std::string text =
      "--#--Alpha--#----{--x--}----{--k1==a1--,--a2--}-- @@AND@@ "
      "--#--Beta--#----{--y--}----{--k2==b1--}--";
  AlertDefinitions defs = AlertDefinitions();
  if (!vantrel::ParseFunc(text, defs) || defs.definitions.size() != 2 ||
      defs.combination != 1) {
    std::fprintf(stderr, "parse through the C interface failed\n");
    return 1;
  }
  std::string back;
  vantrel::WriteFilter(defs, back);
  if (back != text) {
    std::fprintf(stderr, "write through the C interface gave %s\n",
                 back.c_str());
    return 1;
  }
  std::puts("ok");
  return 0;
}
