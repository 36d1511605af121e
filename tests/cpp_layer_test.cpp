// The header-only C++ layer (vantrel/vantrel.hpp) over libvantrel_c against
// the four C++ functions of libvantrel: on every text of the exhaustive
// alphabets and the long texts, the same acceptance, records and
// combination from the same starting records; on every record set, the same
// text; and the verdicts the same as the C++ functions' own round trips.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/exhaustive_inputs.h"
#include "support/records.h"
#include "support/sample_texts.h"
#include "support/sequences.h"
#include "vantrel/alert_definitions.h"
#include "vantrel/vantrel.hpp"

namespace {

using vantrel_test::FailureBudget;
using vantrel_test::Quoted;

// Both libraries read `text` into targets that already hold one record and
// `combination`; the layer must give what GetFuncDefinition gives, and its
// text verdict must be the C++ functions' round trip.
void CheckText(const std::string& text, std::uint32_t combination,
               FailureBudget& budget) {
  AlertDefinitions expected =
      vantrel_test::Definitions({vantrel_test::GammaRecord()}, combination);
  const bool expected_ok = GetFuncDefinition(text, expected);
  AlertDefinitions actual =
      vantrel_test::Definitions({vantrel_test::GammaRecord()}, combination);
  const bool ok = vantrel::ParseFilter(text, actual);

  AlertDefinitions fresh{};
  bool survives = GetFilterDefinition(text, fresh);
  if (survives) {
    std::string written;
    SetFuncDefinition(written, fresh);
    survives = written == text;
  }
  if ((ok != expected_ok || actual.combination != expected.combination ||
       actual.definitions != expected.definitions ||
       vantrel::TextSurvives(vantrel::Kind::kFunc, text) != survives) &&
      budget.Spend()) {
    ADD_FAILURE() << "text " << Quoted(text) << ": layer " << ok << "/"
                  << actual.combination << "/" << actual.definitions.size()
                  << ", exports " << expected_ok << "/" << expected.combination
                  << "/" << expected.definitions.size() << ", survives "
                  << survives;
  }
}

TEST(CppLayer, ExhaustiveTextsReadAsTheExportsReadThem) {
  const std::uint32_t kCombinations[] = {0, 1, 7};
  for (const vantrel_test::Alphabet& alphabet :
       vantrel_test::DefinitionAlphabets()) {
    SCOPED_TRACE(alphabet.name);
    FailureBudget budget;
    std::size_t texts = 0;
    vantrel_test::ForEachSequence(
        alphabet.tokens.size(), 0, alphabet.depth,
        [&](const std::vector<std::size_t>& digits) {
          CheckText(vantrel_test::Concatenate(alphabet.tokens, digits),
                    kCombinations[texts++ % 3], budget);
        });
    EXPECT_GT(texts, 1000u);
    EXPECT_EQ(budget.spent(), 0u);
  }
}

TEST(CppLayer, LongTextsReadAsTheExportsReadThem) {
  FailureBudget budget;
  vantrel_test::ForEachLongDefinitionText(
      [&](const std::string& text) { CheckText(text, 5, budget); });
  vantrel_test::ForEachLongConditionText(
      [&](const std::string& text) { CheckText(text, 1, budget); });
  EXPECT_EQ(budget.spent(), 0u);
}

TEST(CppLayer, RecordSetsWriteAsTheExportsWriteThem) {
  FailureBudget budget;
  std::size_t surviving = 0;
  const std::size_t sets = vantrel_test::ForEachRecordSet(
      [&](const vantrel_test::Shape& shape, const AlertDefinitions& source) {
        AlertDefinitions copy = source;
        std::string expected;
        SetFuncDefinition(expected, copy);
        // A string with room reuses its buffer; one without gets a new one.
        std::string roomy(expected.size() + 16, 'x');
        std::string tight = "old";
        vantrel::WriteFunc(source, roomy);
        vantrel::WriteFilter(source, tight);

        AlertDefinitions back{};
        back.combination = source.combination;
        const bool survives = GetFuncDefinition(expected, back) &&
                              back.combination == source.combination &&
                              back.definitions == source.definitions;
        surviving += survives ? 1 : 0;
        if ((roomy != expected || tight != expected ||
             vantrel::RecordsSurvive(vantrel::Kind::kFilter, source) !=
                 survives) &&
            budget.Spend()) {
          ADD_FAILURE() << shape.name << ": exports " << Quoted(expected)
                        << ", layer " << Quoted(roomy) << " / " << Quoted(tight)
                        << ", survives " << survives;
        }
      });
  EXPECT_EQ(budget.spent(), 0u);
  EXPECT_GT(surviving, 0u);
  EXPECT_LT(surviving, sets);
}

TEST(CppLayer, HandleGivesTheRejectionAndThrowsOnMisuse) {
  const std::string text = std::string(vantrel_test::kWorkedExample) +
                           " @@AND@@ " + vantrel_test::kRejectedDeltaText;
  vantrel::Definitions defs(3);
  vantrel_rejection rejection{};
  EXPECT_FALSE(defs.Parse(vantrel::Kind::kFunc, text, &rejection));
  EXPECT_EQ(defs.size(), 2u);
  EXPECT_EQ(defs.combination(), 1u);
  EXPECT_EQ(rejection.piece, 3u);
  EXPECT_EQ(rejection.offset, text.find(" @@AND@@ --#--Delta") + 8);
  AlertDefinitions records{};
  defs.AppendTo(records);
  EXPECT_EQ(records.definitions,
            vantrel_test::Definitions(
                {vantrel_test::AlphaRecord(), vantrel_test::BetaRecord()}, 1)
                .definitions);

  vantrel::Definitions moved(std::move(defs));
  EXPECT_EQ(defs.get(), nullptr);
  EXPECT_EQ(moved.size(), 2u);
  EXPECT_THROW(defs.Parse(vantrel::Kind::kFunc, text), std::invalid_argument);
  EXPECT_THROW(moved.Parse(vantrel::Kind::kFunc, nullptr, 1),
               std::invalid_argument);
}

}  // namespace
