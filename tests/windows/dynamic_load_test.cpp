// Vantrel.dll as a host that loads it at run time sees it: LoadLibrary,
// GetProcAddress by the exported names, calls from several threads, and
// FreeLibrary. This program does not link the DLL's import library; it only
// shares the public header's record types with the DLL.

#include <gtest/gtest.h>
#include <malloc.h>
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/records.h"
#include "support/sample_texts.h"
#include "vantrel/alert_definitions.h"

// What the order probe DLL reports (see order_probe.cpp): each operator
// new and delete it runs, and its DllMain's attach and detach, in order.
// The texts that the probe's allocations hold are read when the attach
// arrives: the constants are alive then, and only then is it known which
// allocations are theirs.
namespace order_log {
enum Kind { kNew = 1, kDelete = 2, kAttach = 3, kDetach = 4 };
struct Event {
  int kind;
  const void* pointer;
  std::size_t size;
};
constexpr std::size_t kCapacity = 8192;
Event events[kCapacity];
std::size_t count = 0;
bool overflowed = false;
std::map<const void*, std::string> texts_at_attach;

void Reset() {
  count = 0;
  overflowed = false;
  texts_at_attach.clear();
}
}  // namespace order_log

extern "C" __declspec(dllexport) void vantrel_order_event(int kind,
                                                          const void* pointer,
                                                          std::size_t size) {
  using namespace order_log;
  if (kind == kAttach) {
    // Blocks allocated and not yet released: read each as a
    // NUL-terminated text, within its size.
    std::map<const void*, std::size_t> live;
    for (std::size_t i = 0; i < count; ++i) {
      if (events[i].kind == kNew) live[events[i].pointer] = events[i].size;
      if (events[i].kind == kDelete) live.erase(events[i].pointer);
    }
    for (const auto& block : live) {
      const char* text = static_cast<const char*>(block.first);
      texts_at_attach[block.first] =
          std::string(text, strnlen(text, block.second));
    }
  }
  if (count == kCapacity) {
    overflowed = true;
    return;
  }
  events[count++] = Event{kind, pointer, size};
}

