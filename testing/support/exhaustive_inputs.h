// The inputs of the exhaustive and long-text tests: the alphabets whose
// every sequence is a text to read, the random long texts, and the record
// set shapes whose every filling is a record set to write.
//
// The library is compared with the literal model on these inputs
// (exhaustive_test.cpp) and with the located reader on the same ones
// (reference_test.cpp), so that both references meet the same cases.

#ifndef VANTREL_TESTING_SUPPORT_EXHAUSTIVE_INPUTS_H_
#define VANTREL_TESTING_SUPPORT_EXHAUSTIVE_INPUTS_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "support/records.h"
#include "support/sequences.h"
#include "vantrel/alert_definitions.h"

namespace vantrel_test {

// Stops a test after a few reported differences rather than flooding the
// log with a million of them.
class FailureBudget {
 public:
  bool Spend() { return ++spent_ <= 5; }
  std::size_t spent() const { return spent_; }

 private:
  std::size_t spent_ = 0;
};

// --- Texts -----------------------------------------------------------------

// The default depths keep each exhaustive file at a few seconds in a Debug
// build. VANTREL_EXHAUSTIVE_EXTRA_DEPTH=n adds n tokens to every depth for
// a longer run (each token multiplies the time by about ten).
inline std::size_t Depth(std::size_t base) {
  const char kVariable[] = "VANTREL_EXHAUSTIVE_EXTRA_DEPTH";
#ifdef _MSC_VER
  // Microsoft's runtime deprecates getenv (warning C4996, an error with
  // /WX) for _dupenv_s, which returns a copy to free.
  char* extra = nullptr;
  std::size_t size = 0;
  if (_dupenv_s(&extra, &size, kVariable) != 0) extra = nullptr;
  const std::size_t more =
      extra != nullptr ? std::strtoul(extra, nullptr, 10) : 0u;
  std::free(extra);
  return base + more;
#else
  const char* extra = std::getenv(kVariable);
  return base + (extra != nullptr ? std::strtoul(extra, nullptr, 10) : 0u);
#endif
}

struct Alphabet {
  const char* name;
  std::vector<std::string> tokens;
  std::size_t depth;
};

// Definition texts: the marks, their halves, the joiners with and without
// their blanks, a lone "=", a letter and a zero byte (15 tokens), to depth
// 4; and the joiners among the marks that decide where a piece's blocks
// are (8 tokens), to depth 6.
inline std::vector<Alphabet> DefinitionAlphabets() {
  return {
      {"all tokens",
       {"--#--", "--{--", "--}--", "--;--", "--,--", "==", "--", "#", "=",
        "@@AND@@", "@@OR@@", " @@AND@@ ", " @@OR@@ ", "a",
        std::string(1, '\0')},
       Depth(4)},
      {"joiners and blocks",
       {"@@AND@@", "@@OR@@", " @@OR@@ ", "@@", "--#--", "--{--", "--}--", "=="},
       Depth(6)},
  };
}

// Condition texts: the marks and the halves from which overlapping marks
// form ("--#--" "#" "--" is "--#--#--"), to depth 6.
inline Alphabet ConditionAlphabet() {
  return {
      "condition tokens",
      {"--#--", "--{--", "--}--", "--;--", "--,--", "==", "--", "#", "}", "="},
      Depth(6)};
}

// --- Long texts --------------------------------------------------------------

// The exhaustive texts are at most a few dozen bytes with a few joiners.
// These are longer: texts of up to 60 tokens drawn at random (a fixed seed,
// so every run checks the same texts), so that the scans that look at
// sixteen bytes at a time cross many windows, a params block holds many
// items, and a definition text holds more joiners than the parser keeps
// from its first scan, with an or-joiner before, among or after them.
class TokenDraw {
 public:
  explicit TokenDraw(std::uint32_t seed) : state_(seed) {}
  std::string Text(const std::vector<std::string>& tokens,
                   std::size_t max_tokens) {
    std::string text;
    for (std::size_t n = Next() % (max_tokens + 1); n > 0; --n) {
      text += tokens[Next() % tokens.size()];
    }
    return text;
  }

