// Compiled as C++11: a host of that age uses the C++ layer
// (vantrel/vantrel.hpp) on libvantrel_c, reads the worked example, writes
// it back and meets a rejection. Exits 0 when every check holds.

#include <cstdio>
#include <string>

#include "vantrel/vantrel.hpp"

namespace {

int failures = 0;

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "failed: %s\n", what);
    ++failures;
  }
}

}  // namespace

int main() {
  const std::string worked =
      "--#--Alpha--#----{--x--}----{--k1==a1--,--a2--}-- @@AND@@ "
      "--#--Beta--#----{--y--}----{--k2==b1--}--";
  AlertDefinitions defs = AlertDefinitions();
  Check(vantrel::ParseFunc(worked, defs), "the worked example is accepted");
  Check(defs.combination == 1 && defs.definitions.size() == 2,
        "two conditions joined by @@AND@@");
  Check(defs.definitions.front().name == "Alpha" &&
            defs.definitions.front().params.front().values.back() == "a2",
        "Alpha's second value is a2");
  std::string text;
  vantrel::WriteFunc(defs, text);
  Check(text == worked, "the text comes back");

  AlertDefinitions rejected = AlertDefinitions();
  Check(!vantrel::ParseFilter(
            worked + " @@AND@@ --#--d--#----{----}----{--k--}--", rejected),
        "a param item without == is rejected");
  Check(rejected.definitions.size() == 2, "the conditions before it stay");
  if (failures == 0)
    std::printf("C++11 host of the C++ layer: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