namespace {

using vantrel_test::Definitions;
using vantrel_test::Param;
using vantrel_test::Record;

using Parse = bool (*)(const std::string&, AlertDefinitions&);
using Write = bool (*)(std::string&, AlertDefinitions&);

// The DLL exports C++ functions, so the names a host binds to are the
// compiler's mangled names of the four declarations. They depend on the
// compiler (and, with libstdc++, on the string ABI): a host built with one
// compiler cannot bind to a DLL built with another anyway (see the ABI
// notes of the public header).
#if defined(__GNUC__) && defined(_GLIBCXX_USE_CXX11_ABI) && \
    _GLIBCXX_USE_CXX11_ABI
#define VANTREL_TEST_STRING \
  "NSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE"
const char kGetFunc[] =
    "_Z17GetFuncDefinitionRK" VANTREL_TEST_STRING "R16AlertDefinitions";
const char kGetFilter[] =
    "_Z19GetFilterDefinitionRK" VANTREL_TEST_STRING "R16AlertDefinitions";
const char kSetFunc[] =
    "_Z17SetFuncDefinitionR" VANTREL_TEST_STRING "R16AlertDefinitions";
const char kSetFilter[] =
    "_Z19SetFilterDefinitionR" VANTREL_TEST_STRING "R16AlertDefinitions";
#elif defined(_MSC_VER) && defined(_WIN64)
#define VANTREL_TEST_STRING \
  "V?$basic_string@DU?$char_traits@D@std@@V?$allocator@D@2@@std@@"
const char kGetFunc[] = "?GetFuncDefinition@@YA_NAEB" VANTREL_TEST_STRING
                        "AEAUAlertDefinitions@@@Z";
const char kGetFilter[] = "?GetFilterDefinition@@YA_NAEB" VANTREL_TEST_STRING
                          "AEAUAlertDefinitions@@@Z";
const char kSetFunc[] = "?SetFuncDefinition@@YA_NAEA" VANTREL_TEST_STRING
                        "AEAUAlertDefinitions@@@Z";
const char kSetFilter[] = "?SetFilterDefinition@@YA_NAEA" VANTREL_TEST_STRING
                          "AEAUAlertDefinitions@@@Z";
#else
#error \
    "the exported names of the four functions are not known for this compiler"
#endif

const char kDllName[] = VANTREL_DLL_NAME;

// The worked example: two conditions, and their and- and or-joined texts.
const std::string kA = vantrel_test::kAlphaText;
const std::string kB = vantrel_test::kBetaText;
const std::string kAndText = vantrel_test::kWorkedExample;
const std::string kOrText = kA + " @@OR@@ " + kB;

AlertDefinition RecordA() { return vantrel_test::AlphaRecord(); }
AlertDefinition RecordB() { return vantrel_test::BetaRecord(); }

std::vector<AlertDefinition> Records(const AlertDefinitions& defs) {
  return {defs.definitions.begin(), defs.definitions.end()};
}

template <typename Function>
Function Lookup(HMODULE module, const char* name) {
  const FARPROC proc = GetProcAddress(module, name);
  // A detour through the generic function pointer type: casting between
  // unrelated function pointer types is what GetProcAddress is for.
  return proc == nullptr
             ? nullptr
             : reinterpret_cast<Function>(reinterpret_cast<void (*)()>(proc));
}

// One load of the DLL with its four entry points.
class Library {
 public:
  Library() : module_(LoadLibraryA(kDllName)) {
    if (module_ == nullptr) return;
    get_func_ = Lookup<Parse>(module_, kGetFunc);
    get_filter_ = Lookup<Parse>(module_, kGetFilter);
    set_func_ = Lookup<Write>(module_, kSetFunc);
    set_filter_ = Lookup<Write>(module_, kSetFilter);
  }
  ~Library() { Unload(); }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  bool Loaded() const { return module_ != nullptr; }
  bool Complete() const {
    return get_func_ != nullptr && get_filter_ != nullptr &&
           set_func_ != nullptr && set_filter_ != nullptr;
  }
  HMODULE module() const { return module_; }
  Parse get_func() const { return get_func_; }
  Parse get_filter() const { return get_filter_; }
  Write set_func() const { return set_func_; }
  Write set_filter() const { return set_filter_; }

  // FreeLibrary's result; true when nothing was loaded.
  bool Unload() {
    if (module_ == nullptr) return true;
    const BOOL freed = FreeLibrary(module_);
    module_ = nullptr;
    get_func_ = get_filter_ = nullptr;
    set_func_ = set_filter_ = nullptr;
    return freed != FALSE;
  }

