// Benchmarks of the definition codec.
//
// For every input the same records are built or written several ways:
//   ours       the shared library, through its exported functions, as a host
//              calls it; a write goes into the same string each time, whose
//              buffer the library reuses once it is big enough
//   ours_fresh write only: the library writing into a new string each time
//   floor      parse: the same records built straight from field texts cut
//              out beforehand, with the same list nodes and strings and no
//              scanning; write: one walk over the records for the size of
//              the text, one buffer of that size, and every output byte
//              copied into it once
//   floor_presized  write only: the floor given the size beforehand
//   literal    the literal model of the codec (reference/)
//
// Every case reports bytes/s and items/s (items = list nodes of the
// records: conditions, parameters and values).
//
// The timing executable (vantrel_bench) uses the plain allocator. The same
// source built with VANTREL_BENCH_COUNT_ALLOCATIONS (vantrel_bench_allocs)
// replaces operator new with a counting one and reports `allocs`, the
// operator new calls per parse or write; its times are not used, since the
// counting adds a cost to every allocation, which the floors, being mostly
// allocations, feel most.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "floors.h"
#include "inputs.h"
#include "reference/literal_codec.h"
#include "vantrel/alert_definitions.h"

// ---------------------------------------------------------------------------
// Counting allocator (vantrel_bench_allocs only)
// ---------------------------------------------------------------------------

