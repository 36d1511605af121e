// The 190 vocabulary constants: texts, order and identity.

#include "vocabulary/vocabulary.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace v = vantrel::vocabulary;

// The expected texts in position order, written out independently of the
// library's own list.
// The table keeps the grouping of the list, with each group's first position;
// clang-format would put one text on each line.
// clang-format off
const char* const kExpected[] = {
    // 1
    "All", "poor", "good",
    // 4
    "@@AND@@", "@@OR@@", "@@NOT@@", "@@FUNC@@", "=", "<", ">", ">=", "<=",
    "@@WT@@", "@@BT@@", "+", "-", "W", "B", ";**ev**;", "@@",
    // 21
    "--;--", "--,--", "--;--", "--#--", "--{--", "--}--", "--{--", "--}--",
    "--;--", "--;--", "--percent--", "-^^-", "==", "--[--", "--]--", "--(--",
    "--)--", ";", ";", ";",
    // 41
    "ZEP", "Transaction", "OrvicPageData", "OrvicConnections",
    "ALL_EVENT_TYPES",
    // 46
    "Session_Id", "Time", "Timer", "Type", "Event_Id", "Quantity",
    "Response_Time", "Status_Id", "0", "1", "Rank1_From", "Rank1_To",
    "Host_Id", "Location_Id", "Organization_Id", "Transaction_Id", "Script_Id",
    "Meas_Value", "SM_Status_Id", "0", "1", "Sm_Threshold_Val1",
    "Sm_Threshold_Val2", "Measurement_Id", "Target_Host_Id", "Connection_Id",
    "Monitor_Id", "SM_Error_Code", "SM_Error_Message", "ORVIC_Domain",
    "ORVIC_Server", "ORVIC_Page_ID", "ORVIC_Page_Name", "ORVIC_Network_Latency",
    "ORVIC_Connections_Status", "0", "1", "ORVIC_DownLoad_Time",
    "ORVIC_Denials", "0", "1",
    // 87
    "location", "transaction", "target host", "monitor", "measurement", "host",
    "group", "response time", "transaction file",
    // 96
    "Transaction_Filter", "Location_Filter", "Group_Filter", "Location_Name",
    "Transaction_Name", "Group_Name", "Target_Host_Filter", "Monitor_Filter",
    "SM_Measurement_Filter", "Target_Host_Name", "Monitor_Name",
    "SM_Measurement_Name", "Orvic_Page_Domain_Filter",
    "Orvic_Page_Server_Filter", "Orvic_Connections_Domain_Filter",
    "Orvic_Connections_Server_Filter", "Domain_IPs", "Server_IP",
    // 114
    "Average_ResponseTime", "Response_Time", "XoutofY_ResponseTime",
    "ResponseTime_Percentage", "Transaction_Failed", "Transaction_Availability",
    "XoutofY_Transaction_Failed", "Average_Measurement", "Measurement_Value",
    "XoutofY_Measurement", "Measurement_Percentage", "Measurement_Failed",
    "Meausrement_Availability", "XoutofY_Measurement_Failed", "Orvic_Hit_Rate",
    "Orvic_Page_Time", "Orvic_Denials", "Orvic_Availability", "Orvic_Latency",
    "Agent_Availability",
    // 134
    "Measurement", "Measurement_Name", "Percentage", "Times", "Max_Times",
    "Measurement_Failed", "X", "Y", "@@ALL_MEASUREMENTS@@",
    // 143
    "AverageMeasurement", "Measurement", "XoutofYMeasurement",
    "XoutofYMeasurementFailed", "MeasurementPercentage", "Transaction_Failed",
    "Availability", "FieldFilter", "Agent_Availability",
    // 152
    "ALERT_NAME", "SEVERITY", "MORLO_URL", "PROFILE_NAME", "ALERT_DESCRIPTION",
    "USER_MESSAGE", "GROUPBY_FIELD_NAME", "GROUPBY_FIELD_VALUE",
    "TRIGGER_CAUSE", "ACTUAL_DETAILS", "TRANS_TIME", "TRANS_NAME",
    "TRANS_FILE_NAME", "AGENT_NAME", "LOCATION_NAME", "GROUP_NAME",
    "MEASUREMENT_TIME", "SERVER_NAME", "SNMP_IP", "URL_VALUE", "CBD_SERVERS",
    "CBD_URLS", "COMMAND_LINE_VALUE", "ATTACH_CBD", "NUMERIC_PAGER",
    "EMAIL_SUFFIX", "EMAIL_MAX_LEN", "SCRIPT_NAME", "SCRIPT_MAX_LEN",
    "MIN_INTERVAL_BETWEEN_NOTIFICATIONS",
    // 182
    "Unknown", "Informational", "Warning", "Minor", "Major", "Critical",
    "Undefined",
    // 189
    "Data Availability Alert",
    // 190
    "",
};
// clang-format on

static_assert(sizeof(kExpected) / sizeof(kExpected[0]) == v::kCount,
              "the expected table must list every position");

// Every constant by position, from the library's own list: the position of
// an entry is its place in the list.
constexpr std::array<const std::string*, v::kCount> kByPosition = {{
#define VANTREL_WORD(group, identifier, text) &v::group::identifier,
#include "vocabulary/vocabulary_list.inc"
#undef VANTREL_WORD
}};

// The constant at `position`, 1 to kCount; nullptr for any other position.
const std::string* ByPosition(std::size_t position) {
  if (position == 0 || position > v::kCount) return nullptr;
  return kByPosition[position - 1];
}

TEST(Vocabulary, EveryPositionHoldsItsText) {
  for (std::size_t position = 1; position <= v::kCount; ++position) {
    SCOPED_TRACE(position);
    const std::string* word = ByPosition(position);
    ASSERT_NE(word, nullptr);
    EXPECT_EQ(*word, kExpected[position - 1]);
  }
}