 private:
  std::uint32_t Next() {
    state_ = state_ * 1103515245u + 12345u;
    return state_ >> 8;
  }
  std::uint32_t state_;
};

// Long definition texts: mostly and-joiners, an or-joiner now and then
// (also inside the tail of an and-joiner, as in "@@AND@@OR@@"), and pieces
// that read as conditions. One text in four has no or-joiner at all.
template <typename Visit>
void ForEachLongDefinitionText(Visit&& visit) {
  const std::vector<std::string> tokens = {
      " @@AND@@ ",
      "@@AND@@",
      " @@AND@@ ",
      "@@AND@@AND@@",
      "@@",
      "AND@@",
      "--#--n--#----{--d--}----{--k==v--,--w--}--",
      "x",
      "--;--",
      "@@OR@@",
      "OR@@",
      "@OR@@"};
  TokenDraw draw(2024);
  for (int round = 0; round < 4000; ++round) {
    std::string text = draw.Text(tokens, 60);
    if (round % 4 == 0) {
      for (std::size_t at = text.find("@@OR@@"); at != std::string::npos;
           at = text.find("@@OR@@")) {
        text.replace(at, 6, "@@AND@@");
      }
    }
    visit(static_cast<const std::string&>(text));
  }
}

// Long condition texts: the condition alphabet and a few field texts.
template <typename Visit>
void ForEachLongConditionText(Visit&& visit) {
  std::vector<std::string> tokens = ConditionAlphabet().tokens;
  for (const char* field : {"key", "value", "-", "x=y", " "}) {
    tokens.emplace_back(field);
  }
  TokenDraw draw(7);
  for (int round = 0; round < 20000; ++round) {
    visit(static_cast<const std::string&>(draw.Text(tokens, 60)));
  }
}

// --- Record sets -------------------------------------------------------------

inline const std::vector<std::string>& FieldTexts() {
  static const std::vector<std::string> fields = {
      "",      "a",     "--#--", "--{--",   "--}--",
      "--;--", "--,--", "==",    "@@AND@@", "@@OR@@"};
  return fields;
}

// A shape turns one field text per slot into a record set.
struct Shape {
  const char* name;
  std::size_t slots;
  std::vector<std::uint32_t> combinations;
  std::function<AlertDefinitions(const std::vector<std::string>&)> build;
};

inline std::vector<Shape> Shapes() {
  using F = std::vector<std::string>;
  return {
      {"no records",
       0,
       {0, 1, 2, 0xFFFFFFFFu},
       [](const F&) { return AlertDefinitions{}; }},
      {"name, detail",
       2,
       {0, 1, 2},
       [](const F& f) {
         AlertDefinitions d{};
         d.definitions.push_back(Record(f[0], f[1], {}));
         return d;
       }},
      {"name, detail, key without values",
       3,
       {0, 1, 2},
       [](const F& f) {
         AlertDefinitions d{};
         d.definitions.push_back(Record(f[0], f[1], {Param(f[2], {})}));
         return d;
       }},
      {"name, detail, key, value",
       4,
       {1},
       [](const F& f) {
         AlertDefinitions d{};
         d.definitions.push_back(Record(f[0], f[1], {Param(f[2], {f[3]})}));
         return d;
       }},
      {"detail, key, two values",
       4,
       {1},
       [](const F& f) {
         AlertDefinitions d{};
         d.definitions.push_back(
             Record("n", f[0], {Param(f[1], {f[2], f[3]})}));
         return d;
       }},
      {"two params",
       4,
       {1},
       [](const F& f) {
         AlertDefinitions d{};
         d.definitions.push_back(
             Record("n", "d", {Param(f[0], {f[1]}), Param(f[2], {f[3]})}));
         return d;
       }},
      {"two records",
       4,
       {0, 1, 2},
       [](const F& f) {
         AlertDefinitions d{};
         d.definitions.push_back(Record(f[0], f[1], {}));
         d.definitions.push_back(Record(f[2], f[3], {}));
         return d;
       }},
      {"two records, the first with a param",
       4,
       {0, 1},
       [](const F& f) {
         AlertDefinitions d{};
         d.definitions.push_back(Record(f[0], "d", {Param(f[1], {f[2]})}));
         d.definitions.push_back(Record(f[3], "", {}));
         return d;
       }},
  };
}

// Calls `visit(shape, source)` with every record set of every shape, once
// for each of the shape's combinations. Returns how many it visited.
template <typename Visit>
std::size_t ForEachRecordSet(Visit&& visit) {
  std::size_t sets = 0;
  for (const Shape& shape : Shapes()) {
    ForEachSequence(FieldTexts().size(), shape.slots, shape.slots,
                    [&](const std::vector<std::size_t>& digits) {
                      std::vector<std::string> fields;
                      for (std::size_t d : digits) {
                        fields.push_back(FieldTexts()[d]);
                      }
                      for (std::uint32_t combination : shape.combinations) {
                        AlertDefinitions source = shape.build(fields);
                        source.combination = combination;
                        ++sets;
                        visit(static_cast<const Shape&>(shape),
                              static_cast<const AlertDefinitions&>(source));
                      }
                    });
  }
  return sets;
}

// How many record sets ForEachRecordSet visits.
inline std::size_t RecordSetCount() {
  std::size_t sets = 0;
  for (const Shape& shape : Shapes()) {
    sets += SequenceCount(FieldTexts().size(), shape.slots, shape.slots) *
            shape.combinations.size();
  }
  return sets;
}

}  // namespace vantrel_test

#endif  // VANTREL_TESTING_SUPPORT_EXHAUSTIVE_INPUTS_H_
