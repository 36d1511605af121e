// Allocation-failure injection through the shared library.
//
// This executable replaces every form of the global operator new and
// operator delete. The shared library's own allocations (its std::string
// and std::list work, inline or in libstdc++) bind to these replacements at
// load, as a host's would, so the test sees every allocation a call makes.
//
// For N = 1, 2, ... the N-th allocation of one call throws std::bad_alloc,
// until a call gets through without reaching its N-th allocation. For every
// N it checks that the exception reaches the caller, that no allocation is
// left behind once the caller's objects are gone, and what the caller's
// objects hold:
//   - a parse keeps exactly the records it completed before the failure, a
//     prefix of the full result, and the combination that the joiner search
//     set (before any allocation);
//   - a write leaves the host's string and the source as they were.
// The C interface (libvantrel_c) is held to its own contract the same way:
// a call whose allocation fails returns VANTREL_OUT_OF_MEMORY with nothing
// left behind and the handle as it was, and a write into the caller's
// buffer allocates nothing at all.
// It is a plain program rather than a GoogleTest suite so that nothing but
// the call under test allocates while a failure is armed.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <new>
#include <string>

#include "reference/literal_codec.h"
#include "support/c_records.h"
#include "support/records.h"
#include "vantrel/alert_definitions.h"
#include "vantrel/vantrel.h"