TEST(Vocabulary, LengthsOfTheUnusualTexts) {
  EXPECT_EQ(ByPosition(190)->size(), 0u);
  EXPECT_EQ(ByPosition(31)->size(), 11u);  // "--percent--"
  EXPECT_EQ(ByPosition(32)->size(), 4u);   // "-^^-"
  for (std::size_t position : {21u, 22u, 24u, 25u, 26u, 27u, 28u}) {
    EXPECT_EQ(ByPosition(position)->size(), 5u) << position;
  }
  EXPECT_EQ(ByPosition(33)->size(), 2u);  // "=="
}

TEST(Vocabulary, TextsWithSpacesHoldSingleSpaces) {
  EXPECT_EQ(v::entities::kTargetHost, "target host");
  EXPECT_EQ(v::entities::kResponseTime, "response time");
  EXPECT_EQ(v::entities::kTransactionFile, "transaction file");
  EXPECT_EQ(v::alert_names::kDataAvailabilityAlert, "Data Availability Alert");
}

TEST(Vocabulary, EveryPositionIsItsOwnObject) {
  std::set<const std::string*> objects;
  for (std::size_t position = 1; position <= v::kCount; ++position) {
    objects.insert(ByPosition(position));
  }
  EXPECT_EQ(objects.size(), v::kCount);
}

TEST(Vocabulary, RepeatedTextsStandAtTheirPositions) {
  std::map<std::string, std::vector<std::size_t>> positions;
  for (std::size_t position = 1; position <= v::kCount; ++position) {
    positions[*ByPosition(position)].push_back(position);
  }
  const std::map<std::string, std::vector<std::size_t>> kRepeated = {
      {"--;--", {21, 23, 29, 30}},
      {"--{--", {25, 27}},
      {"--}--", {26, 28}},
      {";", {38, 39, 40}},
      {"Response_Time", {52, 115}},
      {"0", {54, 65, 81, 85}},
      {"1", {55, 66, 82, 86}},
      {"Transaction_Failed", {118, 148}},
      {"Measurement_Failed", {125, 139}},
      {"Agent_Availability", {133, 151}},
      {"Measurement", {134, 144}},
  };
  for (const auto& entry : positions) {
    if (entry.second.size() < 2) continue;
    SCOPED_TRACE(entry.first);
    ASSERT_EQ(kRepeated.count(entry.first), 1u) << "unexpected repeat";
    EXPECT_EQ(entry.second, kRepeated.at(entry.first));
  }
  EXPECT_EQ(positions.size(), v::kCount - 18);  // 29 slots hold 11 texts
}

TEST(Vocabulary, CaseVariantsAreDifferentTexts) {
  EXPECT_EQ(*ByPosition(42), "Transaction");
  EXPECT_EQ(*ByPosition(88), "transaction");
  EXPECT_EQ(*ByPosition(84), "ORVIC_Denials");
  EXPECT_EQ(*ByPosition(130), "Orvic_Denials");
  EXPECT_EQ(*ByPosition(99), "Location_Name");
  EXPECT_EQ(*ByPosition(166), "LOCATION_NAME");
}

TEST(Vocabulary, TheCodecsMarksAreTheirPositions) {
  namespace d = v::delimiters;
  EXPECT_EQ(&d::kItemSeparator, ByPosition(21));
  EXPECT_EQ(&d::kValueSeparator, ByPosition(22));
  EXPECT_EQ(&d::kNameMark, ByPosition(24));
  EXPECT_EQ(&d::kParamsOpen, ByPosition(25));
  EXPECT_EQ(&d::kParamsClose, ByPosition(26));
  EXPECT_EQ(&d::kDetailOpen, ByPosition(27));
  EXPECT_EQ(&d::kDetailClose, ByPosition(28));
  EXPECT_EQ(&d::kKeyValueSeparator, ByPosition(33));
  EXPECT_EQ(&v::operators::kAnd, ByPosition(4));
  EXPECT_EQ(&v::empty_text::kEmpty, ByPosition(190));
}

// The marks' compile-time texts, from which the codec takes their lengths
// and middle bytes, are those of the constants whose bytes it reads, and
// stand in the list where the constants do.
TEST(Vocabulary, CompileTimeTextsOfTheMarksAreTheirConstants) {
  namespace d = v::delimiters;
  const struct {
    std::string_view compile_time;
    const std::string* constant;
    std::size_t position;
  } kMarks[] = {
      {d::kItemSeparatorText, &d::kItemSeparator, 21},
      {d::kValueSeparatorText, &d::kValueSeparator, 22},
      {d::kNameMarkText, &d::kNameMark, 24},
      {d::kParamsOpenText, &d::kParamsOpen, 25},
      {d::kParamsCloseText, &d::kParamsClose, 26},
      {d::kDetailOpenText, &d::kDetailOpen, 27},
      {d::kDetailCloseText, &d::kDetailClose, 28},
      {d::kKeyValueSeparatorText, &d::kKeyValueSeparator, 33},
  };
  for (const auto& mark : kMarks) {
    SCOPED_TRACE(mark.position);
    EXPECT_EQ(mark.compile_time, *mark.constant);
    EXPECT_EQ(mark.compile_time, kExpected[mark.position - 1]);
    EXPECT_EQ(ByPosition(mark.position), mark.constant);
  }
}

TEST(Vocabulary, TextsArePrintableAscii) {
  for (std::size_t position = 1; position <= v::kCount; ++position) {
    for (char c : *ByPosition(position)) {
      EXPECT_TRUE(c >= 0x20 && c < 0x7f) << position;
    }
  }
}

}  // namespace
