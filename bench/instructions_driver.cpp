// Runs the typical-rule parse or write through the shared library a given
// number of times, for instructions.sh:
//
//   vantrel_instructions parse|write COUNT
//
// Each call goes through one of the two functions below, which callgrind is
// told to count (--toggle-collect), so start-up, the preparation of the
// input and the destruction of parsed records are not counted. It prints the
// bytes that one call reads or writes.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "inputs.h"
#include "vantrel/alert_definitions.h"

extern "C" {

__attribute__((noinline)) bool vantrel_bench_parse_once(
    const std::string* text, AlertDefinitions* target) {
  return GetFuncDefinition(*text, *target);
}

__attribute__((noinline)) bool vantrel_bench_write_once(
    std::string* text, AlertDefinitions* source) {
  return SetFuncDefinition(*text, *source);
}

}  // extern "C"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s parse|write COUNT\n", argv[0]);
    return 2;
  }
  const bool parse = std::strcmp(argv[1], "parse") == 0;
  if (!parse && std::strcmp(argv[1], "write") != 0) return 2;
  const long count = std::strtol(argv[2], nullptr, 10);

  const std::string text = vantrel_bench::TypicalRule();
  AlertDefinitions source{};
  if (!GetFuncDefinition(text, source)) return 1;
  std::string out;
  for (long i = 0; i < count; ++i) {
    if (parse) {
      AlertDefinitions target{};
      if (!vantrel_bench_parse_once(&text, &target)) return 1;
    } else {
      vantrel_bench_write_once(&out, &source);
      if (out != text) return 1;
    }
  }
  std::printf("%zu\n", text.size());
  return 0;
}
