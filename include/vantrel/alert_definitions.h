// Vantrel: alert definition records and their text form.
//
// An alert rule of the alerting system is a function definition or a filter
// definition. Both are kept as one kind of text, the definition text, and
// this library reads such a text into the plain records below and writes the
// records back as text.
//
// ---------------------------------------------------------------------------
// The condition text: one AlertDefinition
// ---------------------------------------------------------------------------
//
//   --#--NAME--#----{--DETAIL--}----{--KEY==V1--,--V2--;--KEY2==V3--}--
//
//   "--#--"  opens and closes the name
//   "--{--"  opens the detail block, and then the params block
//   "--}--"  closes the detail block, and then the params block
//   "--;--"  separates two parameter items
//   "=="     separates a key from its values
//   "--,--"  separates two values of one key
//
// A record without parameters ends in two closing marks and has no third
// opening mark:
//
//   --#--n--#----{--d--}----}--          // name "n", detail "d", no params
//   --#--n--#----{--d--}----{--k==v--}-- // one param: key "k", values {"v"}
//   --#--n--#----{----}----{--k==--}--   // key "k", values {""}
//
// Fields are written as they are: there is no quoting and no escaping. A
// field that holds one of the marks (or a joiner, below) does not come back
// unchanged when the text is read again; for example a value holding "--,--"
// comes back as two values. A parameter written with no values comes back
// with one empty value.
//
// ---------------------------------------------------------------------------
// The definition text: one AlertDefinitions
// ---------------------------------------------------------------------------
//
// The condition texts of all records, in list order, separated by a blank,
// the joiner chosen by `combination` and a blank:
//
//   combination == 1   "A @@AND@@ B"
//   combination == 0   "A @@OR@@ B"
//   any other value    "A  B"          (two blanks, no joiner word)
//
// Reading splits on "@@OR@@" when the text holds it anywhere, otherwise on
// "@@AND@@", and sets `combination` to 0 or 1 accordingly; a text holding
// neither joiner is one condition and leaves `combination` as it was.
//
// Example:
//
//   AlertDefinitions defs{};
//   bool ok = GetFuncDefinition(
//       "--#--Alpha--#----{--x--}----{--k1==a1--,--a2--}-- @@AND@@ "
//       "--#--Beta--#----{--y--}----{--k2==b1--}--",
//       defs);
//   // ok == true, defs.combination == 1
//   // defs.definitions.front().name == "Alpha"
//   // defs.definitions.front().params.front().key == "k1"
//   // defs.definitions.front().params.front().values ==
//   //     std::list<std::string>{"a1", "a2"}
//   // defs.definitions.back().name == "Beta"
//
//   std::string text;
//   SetFuncDefinition(text, defs);
//   // text is the very text that was read
//
// ---------------------------------------------------------------------------
// Contracts
// ---------------------------------------------------------------------------
//
// GetFuncDefinition(text, target), GetFilterDefinition(text, target)
//   Append one record per condition text to `target.definitions`, after the
//   records already there (nothing is ever removed), and set
//   `target.combination` to 0 or 1 when the text holds a joiner. Returns
//   false when a condition has a parameter item without its own "=="; the
//   records appended for the conditions before it stay, and the conditions
//   after it are not read. Every other text, the empty text included, is
//   accepted. To get all or nothing, parse into a fresh object and discard
//   it on false.
//
// SetFuncDefinition(text, source), SetFilterDefinition(text, source)
//   Replace the whole of `text` with the definition text of `source`. An
//   empty `definitions` gives the empty text. `source` is only read. Always
//   returns true. When `text` already has the capacity for the new text,
//   its buffer is reused and nothing is allocated, so a host that writes
//   into the same string again and again allocates only as its texts grow.
//   `text` may be one of the fields of `source`.
//
// The Func and Filter entry points behave identically; they are separate so
// that the host can keep the two kinds of definition apart.
//
// No function catches an exception: std::bad_alloc or std::length_error
// reaches the caller after the call's own temporaries are released. A parse
// stopped that way keeps the records appended so far; a write stopped that
// way leaves `text` unchanged.
//
// Calls may run concurrently on different threads as long as no object that
// one call writes (the target of a parse, the string of a write) is used by
// another call at the same time. The library keeps no state between calls.
//
// ---------------------------------------------------------------------------
// ABI
// ---------------------------------------------------------------------------
//
// std::string and std::list cross the library boundary by reference, and the
// library allocates storage that the host later frees. The host and the
// library must therefore be built with the same compiler, the same standard
// library in the same configuration (with libstdc++, the same
// _GLIBCXX_USE_CXX11_ABI; with MSVC, the same runtime and iterator debug
// level) and must share one heap (on Windows, the same C runtime DLL).

