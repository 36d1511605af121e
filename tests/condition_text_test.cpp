// The condition text reader and writer, on the format's examples and on the
// texts most likely to expose an off-by-one in the mark searches.

#include "codec/condition_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "codec/text_sink.h"
#include "support/records.h"

namespace {

using vantrel_test::Param;
using vantrel_test::Record;

struct ReadResult {
  bool ok;
  AlertDefinition record;
};

ReadResult Read(const std::string& text) {
  ReadResult result{false, AlertDefinition{}};
  result.ok = vantrel::ReadConditionText(text, result.record);
  return result;
}

// The condition text of `record`, as the definition text writer puts it
// into its string: a size walk, then the writing walk.
std::string Write(const AlertDefinition& record) {
  const vantrel::ConditionMarks marks = vantrel::CurrentMarks();
  vantrel::codec_internal::SizeSink size;
  vantrel::PutConditionText(size, record, marks);
  std::string out(size.size(), '\0');
  vantrel::codec_internal::WriteSink sink(out.data());
  vantrel::PutConditionText(sink, record, marks);
  return out;
}

// --- Writing -------------------------------------------------------------

struct WriteCase {
  AlertDefinition record;
  std::string text;
};

class ConditionTextFormat : public ::testing::TestWithParam<int> {};

const WriteCase& FormatCase(int i) {
  static const WriteCase kCases[] = {
      {Record("n", "d", {Param("k1", {"a", "b"}), Param("k2", {"y", "z"})}),
       "--#--n--#----{--d--}----{--k1==a--,--b--;--k2==y--,--z--}--"},
      {Record("n", "d", {}), "--#--n--#----{--d--}----}--"},
      {Record("n", "d", {Param("k", {"v"})}),
       "--#--n--#----{--d--}----{--k==v--}--"},
      {Record("n", "", {Param("k", {})}), "--#--n--#----{----}----{--k==--}--"},
      {Record("", "", {}), "--#----#----{----}----}--"},
  };
  return kCases[i];
}

TEST_P(ConditionTextFormat, WritesExactly) {
  EXPECT_EQ(Write(FormatCase(GetParam()).record), FormatCase(GetParam()).text);
}

TEST_P(ConditionTextFormat, ReadsBack) {
  const WriteCase& c = FormatCase(GetParam());
  ReadResult back = Read(c.text);
  ASSERT_TRUE(back.ok);
  AlertDefinition expected = c.record;
  // The one loss of the format: a key without values reads back with one
  // empty value.
  for (DefinitionParam& param : expected.params) {
    if (param.values.empty()) param.values.emplace_back();
  }
  EXPECT_EQ(back.record, expected);
}

INSTANTIATE_TEST_SUITE_P(Examples, ConditionTextFormat, ::testing::Range(0, 5));

TEST(ConditionTextWrite, KeyWithoutValuesAndKeyWithOneEmptyValueLookAlike) {
  EXPECT_EQ(Write(Record("n", "d", {Param("k", {})})),
            Write(Record("n", "d", {Param("k", {""})})));
}

TEST(ConditionTextWrite, EmptyKeyAndEmptyValues) {
  EXPECT_EQ(Write(Record("", "", {Param("", {"", "b", ""})})),
            "--#----#----{----}----{--==--,--b--,----}--");
}

TEST(ConditionTextWrite, AnyByteIsWrittenAsIs) {
  const std::string bytes("\0\xff\n@@AND@@--#--", 16);
  const std::string text = Write(Record(bytes, bytes, {Param(bytes, {bytes})}));
  EXPECT_EQ(text, "--#--" + bytes + "--#----{--" + bytes + "--}----{--" +
                      bytes + "==" + bytes + "--}--");
}

// --- Reading: what survives --------------------------------------------------

TEST(ConditionTextRead, EmptyValuesSurviveAmongOthers) {
  const ReadResult r =
      Read(Write(Record("n", "d", {Param("k", {"", "b", ""})})));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record, Record("n", "d", {Param("k", {"", "b", ""})}));

  const ReadResult short_form =
      Read("--#--n--#----{--d--}----{--k==--,--b--}--");
  ASSERT_TRUE(short_form.ok);
  EXPECT_EQ(short_form.record.params.front(), Param("k", {"", "b"}));
}

