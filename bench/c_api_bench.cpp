// The C interface (libvantrel_c) against the C++ functions (libvantrel), side
// by side in one run: a parse followed by reading back every field, and a
// write, on the worked example, the typical rule and 1 MB of typical
// conditions. The run ends with a table of each C time over its C++ time;
// the goal is at most 1.3.
//
// Parse: each iteration makes an empty definition, parses the text into
// it, reads the name, detail, keys and values of every condition (their
// bytes are summed, so that each field is reached) and destroys it again:
// an AlertDefinitions through GetFuncDefinition and list iteration, or a
// handle through vantrel_parse and the index accessors.
// Write: into a buffer kept from one iteration to the next: a std::string
// through SetFuncDefinition, the caller's buffer through vantrel_write; and
// into a new buffer each time through vantrel_write_alloc.

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "inputs.h"
#include "vantrel/alert_definitions.h"
#include "vantrel/vantrel.h"

namespace {

struct Case {
  const char* name;
  std::string text;
};

std::vector<Case>& Cases() {
  static std::vector<Case> cases = {
      {"worked_example", vantrel_bench::WorkedExample()},
      {"typical_rule", vantrel_bench::TypicalRule()},
      {"large/1M", vantrel_bench::LargeText(1u << 20)},
  };
  return cases;
}

// A sum over a field's bytes that the compiler cannot drop: its size and
// its first and last byte.
std::size_t Touch(const char* data, std::size_t size) {
  if (size == 0) return 0;
  return size + static_cast<unsigned char>(data[0]) +
         static_cast<unsigned char>(data[size - 1]);
}

std::size_t ReadCpp(const AlertDefinitions& defs) {
  std::size_t sum = defs.combination;
  for (const AlertDefinition& record : defs.definitions) {
    sum += Touch(record.name.data(), record.name.size());
    sum += Touch(record.detail.data(), record.detail.size());
    for (const DefinitionParam& param : record.params) {
      sum += Touch(param.key.data(), param.key.size());
      for (const std::string& value : param.values) {
        sum += Touch(value.data(), value.size());
      }
    }
  }
  return sum;
}

std::size_t ReadC(const vantrel_definitions* defs) {
  std::size_t sum = vantrel_combination(defs);
  const std::size_t conditions = vantrel_condition_count(defs);
  for (std::size_t c = 0; c < conditions; ++c) {
    vantrel_text name, detail;
    std::size_t params = 0;
    vantrel_condition(defs, c, &name, &detail, &params);
    sum += Touch(name.data, name.size) + Touch(detail.data, detail.size);
    for (std::size_t p = 0; p < params; ++p) {
      vantrel_text key;
      std::size_t values = 0;
      vantrel_param(defs, c, p, &key, &values);
      sum += Touch(key.data, key.size);
      for (std::size_t v = 0; v < values; ++v) {
        vantrel_text value;
        vantrel_value(defs, c, p, v, &value);
        sum += Touch(value.data, value.size);
      }
    }
  }
  return sum;
}

void Fail(const char* what, const Case& c) {
  std::fprintf(stderr, "%s on %s\n", what, c.name);
  std::exit(1);
}

// Before timing: both libraries read the same fields and write the same
// text.
void Check(const Case& c) {
  AlertDefinitions defs{};
  GetFuncDefinition(c.text, defs);
  vantrel_definitions* handle = nullptr;
  if (vantrel_new(0, &handle) != VANTREL_OK ||
      vantrel_parse(handle, VANTREL_FUNC, c.text.data(), c.text.size(),
                    nullptr) != VANTREL_OK) {
    Fail("vantrel_parse failed", c);
  }
  if (ReadC(handle) != ReadCpp(defs)) Fail("the fields differ", c);
  std::string text;
  SetFuncDefinition(text, defs);
  std::vector<char> buffer(text.size());
  std::size_t size = 0;
  if (vantrel_write(handle, VANTREL_FUNC, buffer.data(), buffer.size(),
                    &size) != VANTREL_OK ||
      std::string(buffer.data(), size) != text || text != c.text) {
    Fail("the texts differ", c);
  }
  vantrel_free(handle);
}

void ParseCpp(benchmark::State& state, const Case& c) {
  for (auto _ : state) {
    AlertDefinitions defs{};
    benchmark::DoNotOptimize(GetFuncDefinition(c.text, defs));
    benchmark::DoNotOptimize(ReadCpp(defs));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(c.text.size()));
}

void ParseC(benchmark::State& state, const Case& c) {
  for (auto _ : state) {
    vantrel_definitions* defs = nullptr;
    vantrel_new(0, &defs);
    benchmark::DoNotOptimize(vantrel_parse(defs, VANTREL_FUNC, c.text.data(),
                                           c.text.size(), nullptr));
    benchmark::DoNotOptimize(ReadC(defs));
    vantrel_free(defs);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(c.text.size()));
}

void WriteCpp(benchmark::State& state, const Case& c) {
  AlertDefinitions defs{};
  GetFuncDefinition(c.text, defs);
  std::string out;
  for (auto _ : state) {
    SetFuncDefinition(out, defs);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(c.text.size()));
}

void WriteC(benchmark::State& state, const Case& c) {
  vantrel_definitions* defs = nullptr;
  vantrel_new(0, &defs);
  vantrel_parse(defs, VANTREL_FUNC, c.text.data(), c.text.size(), nullptr);
  std::vector<char> buffer(c.text.size() + 1);
  for (auto _ : state) {
    std::size_t size = 0;
    benchmark::DoNotOptimize(
        vantrel_write(defs, VANTREL_FUNC, buffer.data(), buffer.size(), &size));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(c.text.size()));
  vantrel_free(defs);
}

void WriteAllocC(benchmark::State& state, const Case& c) {
  vantrel_definitions* defs = nullptr;
  vantrel_new(0, &defs);
  vantrel_parse(defs, VANTREL_FUNC, c.text.data(), c.text.size(), nullptr);
  for (auto _ : state) {
    char* text = nullptr;
    std::size_t size = 0;
    benchmark::DoNotOptimize(
        vantrel_write_alloc(defs, VANTREL_FUNC, &text, &size));
    vantrel_free_text(text);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(c.text.size()));
  vantrel_free(defs);
}

// The console output, and each benchmark's CPU time per iteration kept for
// the table of ratios (CPU time, which other work on a shared machine
// disturbs less than the elapsed time).
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double Time(const std::string& name) const {
    const auto it = times_.find(name);
    return it == times_.end() ? 0.0 : it->second;
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  const struct {
    const char* op;
    void (*cpp)(benchmark::State&, const Case&);
    const char* c_name;
    void (*c)(benchmark::State&, const Case&);
  } pairs[] = {{"parse_read", ParseCpp, "c", ParseC},
               {"write", WriteCpp, "c", WriteC},
               {"write", nullptr, "c_alloc", WriteAllocC}};
  for (const Case& c : Cases()) {
    Check(c);
    for (const auto& pair : pairs) {
      const std::string base = std::string(pair.op) + "/" + c.name + "/";
      if (pair.cpp != nullptr) {
        benchmark::RegisterBenchmark((base + "cpp").c_str(), pair.cpp, c);
      }
      benchmark::RegisterBenchmark((base + pair.c_name).c_str(), pair.c, c);
    }
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  std::printf("\nC interface time / C++ functions' time (goal <= 1.3)\n");
  for (const Case& c : Cases()) {
    for (const auto& pair : pairs) {
      const std::string base = std::string(pair.op) + "/" + c.name + "/";
      const double cpp = reporter.Time(base + "cpp");
      const double ours = reporter.Time(base + pair.c_name);
      if (cpp > 0 && ours > 0) {
        std::printf("  %-32s %5.2f\n", (base + pair.c_name).c_str(),
                    ours / cpp);
      }
    }
  }
  benchmark::Shutdown();
  return 0;
}