#ifndef VANTREL_ALERT_DEFINITIONS_H_
#define VANTREL_ALERT_DEFINITIONS_H_

#include <cstdint>
#include <list>
#include <string>

// VANTREL_API marks the four exported functions. The build of the library
// defines VANTREL_BUILDING; consumers of the DLL see dllimport. Code that
// links the library's objects statically defines VANTREL_STATIC.
#if defined(VANTREL_STATIC)
#define VANTREL_API
#elif defined(_WIN32) || defined(__CYGWIN__)
#if defined(VANTREL_BUILDING)
#define VANTREL_API __declspec(dllexport)
#else
#define VANTREL_API __declspec(dllimport)
#endif
#elif defined(__GNUC__) || defined(__clang__)
#define VANTREL_API __attribute__((visibility("default")))
#else
#define VANTREL_API
#endif

// VANTREL_CALL is the calling convention of the four functions: on Windows
// __cdecl, the compilers' default, named so that a host compiled with
// another default (/Gv, /Gz, /Gr) still calls them as the library defines
// them. The names, arguments and results do not change.
#if defined(_WIN32)
#define VANTREL_CALL __cdecl
#else
#define VANTREL_CALL
#endif

// One key with its values, in text order.
struct DefinitionParam {
  std::string key;
  std::list<std::string> values;
};

// One condition: its name, the text of its detail block and its parameters.
struct AlertDefinition {
  std::string name;
  std::string detail;
  std::list<DefinitionParam> params;
};

// One whole function or filter definition.
//
// `combination` says how the conditions are joined: 0 by "@@OR@@", 1 by
// "@@AND@@", any other value by no joiner word. It deliberately has no
// default member initializer: in C++11 one would make this struct a
// non-aggregate and break hosts that write `AlertDefinitions d = {{}, 1};`,
// and giving it one only for newer standards would make host and library see
// two different definitions of the type. Value-initialise instead, which sets
// it to 0:
//
//   AlertDefinitions defs{};                   // defs.combination == 0
//   AlertDefinitions defs = AlertDefinitions(); // likewise
//   AlertDefinitions defs;                      // combination indeterminate:
//                                               // set it before a write
struct AlertDefinitions {
  std::list<AlertDefinition> definitions;
  std::uint32_t combination;
};

#endif  // VANTREL_ALERT_DEFINITIONS_H_

// The four functions, declared unless VANTREL_RECORDS_ONLY is defined: a
// host that reaches the records through the C interface's C++ layer
// (vantrel/vantrel.hpp, which defines it around its own include of this
// header) neither imports nor links Vantrel.dll. A later include without
// the macro declares them.
#if !defined(VANTREL_RECORDS_ONLY) && \
    !defined(VANTREL_ALERT_DEFINITIONS_FUNCTIONS_)
#define VANTREL_ALERT_DEFINITIONS_FUNCTIONS_

// A Visual C++ host must use the DLL built with its own runtime library and
// iterator debug level: Vantrel.lib (Vantrel.dll, /MD) for a release host,
// VantrelD.lib (VantrelD.dll, /MDd) for a debug one; std::string and
// std::list have different layouts in the two. Each import library holds a
// small object that records the library's two settings, and this reference
// pulls it into the host's link, where the linker compares them with the
// host's own (which the standard library's headers record) and stops with a
// mismatch error instead of producing a program that corrupts its heap.
// A host that loads the DLL with LoadLibrary links the import library all
// the same (it imports nothing from the DLL unless it calls a function by
// its import), or defines VANTREL_NO_RUNTIME_CHECK and checks for itself.
#if defined(_MSC_VER) && !defined(VANTREL_BUILDING) && \
    !defined(VANTREL_STATIC) && !defined(VANTREL_NO_RUNTIME_CHECK)
#pragma comment(linker, "/include:vantrel_runtime_check")
#endif

// Parse: append the records of a definition text to `target`.
VANTREL_API bool VANTREL_CALL GetFuncDefinition(const std::string& text,
                                                AlertDefinitions& target);
VANTREL_API bool VANTREL_CALL GetFilterDefinition(const std::string& text,
                                                  AlertDefinitions& target);

// Write: replace `text` with the definition text of `source`.
VANTREL_API bool VANTREL_CALL SetFuncDefinition(std::string& text,
                                                AlertDefinitions& source);
VANTREL_API bool VANTREL_CALL SetFilterDefinition(std::string& text,
                                                  AlertDefinitions& source);

#endif  // VANTREL_ALERT_DEFINITIONS_FUNCTIONS_
