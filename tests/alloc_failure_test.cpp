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
#include "support/records.h"
#include "vantrel/alert_definitions.h"

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
  }
  Check(g_live == baseline, "the test itself released everything", 0);
  Check(points > 50, "the calls allocate, so failures were injected", 0);
  std::printf("%zu failure points checked, %d failed checks\n", points,
              g_failures);
  return g_failures == 0 ? 0 : 1;
}