namespace {

std::size_t g_live = 0;     // allocations not yet released
std::size_t g_seen = 0;     // allocations since the failure was armed
std::size_t g_fail_at = 0;  // which one fails; 0 = none
bool g_armed = false;

void* Allocate(std::size_t size, std::size_t alignment) {
  if (g_armed && ++g_seen == g_fail_at) throw std::bad_alloc();
  if (size == 0) size = 1;
  void* p = nullptr;
  if (alignment > alignof(std::max_align_t)) {
    const std::size_t rounded = (size + alignment - 1) / alignment * alignment;
    p = std::aligned_alloc(alignment, rounded);
  } else {
    p = std::malloc(size);
  }
  if (p == nullptr) throw std::bad_alloc();
  ++g_live;
  return p;
}

void* AllocateNoThrow(std::size_t size, std::size_t alignment) noexcept {
  try {
    return Allocate(size, alignment);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void Release(void* p) noexcept {
  if (p == nullptr) return;
  --g_live;
  std::free(p);
}

int g_failures = 0;

void Check(bool condition, const char* what, std::size_t n) {
  if (!condition) {
    std::fprintf(stderr, "FAILED (allocation %zu fails): %s\n", n, what);
    ++g_failures;
  }
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size, 0); }
void* operator new[](std::size_t size) { return Allocate(size, 0); }
void* operator new(std::size_t size, std::align_val_t al) {
  return Allocate(size, static_cast<std::size_t>(al));
}
void* operator new[](std::size_t size, std::align_val_t al) {
  return Allocate(size, static_cast<std::size_t>(al));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return AllocateNoThrow(size, 0);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return AllocateNoThrow(size, 0);
}
void* operator new(std::size_t size, std::align_val_t al,
                   const std::nothrow_t&) noexcept {
  return AllocateNoThrow(size, static_cast<std::size_t>(al));
}
void* operator new[](std::size_t size, std::align_val_t al,
                     const std::nothrow_t&) noexcept {
  return AllocateNoThrow(size, static_cast<std::size_t>(al));
}
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
void operator delete(void* p, std::align_val_t) noexcept { Release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { Release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
  Release(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
  Release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete(void* p, std::align_val_t,
                     const std::nothrow_t&) noexcept {
  Release(p);
}
void operator delete[](void* p, std::align_val_t,
                       const std::nothrow_t&) noexcept {
  Release(p);
}

namespace {

void Arm(std::size_t n) {
  g_seen = 0;
  g_fail_at = n;
  g_armed = true;
}
void Disarm() { g_armed = false; }

// Three conditions with several params and values each, long enough that
// no field fits a short-string buffer; `rejected` makes the last one fail
// the read.
std::string DefinitionText(const char* joiner, bool rejected) {
  const std::string long_value(40, 'v');
  std::string text;
  for (int i = 0; i < 3; ++i) {
    if (i > 0) text += joiner;
    text += "--#--condition number " + std::to_string(i) +
            " with a long name--#----{--a detail that is long enough--}--";
    text += "--{--first key of this condition==" + long_value + "--,--" +
            long_value + "--,----;--second key==" + long_value +
            "--;--third key==x";
    if (rejected && i == 2) text += "--;--no key separator here";
    text += "--}--";
  }
  return text;
}

AlertDefinitions HeldRecords(std::uint32_t combination) {
  AlertDefinitions defs{};
  defs.combination = combination;
  defs.definitions.push_back(vantrel_test::Record(
      "a record the host held before the parse", "its detail",
      {vantrel_test::Param("its key", {"one value", "another value"})}));
  return defs;
}

bool IsPrefix(const AlertDefinitions& full, const AlertDefinitions& part) {
  if (part.definitions.size() > full.definitions.size()) return false;
  auto f = full.definitions.begin();
  for (const AlertDefinition& record : part.definitions) {
    if (!(record == *f)) return false;
    ++f;
  }
  return true;
}

using Parse = bool (*)(const std::string&, AlertDefinitions&);
using Write = bool (*)(std::string&, AlertDefinitions&);

// Returns the number of failure points checked.
std::size_t CheckParse(const char* name, Parse parse, const std::string& text,
                       std::uint32_t want_combination) {
  AlertDefinitions full = HeldRecords(7);
  const bool full_ok = vantrel_reference::literal::ParseDefinition(text, full);
  const std::size_t baseline = g_live;

  for (std::size_t n = 1;; ++n) {
    bool threw = false, ok = false;
    {
      AlertDefinitions target = HeldRecords(7);
      Arm(n);
      try {
        ok = parse(text, target);
      } catch (const std::bad_alloc&) {
        threw = true;
      }
      Disarm();
      Check(target.combination == want_combination,
            "the combination is the joiner's", n);
      if (threw) {
        // The held record stays; a parse that ends in true would have
        // appended at least one more record than the failure left.
        Check(IsPrefix(full, target) && target.definitions.size() >= 1 &&
                  (!full_ok ||
                   target.definitions.size() < full.definitions.size()),
              "a failed parse keeps a prefix of the full result", n);
      } else {
        Check(g_seen < n, "the call returned although an allocation failed", n);
        Check(ok == full_ok && target.definitions == full.definitions,
              "the completed parse gives the full result", n);
      }
    }
    Check(g_live == baseline, "no allocation is left behind", n);
    if (!threw) {
      std::printf("%s: %zu failure points, %zu records at the end\n", name,
                  n - 1, full.definitions.size());
      return n - 1;
    }
    if (n > 100000) {
      Check(false, "the call never completes", n);
      return n;
    }
  }
}

std::size_t CheckWrite(const char* name, Write write,
                       const std::string& source_text) {
  AlertDefinitions source{};
  vantrel_reference::literal::ParseDefinition(source_text, source);
  const AlertDefinitions original = source;
  std::string expected;
  vantrel_reference::literal::WriteDefinition(expected, source);
  const std::string previous =
      "the host's previous definition text, longer than any short-string "
      "buffer";
  const std::size_t baseline = g_live;

  for (std::size_t n = 1;; ++n) {
    bool threw = false, ok = false;
    {
      std::string text = previous;
      Arm(n);
      try {
        ok = write(text, source);
      } catch (const std::bad_alloc&) {
        threw = true;
      }
      Disarm();
      Check(source.combination == original.combination &&
                source.definitions == original.definitions,
            "the source is unchanged", n);
      if (threw) {
        Check(text == previous, "a failed write leaves the host's string", n);
      } else {
        Check(g_seen < n, "the call returned although an allocation failed", n);
        Check(ok && text == expected, "the completed write gives the text", n);
      }
    }
    Check(g_live == baseline, "no allocation is left behind", n);
    if (!threw) {
      std::printf("%s: %zu failure points\n", name, n - 1);
      return n - 1;
    }
    if (n > 100000) {
      Check(false, "the call never completes", n);
      return n;
    }
  }
}

// --- The C interface -----------------------------------------------------

// Runs `attempt` (a C call, returning its status) with the N-th allocation
// failing for N = 1, 2, ... until it gets through; `check(status, n)` looks
// at the outcome, with the failure disarmed. Returns the failure points.
template <typename Attempt, typename Look>
std::size_t CheckC(const char* name, Attempt attempt, Look check) {
  const std::size_t baseline = g_live;
  for (std::size_t n = 1;; ++n) {
    Arm(n);
    const vantrel_status status = attempt();
    Disarm();
    const bool failed = g_seen >= n;
    Check(failed == (status == VANTREL_OUT_OF_MEMORY),
          "VANTREL_OUT_OF_MEMORY exactly when an allocation failed", n);
    check(status, n);
    // (A call that got through may keep what it appended in the handle.)
    if (failed) Check(g_live == baseline, "no allocation is left behind", n);
    if (!failed) {
      std::printf("%s: %zu failure points\n", name, n - 1);
      return n - 1;
    }
    if (n > 100000) {
      Check(false, "the call never completes", n);
      return n;
    }
  }
}

bool HandleHolds(const vantrel_definitions* defs,
                 const AlertDefinitions& expected) {
  const AlertDefinitions records = vantrel_test::RecordsOf(defs);
  return records.combination == expected.combination &&
         records.definitions == expected.definitions;
}

std::size_t CheckCParse(const char* name, vantrel_kind kind,
                        const std::string& text) {
  const AlertDefinitions held = HeldRecords(7);
  AlertDefinitions full = held;
  const bool full_ok = vantrel_reference::literal::ParseDefinition(text, full);
  const vantrel_test::CHandle defs = vantrel_test::HandleOf(held);
  const vantrel_status want = full_ok ? VANTREL_OK : VANTREL_REJECTED;
  const std::size_t points = CheckC(
      name,
      [&] {
        return vantrel_parse(defs.get(), kind, text.data(), text.size(),
                             nullptr);
      },
      [&](vantrel_status status, std::size_t n) {
        if (status == VANTREL_OUT_OF_MEMORY) {
          Check(HandleHolds(defs.get(), held),
                "a failed parse leaves the handle as it was", n);
        } else {
          Check(status == want && HandleHolds(defs.get(), full),
                "the completed parse gives the full result", n);
        }
      });
  return points;
}

// Every way of writing and judging a handle: into a buffer the library
// allocates, and the verdicts. Writing into the caller's buffer allocates
// nothing.
std::size_t CheckCWrite(const std::string& source_text) {
  AlertDefinitions source{};
  vantrel_reference::literal::ParseDefinition(source_text, source);
  std::string expected;
  vantrel_reference::literal::WriteDefinition(expected, source);
  const vantrel_test::CHandle defs = vantrel_test::HandleOf(source);
  std::size_t points = 0;

  char* text = nullptr;
  std::size_t size = 0;
  points += CheckC(
      "vantrel_write_alloc",
      [&] {
        return vantrel_write_alloc(defs.get(), VANTREL_FUNC, &text, &size);
      },
      [&](vantrel_status status, std::size_t n) {
        if (status == VANTREL_OUT_OF_MEMORY) {
          Check(text == nullptr, "a failed write gives no text", n);
        } else {
          Check(status == VANTREL_OK && std::string(text, size) == expected,
                "the completed write gives the text", n);
        }
        vantrel_free_text(text);
        text = nullptr;
        Check(HandleHolds(defs.get(), source), "the source is unchanged", n);
      });

  std::string buffer(expected.size(), '\0');
  Arm(1);
  const vantrel_status wrote = vantrel_write(defs.get(), VANTREL_FILTER,
                                             &buffer[0], buffer.size(), &size);
  Disarm();
  Check(wrote == VANTREL_OK && g_seen == 0 && buffer == expected,
        "a write into the caller's buffer allocates nothing", 1);

  int survives = -1;
  points += CheckC(
      "vantrel_records_survive",
      [&] {
        return vantrel_records_survive(defs.get(), VANTREL_FUNC, &survives);
      },
      [&](vantrel_status status, std::size_t n) {
        Check(status == VANTREL_OUT_OF_MEMORY || survives == 1,
              "the records survive", n);
      });
  points += CheckC(
      "vantrel_text_survives",
      [&] {
        return vantrel_text_survives(VANTREL_FUNC, expected.data(),
                                     expected.size(), &survives);
      },
      [&](vantrel_status status, std::size_t n) {
        Check(status == VANTREL_OUT_OF_MEMORY || survives == 1,
              "the text survives", n);
      });
  return points;
}

// Creating a handle and appending to it.
std::size_t CheckCBuild() {
  std::size_t points = 0;
  vantrel_definitions* created = nullptr;
  points += CheckC(
      "vantrel_new", [&] { return vantrel_new(3, &created); },
      [&](vantrel_status status, std::size_t n) {
        Check((status == VANTREL_OUT_OF_MEMORY) == (created == nullptr),
              "a handle exactly when the call succeeded", n);
        vantrel_free(created);
        created = nullptr;
      });

  const AlertDefinitions held = HeldRecords(1);
  const std::string field(60, 'f');
  const struct {
    const char* name;
    vantrel_status (*append)(vantrel_definitions*, const std::string&);
  } appends[] = {
      {"vantrel_add_condition",
       [](vantrel_definitions* d, const std::string& f) {
         return vantrel_add_condition(d, f.data(), f.size(), f.data(),
                                      f.size());
       }},
      {"vantrel_add_param",
       [](vantrel_definitions* d, const std::string& f) {
         return vantrel_add_param(d, f.data(), f.size());
       }},
      {"vantrel_add_value",
       [](vantrel_definitions* d, const std::string& f) {
         return vantrel_add_value(d, f.data(), f.size());
       }},
  };
  for (const auto& append : appends) {
    const vantrel_test::CHandle defs = vantrel_test::HandleOf(held);
    AlertDefinitions before = held;
    points += CheckC(
        append.name, [&] { return append.append(defs.get(), field); },
        [&](vantrel_status status, std::size_t n) {
          if (status == VANTREL_OUT_OF_MEMORY) {
            Check(HandleHolds(defs.get(), before),
                  "a failed append leaves the handle as it was", n);
          } else {
            Check(status == VANTREL_OK &&
                      vantrel_test::RecordsOf(defs.get()).definitions !=
                          before.definitions,
                  "the completed append changes the handle", n);
          }
        });
  }
  return points;
}

}  // namespace

int main() {
  const std::size_t baseline = g_live;
  std::size_t points = 0;
  {
    const std::string and_text = DefinitionText(" @@AND@@ ", false);
    const std::string or_rejected = DefinitionText(" @@OR@@ ", true);
    const std::string no_joiner = DefinitionText("", false).substr(0, 200);
    points += CheckParse("GetFuncDefinition, and-joined", GetFuncDefinition,
                         and_text, 1);
    points += CheckParse("GetFilterDefinition, or-joined, last rejected",
                         GetFilterDefinition, or_rejected, 0);
    points += CheckParse("GetFuncDefinition, one condition", GetFuncDefinition,
                         no_joiner, 7);
    points += CheckWrite("SetFuncDefinition, and-joined", SetFuncDefinition,
                         and_text);
    points += CheckWrite("SetFilterDefinition, or-joined", SetFilterDefinition,
                         DefinitionText(" @@OR@@ ", false));

    points += CheckCParse("vantrel_parse, and-joined", VANTREL_FUNC, and_text);
    points += CheckCParse("vantrel_parse, or-joined, last rejected",
                          VANTREL_FILTER, or_rejected);
    points +=
        CheckCParse("vantrel_parse, one condition", VANTREL_FUNC, no_joiner);
    // More conditions, params and values than a handle indexes in place:
    // the index moves to the heap.
    const std::string many = and_text + " @@AND@@ " + and_text + " @@AND@@ " +
                             and_text + " @@AND@@ " + and_text;
    points +=
        CheckCParse("vantrel_parse, twelve conditions", VANTREL_FUNC, many);
    points += CheckCWrite(and_text);
    points += CheckCBuild();
  }
  Check(g_live == baseline, "the test itself released everything", 0);
  Check(points > 50, "the calls allocate, so failures were injected", 0);
  std::printf("%zu failure points checked, %d failed checks\n", points,
              g_failures);
  return g_failures == 0 ? 0 : 1;
}
