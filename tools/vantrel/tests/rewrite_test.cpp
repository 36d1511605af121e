// The rewrite decision: every stored text and edit gets exactly one of the
// four answers, the text written is the new text only when rewritten, and
// every other answer gives the original bytes and a reason.
#include "rewrite.h"

#include <gtest/gtest.h>
#include <vantrel/alert_definitions.h>

#include <string>
#include <vector>

#include "support/records.h"
#include "support/sample_texts.h"

namespace vantrel::rules {
namespace {

using Op = EditStep::Op;

const std::string kWorked = vantrel_test::kWorkedExample;
const std::string kAlpha = vantrel_test::kAlphaText;
// Both joiners: the reader cuts at "@@OR@@" only, and the Error_Rate
// condition is lost.
const std::string kBothJoiners =
    "--#--Average_ResponseTime--#----{--rt--}----{--Location_Name==London--}--"
    " @@AND@@ --#--Error_Rate--#----{--e--}----{--Times==3--}-- @@OR@@ "
    "--#--Max_ResponseTime--#----{--rt--}----{--Location_Name==Paris--}--";

struct Case {
  const char* name;
  std::string text;
  std::vector<EditStep> steps;
  bool single_line;
  RewriteStatus status;
  std::string written;  // the text written: the new text when rewritten
  std::string reason;   // a part of the reason; empty: no reason
};

std::vector<Case> Cases() {
  const std::string renamed =
      "--#--Alpha--#----{--x--}----{--key1==a1--,--a2--}-- @@AND@@ "
      "--#--Beta--#----{--y--}----{--k2==b1--}--";
  return {
      {"rename a key",
       kWorked,
       {{Op::kRenameKey, "", "k1", "key1"}},
       false,
       RewriteStatus::kRewritten,
       renamed,
       ""},
      {"edits in order",
       kWorked,
       {{Op::kRenameKey, "", "k1", "tmp"}, {Op::kRenameKey, "", "tmp", "key1"}},
       false,
       RewriteStatus::kRewritten,
       renamed,
       ""},
      {"no key matches",
       kWorked,
       {{Op::kRenameKey, "", "nope", "x"}},
       false,
       RewriteStatus::kUnchanged,
       kWorked,
       ""},
      {"renamed and back",
       kWorked,
       {{Op::kRenameKey, "", "k1", "t"}, {Op::kRenameKey, "", "t", "k1"}},
       false,
       RewriteStatus::kUnchanged,
       kWorked,
       ""},
      {"replace a value of one key",
       kWorked,
       {{Op::kReplaceValue, "k2", "b1", "b2"}},
       false,
       RewriteStatus::kRewritten,
       "--#--Alpha--#----{--x--}----{--k1==a1--,--a2--}-- @@AND@@ "
       "--#--Beta--#----{--y--}----{--k2==b2--}--",
       ""},
      {"replace a value of another key",
       kWorked,
       {{Op::kReplaceValue, "k1", "b1", "b2"}},
       false,
       RewriteStatus::kUnchanged,
       kWorked,
       ""},
      {"replace a value of any key",
       kWorked,
       {{Op::kReplaceValue, "*", "a2", "z"}},
       false,
       RewriteStatus::kRewritten,
       "--#--Alpha--#----{--x--}----{--k1==a1--,--z--}-- @@AND@@ "
       "--#--Beta--#----{--y--}----{--k2==b1--}--",
       ""},
      {"rename a condition",
       kAlpha,
       {{Op::kRenameCondition, "", "Alpha", "A"}},
       false,
       RewriteStatus::kRewritten,
       "--#--A--#----{--x--}----{--k1==a1--,--a2--}--",
       ""},
      {"both joiners: kept",
       kBothJoiners,
       {{Op::kRenameKey, "", "Location_Name", "Site"}},
       false,
       RewriteStatus::kKept,
       kBothJoiners,
       "both joiners"},
      {"lossy text kept even when the edit changes nothing",
       kBothJoiners,
       {},
       false,
       RewriteStatus::kKept,
       kBothJoiners,
       "differs at byte"},
      {"rejected text kept",
       vantrel_test::kRejectedDeltaText,
       {{Op::kRenameKey, "", "k4", "x"}},
       false,
       RewriteStatus::kKept,
       vantrel_test::kRejectedDeltaText,
       "rejected"},
      {"final line break kept",
       kAlpha + "\n",
       {{Op::kRenameKey, "", "k1", "x"}},
       false,
       RewriteStatus::kKept,
       kAlpha + "\n",
       "byte 49"},
      {"new value holds a mark",
       kWorked,
       {{Op::kReplaceValue, "k2", "b1", "b--,--c"}},
       false,
       RewriteStatus::kRefused,
       kWorked,
       "definitions[1].params[0].values[0]"},
      {"new key holds the key separator",
       kWorked,
       {{Op::kRenameKey, "", "k2", "a==b"}},
       false,
       RewriteStatus::kRefused,
       kWorked,
       "\"==\""},
      {"new name holds a joiner",
       kWorked,
       {{Op::kRenameCondition, "", "Beta", "B @@OR@@ C"}},
       false,
       RewriteStatus::kRefused,
       kWorked,
       "definitions[1].name"},
      {"line break where lines are single",
       kAlpha,
       {{Op::kRenameCondition, "", "Alpha", "A\nB"}},
       true,
       RewriteStatus::kRefused,
       kAlpha,
       "definitions[0].name"},
      {"line break where the framing carries it",
       kAlpha,
       {{Op::kRenameCondition, "", "Alpha", "A\nB"}},
       false,
       RewriteStatus::kRewritten,
       "--#--A\nB--#----{--x--}----{--k1==a1--,--a2--}--",
       ""},
      // The empty text reads as one empty condition, which is written with
      // its marks.
      {"empty text",
       "",
       {{Op::kRenameKey, "", "k1", "x"}},
       false,
       RewriteStatus::kKept,
       "",
       "is empty"},
  };
}

TEST(RewriteTest, DecidesEachCase) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    RewriteLimits limits;
    limits.single_line = c.single_line;
    const RewriteResult result =
        Rewrite(Kind::Func, c.text, StepsEdit(c.steps), limits);
    EXPECT_STREQ(RewriteStatusName(result.status), RewriteStatusName(c.status));
    EXPECT_EQ(result.text, c.written);
    if (c.reason.empty()) {
      EXPECT_EQ(result.reason, "");
    } else {
      EXPECT_NE(result.reason.find(c.reason), std::string::npos)
          << result.reason;
    }
    // A filter definition has the same text form and the same answer.
    const RewriteResult filter =
        Rewrite(Kind::Filter, c.text, StepsEdit(c.steps), limits);
    EXPECT_EQ(filter.status, result.status);
    EXPECT_EQ(filter.text, result.text);
    // What is rewritten reads back to the edited records.
    if (result.status == RewriteStatus::kRewritten) {
      AlertDefinitions back{};
      Combination combination;
      ASSERT_TRUE(ParseText(Kind::Func, result.text, back, combination));
      AlertDefinitions edited{};
      ASSERT_TRUE(ParseText(Kind::Func, c.text, edited, combination));
      ApplySteps(c.steps, edited);
      EXPECT_TRUE(vantrel_test::SameRecords(back, edited));
    }
  }
}

