// Exhaustive differential tests: the library against the literal model on
// every text up to a few tokens over an alphabet of marks, mark halves,
// joiners and odd bytes, and on every small record set over an alphabet of
// troublesome field texts. On the record sets the library's round trip and
// rewrite are also held to the reference's (support/reference_round_trip.h).
//
// Built twice: against the codec's internals (vantrel_exhaustive_tests),
// and with VANTREL_TEST_C_INTERFACE against libvantrel_c through its C
// calls (vantrel_c_exhaustive_tests, support/c_records.h), which then also
// holds the C interface's verdicts to the reference's round trip. The
// condition reader has no C entry point; its texts reach the C interface
// as whole definitions in reference_test.cpp.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "reference/literal_codec.h"
#include "support/exhaustive_inputs.h"
#include "support/records.h"
#include "support/reference_round_trip.h"
#include "support/sequences.h"

#if defined(VANTREL_TEST_C_INTERFACE)
#include "support/c_records.h"
#else
#include "codec/condition_text.h"
#include "codec/definition_text.h"
#endif

namespace {

using vantrel_test::Alphabet;
using vantrel_test::Concatenate;
using vantrel_test::ConditionAlphabet;
using vantrel_test::DefinitionAlphabets;
using vantrel_test::FailureBudget;
using vantrel_test::ForEachLongConditionText;
using vantrel_test::ForEachLongDefinitionText;
using vantrel_test::ForEachSequence;
using vantrel_test::Quoted;
using vantrel_test::SequenceCount;

// The library under test: the codec, or the C interface.
#if defined(VANTREL_TEST_C_INTERFACE)
bool LibraryParse(const std::string& text, AlertDefinitions& target) {
  return vantrel_test::CGetFuncDefinition(text, target);
}
bool LibraryWrite(std::string& text, const AlertDefinitions& source) {
  return vantrel_test::CSetFuncDefinition(text, source);
}
#else
bool LibraryParse(const std::string& text, AlertDefinitions& target) {
  return vantrel::ParseDefinitionText(text, target);
}
bool LibraryWrite(std::string& text, const AlertDefinitions& source) {
  return vantrel::WriteDefinitionText(text, source);
}
#endif

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
  const bool ok = LibraryParse(text, actual);
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

#if !defined(VANTREL_TEST_C_INTERFACE)
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
#endif

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

#if !defined(VANTREL_TEST_C_INTERFACE)
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
#endif

// --- Long texts --------------------------------------------------------------

TEST(LongTexts, DefinitionParseMatchesModel) {
  FailureBudget budget;
  ForEachLongDefinitionText(
      [&](const std::string& text) { CheckDefinitionText(text, 0, budget); });
  EXPECT_EQ(budget.spent(), 0u);
}

#if !defined(VANTREL_TEST_C_INTERFACE)
TEST(LongTexts, ConditionReadMatchesModel) {
  FailureBudget budget;
  ForEachLongConditionText(
      [&](const std::string& text) { CheckConditionText(text, budget); });
  EXPECT_EQ(budget.spent(), 0u);
}
#endif

// --- Record sets -------------------------------------------------------------

TEST(ExhaustiveRecordSets, WriteMatchesModelAndRoundTripsAsReferenceDoes) {
  FailureBudget budget;
  std::size_t round_trips = 0, stable = 0;
  constexpr std::uint32_t kUntouched = 0x5EEDu;
  const std::size_t sets = vantrel_test::ForEachRecordSet(
      [&](const vantrel_test::Shape& shape, const AlertDefinitions& source) {
        const std::uint32_t combination = source.combination;
        const vantrel_test::ReferenceRoundTrip reference =
            vantrel_test::RoundTripByReference(source, kUntouched);
        std::string text = "old";
        const bool wrote = LibraryWrite(text, source);

        AlertDefinitions back{};
        back.combination = kUntouched;
        const bool ok = LibraryParse(text, back);
        AlertDefinitions model_back{};
        model_back.combination = kUntouched;
        const bool model_ok =
            vantrel_reference::literal::ParseDefinition(text, model_back);

        const std::uint32_t want_combination =
            source.definitions.size() >= 2 ? combination : kUntouched;
        const bool came_back =
            ok &&
            back.definitions == vantrel_test::Normalized(source).definitions &&
            back.combination == want_combination;
        round_trips += came_back ? 1 : 0;

        std::string again;
        LibraryWrite(again, back);
        const bool rewrite_is_stable = ok && again == text;
        stable += rewrite_is_stable ? 1 : 0;

#if defined(VANTREL_TEST_C_INTERFACE)
        // The C interface's own verdicts: the text's against the rewrite
        // (whose first read starts from another combination, which a text
        // that survives never depends on), the records' against the
        // reference's read back of the written text.
        int text_survives = -1;
        int records_survive = -1;
        const vantrel_test::CHandle handle = vantrel_test::HandleOf(source);
        vantrel_test::CheckStatus(
            vantrel_text_survives(VANTREL_FUNC, text.data(), text.size(),
                                  &text_survives),
            "vantrel_text_survives");
        vantrel_test::CheckStatus(
            vantrel_records_survive(handle.get(), VANTREL_FILTER,
                                    &records_survive),
            "vantrel_records_survive");
        const std::uint32_t read_combination = reference.back.defs.combination;
        const bool reference_records_survive =
            reference.back.ok &&
            reference.back.defs.definitions == source.definitions &&
            (read_combination == kUntouched || read_combination == combination);
        if ((text_survives != (rewrite_is_stable ? 1 : 0) ||
             records_survive != (reference_records_survive ? 1 : 0)) &&
            budget.Spend()) {
          ADD_FAILURE() << shape.name << ", combination " << combination
                        << ": text survives " << text_survives
                        << " (rewrite stable " << rewrite_is_stable
                        << "), records survive " << records_survive
                        << " (reference " << reference_records_survive << ")";
        }
#endif

        // The library's write and read against the literal model's, and
        // its round trip and rewrite against the reference's (written by
        // the literal model, read back by the located reader).
        if ((!wrote || text != reference.text || ok != model_ok ||
             back.combination != model_back.combination ||
             back.definitions != model_back.definitions ||
             ok != reference.back.ok ||
             back.combination != reference.back.defs.combination ||
             back.definitions != reference.back.defs.definitions ||
             came_back != reference.round_trips || again != reference.rewrite ||
             rewrite_is_stable != reference.rewrite_is_stable) &&
            budget.Spend()) {
          ADD_FAILURE() << shape.name << ", combination " << combination
                        << ": written " << Quoted(text) << ", reference "
                        << Quoted(reference.text) << "; read back " << ok
                        << " (model " << model_ok << ", located "
                        << reference.back.ok << "), round trip " << came_back
                        << " (reference " << reference.round_trips
                        << "), rewrite " << Quoted(again) << " (reference "
                        << Quoted(reference.rewrite) << ")";
        }
      });
  EXPECT_EQ(budget.spent(), 0u);
  // Both outcomes of both properties occur, so neither check is vacuous.
  EXPECT_GT(round_trips, 0u);
  EXPECT_LT(round_trips, sets);
  EXPECT_GT(stable, round_trips);
  EXPECT_LT(stable, sets);
  EXPECT_EQ(sets, vantrel_test::RecordSetCount());
  EXPECT_GT(sets, 50000u);
}

}  // namespace