#ifdef VANTREL_BENCH_COUNT_ALLOCATIONS
namespace {
constexpr bool kCountAllocations = true;
thread_local std::size_t g_allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
  ++g_allocations;
  if (size == 0) size = 1;
  if (void* p = std::malloc(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  ++g_allocations;
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& t) noexcept {
  return ::operator new(size, t);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
#else
namespace {
constexpr bool kCountAllocations = false;
constexpr std::size_t g_allocations = 0;
}  // namespace
#endif

namespace {

using vantrel_bench::MakeTape;
using vantrel_bench::ParseFloor;
using vantrel_bench::Tape;
using vantrel_bench::TextSize;
using vantrel_bench::WriteFloor;

// ---------------------------------------------------------------------------
// Cases
// ---------------------------------------------------------------------------

struct Case {
  std::string name;
  std::string text;
  bool literal;  // whether the literal model runs on it in reasonable time
  AlertDefinitions parsed{};
  std::string written;  // the text that writing `parsed` gives
  Tape tape;
  std::size_t items = 0;
};

std::size_t CountItems(const AlertDefinitions& defs) {
  std::size_t items = 0;
  for (const AlertDefinition& record : defs.definitions) {
    ++items;
    for (const DefinitionParam& param : record.params) {
      items += 1 + param.values.size();
    }
  }
  return items;
}

// Checks once, before timing, that every implementation agrees on the case.
void Prepare(Case& c) {
  GetFuncDefinition(c.text, c.parsed);
  SetFuncDefinition(c.written, c.parsed);
  c.items = CountItems(c.parsed);
  c.tape = MakeTape(c.parsed, c.text.find("@@OR@@") != std::string::npos ||
                                  c.text.find("@@AND@@") != std::string::npos);
  AlertDefinitions floor{};
  ParseFloor(c.tape, floor);
  if (TextSize(c.parsed) != c.written.size()) {
    std::fprintf(stderr, "text size wrong on %s\n", c.name.c_str());
    std::exit(1);
  }
  const std::unique_ptr<char[]> floor_text =
      WriteFloor(c.parsed, c.written.size());
  bool same = std::string_view(floor_text.get(), c.written.size()) == c.written;
  std::string a;
  SetFuncDefinition(a, floor);
  same = same && a == c.written;
  if (c.literal) {
    AlertDefinitions model{};
    vantrel_reference::literal::ParseDefinition(c.text, model);
    std::string model_text;
    vantrel_reference::literal::WriteDefinition(model_text, c.parsed);
    std::string m;
    SetFuncDefinition(m, model);
    same = same && model_text == c.written && m == c.written;
  }
  if (!same) {
    std::fprintf(stderr, "implementations disagree on %s\n", c.name.c_str());
    std::exit(1);
  }
}

// Parse targets are kept until a batch is full and then destroyed with the
// clock stopped, so that neither destruction nor the pause is timed per call.
class Targets {
 public:
  explicit Targets(std::size_t text_bytes)
      : targets_(std::max<std::size_t>(1, (128u << 10) / (text_bytes + 1))) {
    if (targets_.size() > 1024) targets_.resize(1024);
  }
  AlertDefinitions& Next(benchmark::State& state) {
    if (next_ == targets_.size()) {
      state.PauseTiming();
      for (AlertDefinitions& t : targets_) t.definitions.clear();
      state.ResumeTiming();
      next_ = 0;
    }
    return targets_[next_++];
  }

 private:
  std::vector<AlertDefinitions> targets_;
  std::size_t next_ = 0;
};

void Report(benchmark::State& state, const Case& c, std::size_t bytes,
            std::size_t allocations) {
  const auto n = static_cast<std::int64_t>(state.iterations());
  state.SetBytesProcessed(n * static_cast<std::int64_t>(bytes));
  state.SetItemsProcessed(n * static_cast<std::int64_t>(c.items));
  state.counters["bytes"] = static_cast<double>(bytes);
  if (kCountAllocations) {
    state.counters["allocs"] = benchmark::Counter(
        static_cast<double>(allocations) / static_cast<double>(n));
  }
}

template <typename ParseFn>
void RunParse(benchmark::State& state, const Case& c, ParseFn parse) {
  Targets targets(c.text.size());
  std::size_t allocations = 0;
  for (auto _ : state) {
    AlertDefinitions& target = targets.Next(state);
    const std::size_t before = g_allocations;
    benchmark::DoNotOptimize(parse(target));
    allocations += g_allocations - before;
    benchmark::ClobberMemory();
  }
  Report(state, c, c.text.size(), allocations);
}

template <typename WriteFn>
void RunWrite(benchmark::State& state, const Case& c, WriteFn write) {
  std::size_t allocations = 0;
  for (auto _ : state) {
    const std::size_t before = g_allocations;
    write();
    allocations += g_allocations - before;
    benchmark::ClobberMemory();
  }
  Report(state, c, c.written.size(), allocations);
}

void Register(Case& c) {
  const std::string& n = c.name;
  benchmark::RegisterBenchmark(("parse/" + n + "/ours").c_str(),
                               [&c](benchmark::State& s) {
                                 RunParse(s, c, [&](AlertDefinitions& t) {
                                   return GetFuncDefinition(c.text, t);
                                 });
                               });
  benchmark::RegisterBenchmark(
      ("parse/" + n + "/floor").c_str(), [&c](benchmark::State& s) {
        RunParse(s, c,
                 [&](AlertDefinitions& t) { return ParseFloor(c.tape, t); });
      });
  if (c.literal) {
    benchmark::RegisterBenchmark(
        ("parse/" + n + "/literal").c_str(), [&c](benchmark::State& s) {
          RunParse(s, c, [&](AlertDefinitions& t) {
            return vantrel_reference::literal::ParseDefinition(c.text, t);
          });
        });
  }
  benchmark::RegisterBenchmark(
      ("write/" + n + "/ours").c_str(), [&c](benchmark::State& s) {
        std::string out;
        RunWrite(s, c, [&] { SetFuncDefinition(out, c.parsed); });
      });
  // A host that writes into a new string each time: the text cannot reuse
  // the buffer of the one before.
  benchmark::RegisterBenchmark(("write/" + n + "/ours_fresh").c_str(),
                               [&c](benchmark::State& s) {
                                 RunWrite(s, c, [&] {
                                   std::string out;
                                   SetFuncDefinition(out, c.parsed);
                                   benchmark::DoNotOptimize(out.data());
                                 });
                               });
  benchmark::RegisterBenchmark(
      ("write/" + n + "/floor").c_str(), [&c](benchmark::State& s) {
        std::unique_ptr<char[]> out;
        RunWrite(s, c, [&] {
          out = WriteFloor(c.parsed, TextSize(c.parsed));
          benchmark::DoNotOptimize(out.get());
        });
      });
  benchmark::RegisterBenchmark(("write/" + n + "/floor_presized").c_str(),
                               [&c](benchmark::State& s) {
                                 std::unique_ptr<char[]> out;
                                 RunWrite(s, c, [&] {
                                   out = WriteFloor(c.parsed, c.written.size());
                                   benchmark::DoNotOptimize(out.get());
                                 });
                               });
  if (c.literal) {
    benchmark::RegisterBenchmark(
        ("write/" + n + "/literal").c_str(), [&c](benchmark::State& s) {
          std::string out;
          RunWrite(s, c, [&] {
            vantrel_reference::literal::WriteDefinition(out, c.parsed);
          });
        });
  }
}

std::vector<std::unique_ptr<Case>>& Cases() {
  static std::vector<std::unique_ptr<Case>> cases;
  return cases;
}

Case& Add(std::string name, std::string text, bool literal) {
  Cases().push_back(std::make_unique<Case>());
  Case& c = *Cases().back();
  c.name = std::move(name);
  c.text = std::move(text);
  c.literal = literal;
  return c;
}

void AddAll() {
  namespace in = vantrel_bench;
  Add("worked_example", in::WorkedExample(), true);
  Add("typical_rule", in::TypicalRule(), true);
  Add("large/64K", in::LargeText(64u << 10), true);
  Add("large/1M", in::LargeText(1u << 20), true);
  Add("large/16M", in::LargeText(16u << 20), true);
  // The literal model rescans to the end of the text for every item: with
  // 100,000 items that is hours, so it is left out there.
  Add("params_100000", in::ManyParams(100000), false);
  Add("values_100000", in::ManyValues(100000), true);
  struct Family {
    const char* name;
    std::string (*make)(std::size_t);
  };
  const Family families[] = {{"comma_free", in::CommaFreeItems},
                             {"many_eq", in::ManyKeySeparators},
                             {"dash_runs", in::DashRuns},
                             {"only_marks", in::OnlyMarks},
                             {"only_joiners", in::OnlyJoiners}};
  for (const Family& f : families) {
    for (const char* size : {"8K", "32K", "128K"}) {
      const std::size_t bytes = std::strtoul(size, nullptr, 10) << 10;
      Add(std::string(f.name) + "/" + size, f.make(bytes), true);
    }
  }
}

// ---------------------------------------------------------------------------
// One thread and two threads
// ---------------------------------------------------------------------------

// Each thread parses the same text into targets of its own; the figure is
// the throughput of two threads over that of one, for ours, the floor and
// the literal model on the same text.
const Case& CaseNamed(const std::string& name) {
  for (const auto& c : Cases()) {
    if (c->name == name) return *c;
  }
  std::fprintf(stderr, "no case %s\n", name.c_str());
  std::exit(1);
}

void RegisterThreads(const std::string& name) {
  const Case& c = CaseNamed(name);
  const auto two = [](benchmark::internal::Benchmark* b) {
    b->Threads(1)->Threads(2)->UseRealTime();
  };
  two(benchmark::RegisterBenchmark(("threads/" + name + "/ours").c_str(),
                                   [&c](benchmark::State& s) {
                                     RunParse(s, c, [&](AlertDefinitions& t) {
                                       return GetFuncDefinition(c.text, t);
                                     });
                                   }));
  two(benchmark::RegisterBenchmark(
      ("threads/" + name + "/floor").c_str(), [&c](benchmark::State& s) {
        RunParse(s, c,
                 [&](AlertDefinitions& t) { return ParseFloor(c.tape, t); });
      }));
  two(benchmark::RegisterBenchmark(
      ("threads/" + name + "/literal").c_str(), [&c](benchmark::State& s) {
        RunParse(s, c, [&](AlertDefinitions& t) {
          return vantrel_reference::literal::ParseDefinition(c.text, t);
        });
      }));
}

// Controls for the two-thread figures: work with one kind of cost each and
// nothing shared between the threads but the read-only text.
//   scan   a scalar byte loop over the 64 KB text: instructions only, all in
//          the first-level cache, no allocation
//   chase  a pointer chase through a shuffled ring of 64 K indices (256 KB):
//          memory latency only, no allocation
//   alloc  allocating and freeing 64-byte blocks in batches of 1000: the
//          allocator only
void ControlScan(benchmark::State& state) {
  const std::string& text = CaseNamed("large/64K").text;
  for (auto _ : state) {
    unsigned dashes = 0;
    // The term (dashes >> 31), always 0 here, makes each step depend on the
    // last, which keeps the compiler from vectorising the loop.
    for (const char ch : text) {
      dashes += static_cast<unsigned>(ch == '-') + (dashes >> 31);
    }
    benchmark::DoNotOptimize(dashes);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}

void ControlChase(benchmark::State& state) {
  const std::uint32_t n = 1u << 16;
  std::vector<std::uint32_t> order(n), next(n);
  for (std::uint32_t i = 0; i < n; ++i) order[i] = i;
  std::uint32_t seed = 12345;
  for (std::uint32_t i = n - 1; i > 0; --i) {
    seed = seed * 1103515245u + 12345u;
    std::swap(order[i], order[(seed >> 8) % (i + 1)]);
  }
  for (std::uint32_t i = 0; i < n; ++i) next[order[i]] = order[(i + 1) % n];
  std::uint32_t at = 0;
  for (auto _ : state) {
    for (std::uint32_t i = 0; i < 4096; ++i) at = next[at];
    benchmark::DoNotOptimize(at);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 4096);
}

void ControlAlloc(benchmark::State& state) {
  std::vector<void*> blocks(1000);
  for (auto _ : state) {
    for (void*& b : blocks) {
      b = std::malloc(64);
      benchmark::DoNotOptimize(b);
    }
    for (void* b : blocks) std::free(b);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 1000);
}

void RegisterControls() {
  for (auto [name, fn] : {std::pair{"threads/control/scan", ControlScan},
                          std::pair{"threads/control/chase", ControlChase},
                          std::pair{"threads/control/alloc", ControlAlloc}}) {
    benchmark::RegisterBenchmark(name, fn)
        ->Threads(1)
        ->Threads(2)
        ->UseRealTime();
  }
}

}  // namespace

int main(int argc, char** argv) {
  // A warm heap, as in a long-running host: freed memory is kept rather than
  // returned to the system, and large blocks come from the heap rather than
  // from fresh mappings, so that no case is timed on page faults.
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TOP_PAD, 64 << 20);
  AddAll();
  for (auto& c : Cases()) {
    Prepare(*c);
    Register(*c);
  }
  RegisterThreads("large/64K");
  RegisterThreads("typical_rule");
  RegisterControls();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // The benchmarks run on a thread of their own, whose heap is a fresh glibc
  // arena. On the main thread they would allocate from the main arena,
  // which the preparation of the cases above (texts of up to 16 MB, their
  // records, the tapes) has filled and cut up: there every allocation costs
  // more, which flatters every ratio to a floor (the floors are mostly
  // allocations), and the two-thread runs would compare a one-thread run on
  // that heap with a second thread on a fresh one. VANTREL_BENCH_ON_MAIN=1
  // runs them on the main thread, as a control.
  const char* on_main = std::getenv("VANTREL_BENCH_ON_MAIN");
  if (on_main != nullptr && std::strcmp(on_main, "1") == 0) {
    benchmark::RunSpecifiedBenchmarks();
  } else {
    std::thread([] { benchmark::RunSpecifiedBenchmarks(); }).join();
  }
  benchmark::Shutdown();
  return 0;
}
