// Exhaustive differential tests: the library against the literal model on
// every text up to a few tokens over an alphabet of marks, mark halves,
// joiners and odd bytes, and on every small record set over an alphabet of
// troublesome field texts. The record sets also check, exhaustively, the
// round-trip and rewrite conditions of support/text_properties.h.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "codec/condition_text.h"
#include "codec/definition_text.h"
#include "reference/literal_codec.h"
#include "support/records.h"
#include "support/sequences.h"
#include "support/text_properties.h"

namespace {

namespace tp = vantrel_test::text_properties;
using vantrel_test::Concatenate;
using vantrel_test::ForEachSequence;
using vantrel_test::Param;
using vantrel_test::Quoted;
using vantrel_test::Record;
using vantrel_test::SequenceCount;

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

// The default depths keep the whole file at about three seconds in a Debug
// build. VANTREL_EXHAUSTIVE_EXTRA_DEPTH=n adds n tokens to every depth for
// a longer run (each token multiplies the time by about ten).
std::size_t Depth(std::size_t base) {
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
std::vector<Alphabet> DefinitionAlphabets() {
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
Alphabet ConditionAlphabet() {
  return {
      "condition tokens",
      {"--#--", "--{--", "--}--", "--;--", "--,--", "==", "--", "#", "}", "="},
      Depth(6)};
}

// Parses `text` with the library and with the model into targets whose
// combination starts as `combination`, and reports a difference (within the
// budget).
void CheckDefinitionText(const std::string& text, std::uint32_t combination,
                         FailureBudget& budget) {
  AlertDefinitions expected{};
  expected.combination = combination;
  const bool expected_ok =
      vantrel_reference::literal::ParseDefinition(text, expected);
  AlertDefinitions actual{};
  actual.combination = combination;
  const bool ok = vantrel::ParseDefinitionText(text, actual);
  if ((ok != expected_ok || actual.combination != expected.combination ||
       actual.definitions != expected.definitions) &&
      budget.Spend()) {
    ADD_FAILURE() << "definition text " << Quoted(text) << ": library " << ok
                  << "/" << actual.combination << "/"
                  << actual.definitions.size() << " records, model "
                  << expected_ok << "/" << expected.combination << "/"
                  << expected.definitions.size() << " records";
  }
}

// Reads `text` as one condition with the library and with the model, and
// reports a difference (within the budget).
void CheckConditionText(const std::string& text, FailureBudget& budget) {
  AlertDefinition expected;
  const bool expected_ok =
      vantrel_reference::literal::ReadConditionText(text, expected);
  AlertDefinition actual;
  const bool ok = vantrel::ReadConditionText(std::string_view(text), actual);
  if ((ok != expected_ok || actual != expected) && budget.Spend()) {
    ADD_FAILURE() << "condition text " << Quoted(text) << ": library " << ok
                  << " " << ::testing::PrintToString(actual) << ", model "
                  << expected_ok << " " << ::testing::PrintToString(expected);
  }
}

TEST(ExhaustiveTexts, DefinitionParseMatchesModel) {
  const std::uint32_t kCombinations[] = {0, 1, 7};
  for (const Alphabet& alphabet : DefinitionAlphabets()) {
    SCOPED_TRACE(alphabet.name);
    FailureBudget budget;
    std::size_t texts = 0;
    ForEachSequence(
        alphabet.tokens.size(), 0, alphabet.depth,
        [&](const std::vector<std::size_t>& digits) {
          const std::string text = Concatenate(alphabet.tokens, digits);
          CheckDefinitionText(text, kCombinations[texts % 3], budget);
          ++texts;
        });
    EXPECT_EQ(texts, SequenceCount(alphabet.tokens.size(), 0, alphabet.depth));
    EXPECT_EQ(budget.spent(), 0u);
  }
}

TEST(ExhaustiveTexts, ConditionReadMatchesModel) {
  const Alphabet alphabet = ConditionAlphabet();
  FailureBudget budget;
  std::size_t texts = 0;
  ForEachSequence(alphabet.tokens.size(), 0, alphabet.depth,
                  [&](const std::vector<std::size_t>& digits) {
                    const std::string text =
                        Concatenate(alphabet.tokens, digits);
                    ++texts;
                    CheckConditionText(text, budget);
                  });
  EXPECT_EQ(texts, SequenceCount(alphabet.tokens.size(), 0, alphabet.depth));
  EXPECT_EQ(budget.spent(), 0u);
}

// --- Long texts --------------------------------------------------------------

// The exhaustive texts above are at most a few dozen bytes with a few
// joiners. These are longer: texts of up to 60 tokens drawn at random (a
// fixed seed, so every run checks the same texts), so that the scans that
// look at sixteen bytes at a time cross many windows, a params block holds
// many items, and a definition text holds more joiners than the parser
// keeps from its first scan, with an or-joiner before, among or after them.
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

TEST(LongTexts, DefinitionParseMatchesModel) {
  // Mostly and-joiners, an or-joiner now and then (also inside the tail of
  // an and-joiner, as in "@@AND@@OR@@"), and pieces that read as
  // conditions.
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
  FailureBudget budget;
  for (int round = 0; round < 4000; ++round) {
    // One text in four has no or-joiner at all.
    std::string text = draw.Text(tokens, 60);
    if (round % 4 == 0) {
      for (std::size_t at = text.find("@@OR@@"); at != std::string::npos;
           at = text.find("@@OR@@")) {
        text.replace(at, 6, "@@AND@@");
      }
    }
    CheckDefinitionText(text, 0, budget);
  }
  EXPECT_EQ(budget.spent(), 0u);
}

TEST(LongTexts, ConditionReadMatchesModel) {
  std::vector<std::string> tokens = ConditionAlphabet().tokens;
  for (const char* field : {"key", "value", "-", "x=y", " "}) {
    tokens.emplace_back(field);
  }
  TokenDraw draw(7);
  FailureBudget budget;
  for (int round = 0; round < 20000; ++round) {
    CheckConditionText(draw.Text(tokens, 60), budget);
  }
  EXPECT_EQ(budget.spent(), 0u);
}

// --- Record sets -------------------------------------------------------------

const std::vector<std::string>& FieldTexts() {
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

std::vector<Shape> Shapes() {
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

TEST(ExhaustiveRecordSets, WriteMatchesModelAndPropertiesHold) {
  FailureBudget budget;
  std::size_t sets = 0, round_trips = 0, stable = 0, expected_sets = 0;
  constexpr std::uint32_t kUntouched = 0x5EEDu;
  for (const Shape& shape : Shapes()) {
    expected_sets +=
        SequenceCount(FieldTexts().size(), shape.slots, shape.slots) *
        shape.combinations.size();
    ForEachSequence(
        FieldTexts().size(), shape.slots, shape.slots,
        [&](const std::vector<std::size_t>& digits) {
          std::vector<std::string> fields;
          for (std::size_t d : digits) fields.push_back(FieldTexts()[d]);
          for (std::uint32_t combination : shape.combinations) {
            AlertDefinitions source = shape.build(fields);
            source.combination = combination;
            ++sets;

            std::string expected;
            vantrel_reference::literal::WriteDefinition(expected, source);
            std::string text = "old";
            const bool wrote = vantrel::WriteDefinitionText(text, source);

            AlertDefinitions back{};
            back.combination = kUntouched;
            const bool ok = vantrel::ParseDefinitionText(text, back);
            AlertDefinitions model_back{};
            model_back.combination = kUntouched;
            const bool model_ok =
                vantrel_reference::literal::ParseDefinition(text, model_back);

            const std::uint32_t want_combination =
                source.definitions.size() >= 2 ? combination : kUntouched;
            const bool came_back =
                ok && back.definitions == tp::Normalized(source).definitions &&
                back.combination == want_combination;
            const bool predicted = tp::RoundTrips(source);
            round_trips += came_back ? 1 : 0;

            std::string again;
            vantrel::WriteDefinitionText(again, back);
            const bool must_be_stable = ok && tp::RewriteIsStable(source);
            stable += must_be_stable ? 1 : 0;

            if ((!wrote || text != expected || ok != model_ok ||
                 back.combination != model_back.combination ||
                 back.definitions != model_back.definitions ||
                 came_back != predicted || (must_be_stable && again != text)) &&
                budget.Spend()) {
              ADD_FAILURE()
                  << shape.name << ", combination " << combination
                  << ": written " << Quoted(text) << ", model "
                  << Quoted(expected) << "; read back " << ok << " (model "
                  << model_ok << "), round trip " << came_back << " (predicted "
                  << predicted << "), rewrite " << Quoted(again);
            }
          }
        });
  }
  EXPECT_EQ(budget.spent(), 0u);
  // Both outcomes of both properties occur, so neither check is vacuous.
  EXPECT_GT(round_trips, 0u);
  EXPECT_LT(round_trips, sets);
  EXPECT_GT(stable, round_trips);
  EXPECT_EQ(sets, expected_sets);
  EXPECT_GT(sets, 50000u);
}

}  // namespace
