// The definition text through the four exported functions, built like a real
// host: this test links the shared library and sees only its public header.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/records.h"
#include "support/sample_texts.h"
#include "vantrel/alert_definitions.h"

namespace {

using vantrel_test::Definitions;
using vantrel_test::Param;
using vantrel_test::Record;

// The worked example's condition texts and their records, a third
// condition and a rejected one (support/sample_texts.h).
const std::string kA = vantrel_test::kAlphaText;
const std::string kB = vantrel_test::kBetaText;
const std::string kT = vantrel_test::kGammaText;
const std::string kR = vantrel_test::kRejectedDeltaText;

AlertDefinition RecordA() { return vantrel_test::AlphaRecord(); }
AlertDefinition RecordB() { return vantrel_test::BetaRecord(); }
AlertDefinition RecordT() { return vantrel_test::GammaRecord(); }
AlertDefinition EmptyRecord() { return Record("", "", {}); }

using Parse = bool (*)(const std::string&, AlertDefinitions&);
using Write = bool (*)(std::string&, AlertDefinitions&);

// Every case runs through both pairs of entry points, which must behave
// identically.
struct EntryPoints {
  const char* name;
  Parse parse;
  Write write;
};

void PrintTo(const EntryPoints& entry_points, std::ostream* os) {
  *os << entry_points.name;
}

class DefinitionText : public ::testing::TestWithParam<EntryPoints> {
 protected:
  bool ParseInto(const std::string& text, AlertDefinitions& target) {
    return GetParam().parse(text, target);
  }
  std::string WriteOut(AlertDefinitions source) {
    std::string text = "previous content";
    EXPECT_TRUE(GetParam().write(text, source));
    return text;
  }
};

std::vector<AlertDefinition> Records(const AlertDefinitions& defs) {
  return {defs.definitions.begin(), defs.definitions.end()};
}

TEST_P(DefinitionText, WorkedExampleTextsHaveTheirLengths) {
  EXPECT_EQ(kA.size(), 49u);
  EXPECT_EQ(kB.size(), 41u);
  EXPECT_EQ(kT.size(), 42u);
  EXPECT_EQ(kR.size(), 38u);
}

TEST_P(DefinitionText, WritesTheWorkedExample) {
  const std::string and_text = WriteOut(Definitions({RecordA(), RecordB()}, 1));
  EXPECT_EQ(and_text, kA + " @@AND@@ " + kB);
  EXPECT_EQ(and_text.size(), 99u);

  const std::string or_text = WriteOut(Definitions({RecordA(), RecordB()}, 0));
  EXPECT_EQ(or_text, kA + " @@OR@@ " + kB);
  EXPECT_EQ(or_text.size(), 98u);

  const std::string plain = WriteOut(Definitions({RecordA(), RecordB()}, 2));
  EXPECT_EQ(plain, kA + "  " + kB);
  EXPECT_EQ(plain.size(), 92u);
}

TEST_P(DefinitionText, ParsesTheWorkedExample) {
  for (std::uint32_t combination : {0u, 1u}) {
    SCOPED_TRACE(combination);
    const std::string text =
        kA + (combination == 1 ? " @@AND@@ " : " @@OR@@ ") + kB;
    AlertDefinitions defs{};
    defs.combination = 5;
    ASSERT_TRUE(ParseInto(text, defs));
    EXPECT_EQ(defs.combination, combination);
    EXPECT_EQ(Records(defs),
              (std::vector<AlertDefinition>{RecordA(), RecordB()}));
    EXPECT_EQ(WriteOut(defs), text);
  }
}

TEST_P(DefinitionText, OrJoinerWinsOverAndJoiner) {
  const std::string text = kA + " @@AND@@ " + kB + " @@OR@@ " + kT;
  ASSERT_EQ(text.size(), 149u);
  AlertDefinitions defs{};
  defs.combination = 1;
  ASSERT_TRUE(ParseInto(text, defs));
  EXPECT_EQ(defs.combination, 0u);
  // B's condition sits after A's params block in the first piece and is lost.
  EXPECT_EQ(Records(defs),
            (std::vector<AlertDefinition>{RecordA(), RecordT()}));
}

TEST_P(DefinitionText, WithoutJoinerTheTextIsOneConditionAndCombinationStays) {
  AlertDefinitions defs{};
  defs.combination = 7;
  ASSERT_TRUE(ParseInto(kA, defs));
  EXPECT_EQ(defs.combination, 7u);
  EXPECT_EQ(Records(defs), std::vector<AlertDefinition>{RecordA()});

  // Two conditions written with no joiner word come back as the first one.
  AlertDefinitions plain{};
  plain.combination = 0xffffffffu;
  ASSERT_TRUE(ParseInto(kA + "  " + kB, plain));
  EXPECT_EQ(plain.combination, 0xffffffffu);
  EXPECT_EQ(Records(plain), std::vector<AlertDefinition>{RecordA()});
}

TEST_P(DefinitionText, EmptyTextGivesOneEmptyRecord) {
  AlertDefinitions defs{};
  defs.combination = 3;
  ASSERT_TRUE(ParseInto("", defs));
  EXPECT_EQ(defs.combination, 3u);
  EXPECT_EQ(Records(defs), std::vector<AlertDefinition>{EmptyRecord()});
}

TEST_P(DefinitionText, JoinersAtTheEdgesAndBackToBackGiveEmptyRecords) {
  AlertDefinitions alone{};
  ASSERT_TRUE(ParseInto("@@AND@@", alone));
  EXPECT_EQ(alone.combination, 1u);
  EXPECT_EQ(Records(alone),
            (std::vector<AlertDefinition>{EmptyRecord(), EmptyRecord()}));

  AlertDefinitions edges{};
  edges.combination = 1;
  ASSERT_TRUE(ParseInto("@@OR@@" + kA + "@@OR@@@@OR@@" + kB + "@@OR@@", edges));
  EXPECT_EQ(edges.combination, 0u);
  EXPECT_EQ(Records(edges), (std::vector<AlertDefinition>{
                                EmptyRecord(), RecordA(), EmptyRecord(),
                                RecordB(), EmptyRecord()}));
}

TEST_P(DefinitionText, JoinerOccurrencesDoNotOverlap) {
  // "@@AND@@AND@@" holds the joiner at 0 and, overlapping, at 5; splitting
  // takes the first and resumes behind it.
  AlertDefinitions defs{};
  ASSERT_TRUE(ParseInto("@@AND@@AND@@", defs));
  EXPECT_EQ(defs.definitions.size(), 2u);
}

TEST_P(DefinitionText, OrJoinerInsideTheTailOfAnAndJoinerWins) {
  // "@@AND@@OR@@" holds an or-joiner at the and-joiner's closing "@@", and
  // "@@AND@@@OR@@" one at its last '@'; either way the text is or-joined.
  for (const std::string joiners : {"@@AND@@OR@@", "@@AND@@@OR@@"}) {
    AlertDefinitions defs{};
    defs.combination = 1;
    ASSERT_TRUE(ParseInto(kA + joiners + kB, defs));
    EXPECT_EQ(defs.combination, 0u) << joiners;
    EXPECT_EQ(Records(defs),
              (std::vector<AlertDefinition>{RecordA(), RecordB()}))
        << joiners;
  }
}

TEST_P(DefinitionText, RejectedMiddlePieceKeepsWhatCameBefore) {
  const std::string text = kA + " @@AND@@ " + kR + " @@AND@@ " + kB;
  ASSERT_EQ(text.size(), 146u);
  AlertDefinitions defs{};
  EXPECT_FALSE(ParseInto(text, defs));
  EXPECT_EQ(defs.combination, 1u);
  EXPECT_EQ(Records(defs), std::vector<AlertDefinition>{RecordA()});
}

TEST_P(DefinitionText, RejectedOnlyPieceAppendsNothing) {
  AlertDefinitions defs{};
  defs.combination = 9;
  EXPECT_FALSE(ParseInto(kR, defs));
  EXPECT_TRUE(defs.definitions.empty());
  EXPECT_EQ(defs.combination, 9u);

  // The joiner sets combination before any piece is read.
  EXPECT_FALSE(ParseInto(kR + " @@OR@@ " + kA, defs));
  EXPECT_TRUE(defs.definitions.empty());
  EXPECT_EQ(defs.combination, 0u);
}

TEST_P(DefinitionText, NewRecordsFollowTheOnesAlreadyThere) {
  AlertDefinitions defs = Definitions({RecordT()}, 0);
  ASSERT_TRUE(ParseInto(kA + " @@AND@@ " + kB, defs));
  ASSERT_TRUE(ParseInto(kT, defs));
  EXPECT_EQ(Records(defs), (std::vector<AlertDefinition>{
                               RecordT(), RecordA(), RecordB(), RecordT()}));
}

TEST_P(DefinitionText, EmptyDefinitionsWriteTheEmptyText) {
  for (std::uint32_t combination : {0u, 1u, 2u}) {
    EXPECT_EQ(WriteOut(Definitions({}, combination)), "");
  }
  AlertDefinitions back{};
  ASSERT_TRUE(ParseInto("", back));
  EXPECT_EQ(back.definitions.size(), 1u);
}

TEST_P(DefinitionText, OneRecordIsWrittenWithoutJoiner) {
  for (std::uint32_t combination : {0u, 1u, 2u, 0xffffffffu}) {
    const std::string text = WriteOut(Definitions({RecordB()}, combination));
    EXPECT_EQ(text, kB);
    AlertDefinitions back{};
    back.combination = 42;
    ASSERT_TRUE(ParseInto(text, back));
    EXPECT_EQ(back.combination, 42u);
  }
}

TEST_P(DefinitionText, FieldHoldingAJoinerIsWrittenUnchangedAndSplitOnRead) {
  AlertDefinitions source =
      Definitions({Record("a@@OR@@b", "d", {}), RecordB()}, 1);
  const std::string text = WriteOut(source);
  EXPECT_EQ(text, "--#--a@@OR@@b--#----{--d--}----}-- @@AND@@ " + kB);

  AlertDefinitions back{};
  back.combination = 1;
  ASSERT_TRUE(ParseInto(text, back));
  EXPECT_EQ(back.combination, 0u);
  // The text is split at the "@@OR@@" inside the name. The first piece,
  // "--#--a", has no closing name mark and yields an empty record; in the
  // second the name runs from the old closing mark to Beta's opening one.
  EXPECT_EQ(Records(back),
            (std::vector<AlertDefinition>{
                EmptyRecord(), Record("--{--d--}----}-- @@AND@@ ", "y",
                                      {Param("k2", {"b1"})})}));
}

TEST_P(DefinitionText, RoundTripKeepsCombinationForTwoOrMoreRecords) {
  for (std::uint32_t combination : {0u, 1u}) {
    AlertDefinitions source =
        Definitions({RecordA(), RecordB(), RecordT()}, combination);
    AlertDefinitions back{};
    back.combination = 1 - combination;
    ASSERT_TRUE(ParseInto(WriteOut(source), back));
    EXPECT_EQ(back.combination, combination);
    EXPECT_EQ(Records(back), Records(source));
  }
}

TEST_P(DefinitionText, WriteNeverChangesItsSource) {
  AlertDefinitions source = Definitions({RecordA(), RecordB()}, 1);
  const AlertDefinitions before = source;
  WriteOut(source);
  EXPECT_EQ(source.combination, before.combination);
  EXPECT_EQ(Records(source), Records(before));
}

TEST_P(DefinitionText, WriteIntoAFieldOfItsOwnSource) {
  AlertDefinitions source = Definitions({RecordA(), RecordB()}, 1);
  std::string& name = source.definitions.front().name;
  ASSERT_TRUE(GetParam().write(name, source));
  EXPECT_EQ(name, kA + " @@AND@@ " + kB);
}

// A string with room for the text is written in place; one of the source's
// own fields must still be read before it is overwritten, whichever field it
// is and however much room it has.
TEST_P(DefinitionText, WriteIntoAFieldWithRoomForTheText) {
  const AlertDefinitions original =
      Definitions({RecordA(), RecordB(), RecordT()}, 0);
  const std::string expected = kA + " @@OR@@ " + kB + " @@OR@@ " + kT;
  std::size_t fields = 0;
  for (std::size_t which = 0;; ++which) {
    AlertDefinitions source = original;
    std::vector<std::string*> all;
    for (AlertDefinition& record : source.definitions) {
      all.push_back(&record.name);
      all.push_back(&record.detail);
      for (DefinitionParam& param : record.params) {
        all.push_back(&param.key);
        for (std::string& value : param.values) all.push_back(&value);
      }
    }
    if (which == all.size()) break;
    std::string& field = *all[which];
    field.reserve(expected.size() + 100);
    ASSERT_TRUE(GetParam().write(field, source));
    EXPECT_EQ(field, expected) << "field " << which;
    ++fields;
  }
  EXPECT_GE(fields, 10u);
}

TEST_P(DefinitionText, WriteReplacesEveryOldByteOfAStringWithRoom) {
  std::string text(500, 'x');
  const char* const buffer = text.data();
  AlertDefinitions two = Definitions({RecordA(), RecordB()}, 1);
  ASSERT_TRUE(GetParam().write(text, two));
  EXPECT_EQ(text, kA + " @@AND@@ " + kB);
  AlertDefinitions empty = Definitions({}, 1);
  ASSERT_TRUE(GetParam().write(text, empty));
  EXPECT_EQ(text, "");
  AlertDefinitions one = Definitions({RecordT()}, 1);
  ASSERT_TRUE(GetParam().write(text, one));
  EXPECT_EQ(text, kT);
  // The buffer had room each time, so it is the same one.
  EXPECT_EQ(text.data(), buffer);
}

TEST_P(DefinitionText, ParseFromAFieldOfItsOwnTarget) {
  AlertDefinitions defs =
      Definitions({Record(kA + " @@OR@@ " + kB, "", {})}, 1);
  ASSERT_TRUE(ParseInto(defs.definitions.front().name, defs));
  EXPECT_EQ(defs.definitions.size(), 3u);
  EXPECT_EQ(defs.definitions.back(), RecordB());
}

std::string EntryPointName(const ::testing::TestParamInfo<EntryPoints>& p) {
  return p.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    EntryPoints, DefinitionText,
    ::testing::Values(EntryPoints{"Func", GetFuncDefinition, SetFuncDefinition},
                      EntryPoints{"Filter", GetFilterDefinition,
                                  SetFilterDefinition}),
    EntryPointName);

}  // namespace