TEST(ConditionTextRead, ValuesNeverReachIntoTheNextItem) {
  const AlertDefinition record =
      Record("n", "d",
             {Param("k1", {"a", "b", "c"}), Param("k2", {"x"}),
              Param("k3", {"y", "z"})});
  const ReadResult r = Read(Write(record));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record, record);
}

TEST(ConditionTextRead, MarksThatCannotEndAFieldSurvive) {
  const AlertDefinition record =
      Record("a--{--b--}--c", "e--{--f",
             {Param("k", {"v--{--w", "x--#--y", "p==q", "a-", "-b"})});
  const ReadResult r = Read(Write(record));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record, record);
}

TEST(ConditionTextRead, ZeroAndHighBytesAreOrdinary) {
  const std::string bytes("\0\x80\xff", 3);
  const AlertDefinition record = Record(bytes, bytes, {Param(bytes, {bytes})});
  const ReadResult r = Read(Write(record));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record, record);
}

TEST(ConditionTextRead, SurroundingAndInterveningTextIsIgnored) {
  EXPECT_EQ(Read("  --#--n--#----{--d--}----}--  ").record,
            Record("n", "d", {}));
  const ReadResult r = Read("xx--#--n--#--yy--{--d--}--zz--{--k==v--}--ww");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record, Record("n", "d", {Param("k", {"v"})}));
}

// --- Reading: what a mark inside a field does --------------------------------

TEST(ConditionTextRead, NameHoldingNameMarkIsCutAndTheRestSkipped) {
  const ReadResult r = Read(Write(Record("a--#--b", "d", {})));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record, Record("a", "d", {}));
}

TEST(ConditionTextRead, DetailHoldingCloseMarkIsCutButParamsAreRead) {
  const ReadResult r = Read(Write(Record("n", "a--}--b", {Param("k", {"v"})})));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record, Record("n", "a", {Param("k", {"v"})}));
}

TEST(ConditionTextRead, KeyHoldingKeySeparatorGivesTheRestToTheFirstValue) {
  ReadResult r = Read(Write(Record("n", "d", {Param("a==b", {"c", "e"})})));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record.params.front(), Param("a", {"b==c", "e"}));

  r = Read(Write(Record("n", "d", {Param("k=", {"v"})})));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record.params.front(), Param("k", {"=v"}));
}

TEST(ConditionTextRead, EmptyKeyFailsUnlessALaterSeparatorIsInTheItem) {
  // The search for "==" starts at the item's second byte.
  EXPECT_FALSE(Read(Write(Record("n", "d", {Param("", {"v"})}))).ok);

  const ReadResult r = Read(Write(Record("n", "d", {Param("", {"a==b"})})));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record.params.front(), Param("==a", {"b"}));
}

TEST(ConditionTextRead, ValueHoldingValueSeparatorBecomesTwoValues) {
  const ReadResult r = Read(Write(Record("n", "d", {Param("k", {"a--,--b"})})));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record.params.front(), Param("k", {"a", "b"}));
}

TEST(ConditionTextRead, ValueHoldingItemSeparatorStartsANewItem) {
  ReadResult r = Read(Write(Record("n", "d", {Param("k", {"a--;--x==y"})})));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record.params,
            (std::list<DefinitionParam>{Param("k", {"a"}), Param("x", {"y"})}));

  r = Read(Write(Record("n", "d", {Param("k", {"a--;--b"})})));
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.record, Record("n", "d", {Param("k", {"a"})}));
}

TEST(ConditionTextRead, ValueHoldingCloseMarkEndsTheBlock) {
  const ReadResult r = Read(Write(
      Record("n", "d", {Param("k1", {"a--}--b", "c"}), Param("k2", {"z"})})));
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record, Record("n", "d", {Param("k1", {"a"})}));
}

TEST(ConditionTextRead, SeparatorsOverlappingTheItemEndDoNotCount) {
  // "--,-" + "--;--": the value separator would end inside the item
  // separator, so it does not cut the value.
  ReadResult r = Read("--#--n--#----{--d--}----{--k==a--,---;--k2==b--}--");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record.params, (std::list<DefinitionParam>{Param("k", {"a--,-"}),
                                                         Param("k2", {"b"})}));

  // "--;--}--": the item separator begins before the closing mark and counts;
  // the item after it is empty and fails.
  r = Read("--#--n--#----{--d--}----{--k==v--;--}--");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.record.params.front(), Param("k", {"v"}));
}

