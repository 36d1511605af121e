// Runs one parse or write of a benchmark text a given number of times, for
// instructions.sh:
//
//   vantrel_instructions parse|write|write_fresh|parse_floor|write_floor
//                        TEXT COUNT
//
// TEXT is worked (the worked example), typical (a rule of five typical
// conditions) or 64K. parse and write go through the shared library;
// parse_floor and write_floor are the floors of the benchmarks (floors.h).
// Each call goes through one of the functions below, which callgrind is told
// to count (--toggle-collect), so start-up, the preparation of the input and
// the destruction of parsed records are not counted. It prints the bytes
// that one call reads or writes. write writes into the same string each
// time, write_fresh into a new one.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "floors.h"
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

__attribute__((noinline)) std::size_t vantrel_bench_write_fresh_once(
    AlertDefinitions* source) {
  std::string text;
  SetFuncDefinition(text, *source);
  return text.size();
}

__attribute__((noinline)) bool vantrel_bench_parse_floor_once(
    const vantrel_bench::Tape* tape, AlertDefinitions* target) {
  return vantrel_bench::ParseFloor(*tape, *target);
}

__attribute__((noinline)) std::size_t vantrel_bench_write_floor_once(
    const AlertDefinitions* source) {
  const std::size_t size = vantrel_bench::TextSize(*source);
  const std::unique_ptr<char[]> text = vantrel_bench::WriteFloor(*source, size);
  return size + static_cast<unsigned char>(text[0]);
}

}  // extern "C"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr,
                 "usage: %s parse|write|write_fresh|parse_floor|write_floor "
                 "worked|typical|64K COUNT\n",
                 argv[0]);
    return 2;
  }
  const std::string op = argv[1];
  const std::string which = argv[2];
  const long count = std::strtol(argv[3], nullptr, 10);

  std::string text;
  if (which == "worked") {
    text = vantrel_bench::WorkedExample();
  } else if (which == "typical") {
    text = vantrel_bench::TypicalRule();
  } else if (which == "64K") {
    text = vantrel_bench::LargeText(64u << 10);
  } else {
    return 2;
  }
  AlertDefinitions source{};
  if (!GetFuncDefinition(text, source)) return 1;
  const vantrel_bench::Tape tape = vantrel_bench::MakeTape(source, true);
  std::string out;
  for (long i = 0; i < count; ++i) {
    if (op == "parse" || op == "parse_floor") {
      AlertDefinitions target{};
      const bool ok = op == "parse"
                          ? vantrel_bench_parse_once(&text, &target)
                          : vantrel_bench_parse_floor_once(&tape, &target);
      if (!ok || target.definitions.size() != source.definitions.size())
        return 1;
    } else if (op == "write") {
      vantrel_bench_write_once(&out, &source);
      if (out != text) return 1;
    } else if (op == "write_fresh") {
      if (vantrel_bench_write_fresh_once(&source) != text.size()) return 1;
    } else if (op == "write_floor") {
      if (vantrel_bench_write_floor_once(&source) < text.size()) return 1;
    } else {
      return 2;
    }
  }
  std::printf("%zu\n", text.size());
  return 0;
}