 private:
  HMODULE module_;
  Parse get_func_ = nullptr;
  Parse get_filter_ = nullptr;
  Write set_func_ = nullptr;
  Write set_filter_ = nullptr;
};

#define ASSERT_LOADED(library)                                  \
  ASSERT_TRUE((library).Loaded())                               \
      << kDllName << " did not load, error " << GetLastError(); \
  ASSERT_TRUE((library).Complete()) << "an entry point was not found"

// The names in the export directory of the loaded module, read the way the
// loader reads them.
std::vector<std::string> ExportedNames(HMODULE module, DWORD* function_count) {
  const auto* base = reinterpret_cast<const unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
      base + static_cast<std::ptrdiff_t>(dos->e_lfanew));
  const IMAGE_DATA_DIRECTORY& entry =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  std::vector<std::string> names;
  *function_count = 0;
  if (entry.VirtualAddress == 0) return names;
  const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(
      base + entry.VirtualAddress);
  *function_count = exports->NumberOfFunctions;
  const auto* name_rvas =
      reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    names.emplace_back(reinterpret_cast<const char*>(base + name_rvas[i]));
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Bytes in use on the C runtime's heap, which the DLL and this program
// share: every string and list node either of them allocates comes from it.
std::size_t HeapBytesInUse() {
  _HEAPINFO info{};
  std::size_t bytes = 0;
  int status;
  while ((status = _heapwalk(&info)) == _HEAPOK) {
    if (info._useflag == _USEDENTRY) bytes += info._size;
  }
  EXPECT_EQ(status, _HEAPEND) << "the C runtime heap could not be walked";
  return bytes;
}

TEST(DynamicLoad, ExportsExactlyTheFourEntryPointsByTheirNames) {
  Library library;
  ASSERT_LOADED(library);
  DWORD function_count = 0;
  std::vector<std::string> expected = {kGetFunc, kGetFilter, kSetFunc,
                                       kSetFilter};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(ExportedNames(library.module(), &function_count), expected);
  EXPECT_EQ(function_count, 4u) << "exports without a name";
  // The four are distinct functions, not one under four names (a linker's
  // identical-code folding would merge the two parse and the two write
  // entry points, whose code is the same).
  const std::set<void (*)()> addresses = {
      reinterpret_cast<void (*)()>(library.get_func()),
      reinterpret_cast<void (*)()>(library.get_filter()),
      reinterpret_cast<void (*)()>(library.set_func()),
      reinterpret_cast<void (*)()>(library.set_filter())};
  EXPECT_EQ(addresses.size(), 4u);
}

TEST(DynamicLoad, ParsesAndWritesTheWorkedExampleThroughAllFour) {
  Library library;
  ASSERT_LOADED(library);
  for (Parse parse : {library.get_func(), library.get_filter()}) {
    for (Write write : {library.set_func(), library.set_filter()}) {
      for (std::uint32_t combination : {0u, 1u}) {
        SCOPED_TRACE(combination);
        const std::string& text = combination == 1 ? kAndText : kOrText;
        AlertDefinitions defs{};
        defs.combination = 5;
        ASSERT_TRUE(parse(text, defs));
        EXPECT_EQ(defs.combination, combination);
        EXPECT_EQ(Records(defs),
                  (std::vector<AlertDefinition>{RecordA(), RecordB()}));

        std::string written = "previous content, longer than a short string";
        ASSERT_TRUE(write(written, defs));
        EXPECT_EQ(written, text);
      }
    }
  }
  EXPECT_EQ(kAndText.size(), 99u);
  EXPECT_EQ(kOrText.size(), 98u);
  EXPECT_TRUE(library.Unload());
}

TEST(DynamicLoad, StorageChangesHandsBetweenTheDllAndTheHost) {
  // Fields far longer than a string's in-place buffer, so that their
  // characters live on the heap: the DLL allocates them, this program frees
  // them, and the other way round.
  const std::string name(1000, 'n');
  const std::string value(3000, 'v');
  const std::string text = "--#--" + name +
                           "--#----{--d--}----{--key==" + value + "--,--" +
                           value + "--}--";
  Library library;
  ASSERT_LOADED(library);
  {
    AlertDefinitions defs{};
    ASSERT_TRUE(library.get_func()(text, defs));
    ASSERT_EQ(defs.definitions.size(), 1u);
    AlertDefinition& record = defs.definitions.front();
    EXPECT_EQ(record, Record(name, "d", {Param("key", {value, value})}));

    // Grow, shrink and drop what the DLL allocated, here in the host.
    record.name += record.name;
    record.params.front().values.pop_front();
    record.params.front().values.front().resize(10);
    record.params.front().values.front().shrink_to_fit();
    EXPECT_EQ(record.name.size(), 2000u);

    // The DLL replaces a long string that this program allocated.
    std::string written(5000, 'h');
    ASSERT_TRUE(library.set_filter()(written, defs));
    EXPECT_EQ(written, "--#--" + name + name +
                           "--#----{--d--}----{--key==vvvvvvvvvv--}--");
  }  // defs and written are destroyed here, while the DLL is still loaded
  AlertDefinitions survivor{};
  ASSERT_TRUE(library.get_filter()(text, survivor));
  EXPECT_TRUE(library.Unload());
  // Storage the DLL allocated outlives the DLL: it belongs to the heap.
  ASSERT_EQ(survivor.definitions.size(), 1u);
  EXPECT_EQ(survivor.definitions.front().name, name);
  survivor.definitions.clear();
}

TEST(DynamicLoad, CallsFromSeveralThreadsOnDistinctObjects) {
  Library library;
  ASSERT_LOADED(library);
  constexpr int kThreads = 4;
  constexpr int kRounds = 300;
  // GoogleTest's assertions are not thread-safe on this platform: each
  // thread counts its own mismatches and the main thread checks them.
  std::vector<int> mismatches(kThreads, 0);
  std::vector<int> rounds_done(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&library, &mismatches, &rounds_done, t] {
      const std::string tag = std::to_string(t);
      const AlertDefinitions source =
          Definitions({Record("Alpha" + tag, "x", {Param("k1", {"a1", tag})}),
                       Record("Beta", "thread " + tag, {Param("k2", {"b1"})})},
                      static_cast<std::uint32_t>(t % 2));
      const std::string expected_text =
          "--#--Alpha" + tag + "--#----{--x--}----{--k1==a1--,--" + tag +
          "--}--" + (t % 2 == 1 ? " @@AND@@ " : " @@OR@@ ") +
          "--#--Beta--#----{--thread " + tag + "--}----{--k2==b1--}--";
      for (int round = 0; round < kRounds; ++round) {
        const bool func = (round + t) % 2 == 0;
        AlertDefinitions copy = source;
        std::string text;
        if (!(func ? library.set_func() : library.set_filter())(text, copy) ||
            text != expected_text) {
          ++mismatches[static_cast<std::size_t>(t)];
        }
        AlertDefinitions parsed{};
        parsed.combination = 9;
        if (!(func ? library.get_func() : library.get_filter())(text, parsed) ||
            parsed.combination != source.combination ||
            Records(parsed) != Records(source)) {
          ++mismatches[static_cast<std::size_t>(t)];
        }
        ++rounds_done[static_cast<std::size_t>(t)];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches, std::vector<int>(kThreads, 0));
  EXPECT_EQ(rounds_done, std::vector<int>(kThreads, kRounds));
  EXPECT_TRUE(library.Unload());
}

// A DLL built like Vantrel.dll, loaded for the duration of one test.
class Probe {
 public:
  Probe() : module_(LoadLibraryA(VANTREL_PROBE_DLL_NAME)) {}
  ~Probe() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;
  HMODULE module() const { return module_; }

 private:
  HMODULE module_;
};

TEST(DynamicLoad, TheDllUsesTheHostsStandardLibrary) {
  Probe probe;
  ASSERT_NE(probe.module(), nullptr)
      << VANTREL_PROBE_DLL_NAME << " did not load";
  using Size = std::size_t (*)();
  using Version = long (*)();
  const Size string_size =
      Lookup<Size>(probe.module(), "vantrel_probe_string_size");
  const Version version =
      Lookup<Version>(probe.module(), "vantrel_probe_library_version");
  ASSERT_NE(string_size, nullptr);
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(string_size(), sizeof(std::string));
#if defined(_MSVC_STL_VERSION)
  EXPECT_EQ(version(), _MSVC_STL_VERSION);
#else
  EXPECT_EQ(version(), __GLIBCXX__);
#endif
}

TEST(DynamicLoad, AStringErrorRaisedInTheDllIsCaughtInTheHost) {
  Probe probe;
  ASSERT_NE(probe.module(), nullptr)
      << VANTREL_PROBE_DLL_NAME << " did not load";
  using Substr = void (*)(const std::string&, std::size_t, std::string&);
  const Substr substr = Lookup<Substr>(probe.module(), "vantrel_probe_substr");
  ASSERT_NE(substr, nullptr);
  const std::string text = "a text longer than the in-place buffer of a string";
  std::string out = "unchanged";
  substr(text, 2, out);
  EXPECT_EQ(out, text.substr(2));
  // Thrown by the standard library's code that the DLL runs, caught here
  // by its type and read through the host's view of std::exception.
  bool caught = false;
  try {
    substr(text, text.size() + 1, out);
  } catch (const std::out_of_range& error) {
    caught = true;
    EXPECT_GT(std::strlen(error.what()), 0u);
  }
  EXPECT_TRUE(caught) << "no std::out_of_range reached the host";
  EXPECT_EQ(out, text.substr(2));
  EXPECT_THROW(substr(text, std::string::npos, out), std::logic_error);
}

// The vocabulary's texts, in order, from the list the DLL is built from.
const char* const kVocabulary[] = {
#define VANTREL_WORD(group, identifier, text) text,
#include "vocabulary/vocabulary_list.inc"
#undef VANTREL_WORD
};

// Heap bytes that one load of a DLL holds, relative to before the load:
// once it is loaded and has been used, and once it is unloaded again.
struct HeapUse {
  std::size_t loaded = 0;
  std::size_t after_unload = 0;
};

// Loads Vantrel.dll, uses every entry point, and unloads it; also checks
// that the DLL was really unloaded (its reference count reached zero, so it
// saw the process detach and its constants were destroyed).
void CycleVantrel(HeapUse* use) {
  const std::size_t before = HeapBytesInUse();
  Library library;
  ASSERT_LOADED(library);
  {
    AlertDefinitions defs{};
    ASSERT_TRUE(library.get_func()(kAndText, defs));
    ASSERT_TRUE(library.get_filter()(kOrText, defs));
    std::string text;
    ASSERT_TRUE(library.set_func()(text, defs));
    EXPECT_EQ(text, kA + " @@OR@@ " + kB + " @@OR@@ " + kA + " @@OR@@ " + kB);
    ASSERT_TRUE(library.set_filter()(text, defs));
  }
  use->loaded = HeapBytesInUse() - before;
  ASSERT_TRUE(library.Unload());
  EXPECT_EQ(GetModuleHandleA(kDllName), nullptr)
      << kDllName << " is still loaded after FreeLibrary";
  use->after_unload = HeapBytesInUse() - before;
}

// The same for the stand-in DLL, which holds only the runtime and one string.
void CycleProbe(HeapUse* use) {
  const std::size_t before = HeapBytesInUse();
  const HMODULE probe = LoadLibraryA(VANTREL_PROBE_DLL_NAME);
  ASSERT_NE(probe, nullptr) << VANTREL_PROBE_DLL_NAME << " did not load";
  using Size = std::size_t (*)();
  const Size size = Lookup<Size>(probe, "vantrel_probe_text_size");
  ASSERT_NE(size, nullptr);
  EXPECT_GT(size(), 15u);
  use->loaded = HeapBytesInUse() - before;
  ASSERT_NE(FreeLibrary(probe), FALSE);
  use->after_unload = HeapBytesInUse() - before;
}

TEST(DynamicLoad, UnloadDestroysTheConstantsAndTheDllLoadsAgain) {
  ASSERT_EQ(GetModuleHandleA(kDllName), nullptr)
      << "this program must not have the DLL loaded from the start";
  // The first load of each also lets the process set up what it keeps for
  // its lifetime.
  HeapUse warm_up;
  CycleVantrel(&warm_up);
  CycleProbe(&warm_up);
  ASSERT_FALSE(HasFatalFailure());

  HeapUse probe;
  CycleProbe(&probe);
  ASSERT_FALSE(HasFatalFailure());

  // The constants whose texts do not fit a string's in-place buffer hold
  // heap storage of at least their length plus the terminator.
  const std::size_t in_place = std::string().capacity();
  std::size_t constants_on_heap = 0;
  for (const char* text : kVocabulary) {
    const std::size_t length = std::string(text).size();
    if (length > in_place) constants_on_heap += length + 1;
  }
  ASSERT_GT(constants_on_heap, 0u);

  for (int cycle = 0; cycle < 3; ++cycle) {
    SCOPED_TRACE(cycle);
    HeapUse vantrel;
    CycleVantrel(&vantrel);
    ASSERT_FALSE(HasFatalFailure());
    // While loaded, the DLL holds the constants' storage ...
    EXPECT_GE(vantrel.loaded, vantrel.after_unload + constants_on_heap);
    // ... and after the unload it leaves behind exactly what the runtime
    // alone leaves behind (the C++ runtime keeps an emergency buffer for
    // exceptions that it never frees): its own constants and everything
    // the calls allocated are gone.
    EXPECT_EQ(vantrel.after_unload, probe.after_unload);
  }
}

TEST(DynamicLoad,
     TheVocabularyIsCreatedBeforeAttachAndDestroyedInReverseAfterDetach) {
  ASSERT_EQ(GetModuleHandleA(VANTREL_ORDER_PROBE_DLL_NAME), nullptr);
  order_log::Reset();
  const HMODULE probe = LoadLibraryA(VANTREL_ORDER_PROBE_DLL_NAME);
  ASSERT_NE(probe, nullptr) << VANTREL_ORDER_PROBE_DLL_NAME << " did not load";
  using Count = std::size_t (*)();
  const Count constants = Lookup<Count>(probe, "vantrel_order_probe_count");
  ASSERT_NE(constants, nullptr);
  EXPECT_EQ(constants(), sizeof(kVocabulary) / sizeof(kVocabulary[0]));
  ASSERT_NE(FreeLibrary(probe), FALSE);
  ASSERT_EQ(GetModuleHandleA(VANTREL_ORDER_PROBE_DLL_NAME), nullptr);
  // Everything below happened inside LoadLibrary and FreeLibrary.
  ASSERT_FALSE(order_log::overflowed);
  const std::vector<order_log::Event> events(
      order_log::events, order_log::events + order_log::count);

  std::size_t attach = events.size();
  std::size_t detach = events.size();
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (events[i].kind == order_log::kAttach) {
      ASSERT_EQ(attach, events.size()) << "a second attach";
      attach = i;
    }
    if (events[i].kind == order_log::kDetach) {
      ASSERT_EQ(detach, events.size()) << "a second detach";
      detach = i;
    }
  }
  ASSERT_LT(attach, detach) << "attach and detach, in that order, once each";

  // The constants whose texts need heap storage, in list order.
  const std::size_t in_place = std::string().capacity();
  std::vector<std::string> expected;
  std::set<std::string> vocabulary;
  for (const char* text : kVocabulary) {
    vocabulary.insert(text);
    if (std::strlen(text) > in_place) expected.push_back(text);
  }
  ASSERT_GE(expected.size(), 2u);

  // Created: the allocations before the attach that held vocabulary texts
  // when the attach came, in the order of allocation.
  std::vector<const void*> created;
  std::vector<std::string> created_texts;
  for (std::size_t i = 0; i < attach; ++i) {
    if (events[i].kind != order_log::kNew) continue;
    const auto text = order_log::texts_at_attach.find(events[i].pointer);
    if (text == order_log::texts_at_attach.end()) continue;
    if (vocabulary.count(text->second) == 0) continue;
    created.push_back(events[i].pointer);
    created_texts.push_back(text->second);
  }
  EXPECT_EQ(created_texts, expected);

  // Destroyed: each of those blocks released once, after the detach, in
  // the reverse order of creation.
  std::vector<const void*> destroyed;
  for (std::size_t i = attach; i < events.size(); ++i) {
    if (events[i].kind != order_log::kDelete) continue;
    if (std::find(created.begin(), created.end(), events[i].pointer) ==
        created.end()) {
      continue;
    }
    EXPECT_GT(i, detach) << "a constant was destroyed before the detach";
    destroyed.push_back(events[i].pointer);
  }
  EXPECT_EQ(destroyed,
            std::vector<const void*>(created.rbegin(), created.rend()));
}

}  // namespace