TEST(ConditionTextRead, ItemSeparatorAtTheItemsFirstByteIsPartOfTheKey) {
  // The search for the item end starts at the item's second byte.
  const ReadResult r = Read("--#--n--#----{--d--}----{----;--k==v--}--");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record.params.front(), Param("--;--k", {"v"}));
}

// --- Reading: failures and partial records -----------------------------------

TEST(ConditionTextRead, ItemWithoutKeySeparatorFailsKeepingEarlierItems) {
  const ReadResult r =
      Read("--#--n--#----{--d--}----{--a==1--;--b--;--c==3--}--");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.record, Record("n", "d", {Param("a", {"1"})}));

  EXPECT_FALSE(Read("--#--Delta--#----{--w--}----{--k4--}--").ok);
}

TEST(ConditionTextRead, EmptyParamsBlockFails) {
  EXPECT_FALSE(Read("--#--n--#----{--d--}----{----}--").ok);
}

TEST(ConditionTextRead, ItemSeparatorBeforeTheCloseMarkAddsAFailingItem) {
  const ReadResult r = Read("--#--n--#----{--d--}----{--k==v--;----}--");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.record.params.front(), Param("k", {"v"}));
}

TEST(ConditionTextRead, KeySeparatorOfALaterItemDoesNotCount) {
  EXPECT_FALSE(Read("--#--n--#----{--d--}----{--k--;--x==y--}--").ok);
  EXPECT_FALSE(Read("--#--n--#----{--d--}----{--k--}--x==y").ok);
}

// --- Reading: missing marks --------------------------------------------------

TEST(ConditionTextRead, TextsWithoutMarksGiveAnEmptyRecord) {
  for (const char* text : {"", " ", "hello", "--", "==", "--,----;--"}) {
    SCOPED_TRACE(text);
    const ReadResult r = Read(text);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.record, Record("", "", {}));
  }
}

TEST(ConditionTextRead, OneBraceBlockIsTheDetail) {
  const ReadResult r = Read("--#--n--#----{--d--}--");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record, Record("n", "d", {}));
}

TEST(ConditionTextRead, MissingNameCloseReadsBlocksFromTheStart) {
  const ReadResult r = Read("--#--n--{--d--}----{--k==v--}--");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record, Record("", "d", {Param("k", {"v"})}));
}

TEST(ConditionTextRead, NoNameMarkAtAllReadsBlocksFromTheStart) {
  const ReadResult r = Read("--{--d--}----{--k==v--}--");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record, Record("", "d", {Param("k", {"v"})}));
}

TEST(ConditionTextRead, NoDetailBlockAfterTheNameMeansNoParams) {
  // A block before the name is not looked at again.
  const ReadResult r = Read("--{--a--}----{--k==v--}----#--n--#--");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record, Record("n", "", {}));
}

TEST(ConditionTextRead, MissingDetailCloseRunsToTheParamsClose) {
  const ReadResult r = Read("--#--n--#----{--d----{--k==v--}--");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record, Record("n", "d----{--k==v", {}));
}

TEST(ConditionTextRead, NoCloseMarkAtAllLeavesDetailAndParamsEmpty) {
  const ReadResult r = Read("--#--n--#----{--d--{--k==v");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record, Record("n", "", {}));
}

TEST(ConditionTextRead, ParamsBlockWithoutCloseMarkGivesNoParams) {
  const ReadResult r = Read("--#--n--#----{--d--}----{--k==v");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record, Record("n", "d", {}));
}

// --- Reading: overlapping marks ----------------------------------------------

TEST(ConditionTextRead, NameCloseInsideNameOpenTakesTheRestOfTheText) {
  const ReadResult r = Read("--#--#--x");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record, Record("#--x", "", {}));
}

TEST(ConditionTextRead, DetailCloseInsideDetailOpenTakesTheRestOfTheText) {
  const ReadResult r = Read("--#--n--#----{--}--rest");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.record, Record("n", "}--rest", {}));
}

TEST(ConditionTextRead, ParamsCloseInsideParamsOpenFails) {
  const ReadResult r = Read("--#--n--#----{--d--}----{--}--");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.record, Record("n", "d", {}));
}

}  // namespace