// Edits of the combination and of the number of records.
TEST(RewriteTest, DecidesCombinationEdits) {
  struct CombinationCase {
    const char* name;
    std::string text;
    Edit edit;
    RewriteStatus status;
    std::string written;
  };
  const std::vector<CombinationCase> cases = {
      {"and becomes or", kWorked,
       [](AlertDefinitions&, Combination& c) { c = 0; },
       RewriteStatus::kRewritten,
       "--#--Alpha--#----{--x--}----{--k1==a1--,--a2--}-- @@OR@@ "
       "--#--Beta--#----{--y--}----{--k2==b1--}--"},
      {"a second record with no joiner", kAlpha,
       [](AlertDefinitions& d, Combination&) {
         d.definitions.push_back(vantrel_test::BetaRecord());
       },
       RewriteStatus::kRefused, kAlpha},
      {"a second record and a joiner", kAlpha,
       [](AlertDefinitions& d, Combination& c) {
         d.definitions.push_back(vantrel_test::BetaRecord());
         c = 1;
       },
       RewriteStatus::kRewritten, kWorked},
      {"a joiner on one record", kAlpha,
       [](AlertDefinitions&, Combination& c) { c = 1; },
       RewriteStatus::kRefused, kAlpha},
      // No records write the empty text, which reads as one empty record.
      {"every record removed", kAlpha,
       [](AlertDefinitions& d, Combination&) { d.definitions.clear(); },
       RewriteStatus::kRefused, kAlpha},
  };
  for (const CombinationCase& c : cases) {
    SCOPED_TRACE(c.name);
    const RewriteResult result = Rewrite(Kind::Func, c.text, c.edit);
    EXPECT_STREQ(RewriteStatusName(result.status), RewriteStatusName(c.status));
    EXPECT_EQ(result.text, c.written);
    EXPECT_EQ(result.reason.empty(), c.status == RewriteStatus::kRewritten);
  }
}

// Decide: records edited elsewhere against the text they were read from.
TEST(RewriteTest, DecidesRecordsEditedElsewhere) {
  AlertDefinitions same = vantrel_test::Definitions(
      {vantrel_test::AlphaRecord(), vantrel_test::BetaRecord()}, 1);
  EXPECT_EQ(Decide(Kind::Func, kWorked, same, 1).status,
            RewriteStatus::kUnchanged);
  // The same records with the joiner the text does not hold.
  EXPECT_EQ(Decide(Kind::Func, kWorked, same, 0).status,
            RewriteStatus::kRewritten);
  // What a lossy text read as, handed back unedited, is still kept: writing
  // it would drop the lost condition.
  AlertDefinitions lossy{};
  Combination combination;
  ASSERT_TRUE(ParseText(Kind::Func, kBothJoiners, lossy, combination));
  const RewriteResult kept =
      Decide(Kind::Func, kBothJoiners, lossy, combination);
  EXPECT_EQ(kept.status, RewriteStatus::kKept);
  EXPECT_EQ(kept.text, kBothJoiners);
}

}  // namespace
}  // namespace vantrel::rules
