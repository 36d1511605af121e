// The rules library and the commands, held to the library's own behaviour:
// every verdict the tool gives must be the one the library's own parse and
// write give, on every input; the explanations must name bytes of the text
// and fields of the records that exist; the JSON form must read and write
// the same records in both byte modes and name every error's place.
#include <gtest/gtest.h>
#include <vantrel/alert_definitions.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"
#include "files.h"
#include "records_check.h"
#include "records_json.h"
#include "reports.h"
#include "support/records.h"
#include "support/sample_texts.h"
#include "text.h"
#include "text_check.h"

namespace vantrel::rules {
namespace {

using vantrel_test::SameRecords;

const std::string kA = vantrel_test::kAlphaText;
const std::string kB = vantrel_test::kBetaText;
const std::string kR = vantrel_test::kRejectedDeltaText;

// Field texts that hold marks, joiners, mark halves, line ends and plain
// bytes, so that every way a field can change is reached.
const std::vector<std::string>& Tokens() {
  static const std::vector<std::string> tokens = {
      "--#--",  "--{--", "--}--", "--;--", "==", "--,--", "@@AND@@",
      "@@OR@@", "-",     "=",     "#",     "}",  ",",     "@@",
      "k",      "v",     " ",     "\r",    "\n", "\r\n",  "--"};
  return tokens;
}

std::string RandomField(std::mt19937& rng, int max_tokens) {
  std::uniform_int_distribution<int> count(0, max_tokens);
  std::uniform_int_distribution<std::size_t> pick(0, Tokens().size() - 1);
  std::string field;
  for (int n = count(rng); n > 0; --n) field += Tokens()[pick(rng)];
  return field;
}

// max_tokens 0: plain, non-empty fields and at least one value, which
// mostly come back unchanged.
AlertDefinitions RandomRecords(std::mt19937& rng, int max_tokens) {
  std::uniform_int_distribution<int> small(0, 3);
  if (max_tokens == 0) {
    std::uniform_int_distribution<int> letter('a', 'z');
    const auto field = [&] {
      return std::string(1, static_cast<char>(letter(rng)));
    };
    AlertDefinitions defs{};
    for (int r = small(rng); r > 0; --r) {
      AlertDefinition& record = defs.definitions.emplace_back();
      record.name = field();
      record.detail = field();
      for (int p = small(rng); p > 0; --p) {
        DefinitionParam& param = record.params.emplace_back();
        param.key = field();
        for (int v = small(rng) + 1; v > 0; --v)
          param.values.push_back(field());
      }
    }
    return defs;
  }
  AlertDefinitions defs{};
  for (int r = small(rng); r > 0; --r) {
    AlertDefinition& record = defs.definitions.emplace_back();
    record.name = RandomField(rng, max_tokens);
    record.detail = RandomField(rng, max_tokens);
    for (int p = small(rng); p > 0; --p) {
      DefinitionParam& param = record.params.emplace_back();
      param.key = RandomField(rng, max_tokens);
      for (int v = small(rng); v > 0; --v) {
        param.values.push_back(RandomField(rng, max_tokens));
      }
    }
  }
  return defs;
}

// A stored rule: written from random records (mostly clean ones), then
// sometimes changed as hands and tools change stored texts.
std::string RandomText(std::mt19937& rng) {
  std::uniform_int_distribution<int> pick(0, 9);
  AlertDefinitions defs = RandomRecords(rng, pick(rng) < 6 ? 0 : 2);
  for (AlertDefinition& record : defs.definitions) {
    if (record.name.empty()) record.name = "n";
    for (DefinitionParam& param : record.params) {
      if (param.key.empty()) param.key = "k";
    }
  }
  defs.combination = static_cast<std::uint32_t>(pick(rng) % 3);
  std::string text;
  SetFuncDefinition(text, defs);
  switch (pick(rng)) {
    case 0:
      text += "\r";
      break;
    case 1:
      text += "\r\n";
      break;
    case 2:
      text += " @@OR@@ " + kB;
      break;
    case 3:
      text.insert(text.size() / 2,
                  Tokens()[static_cast<std::size_t>(pick(rng) * 2 % 21)]);
      break;
    case 4:
      if (!text.empty()) text.erase(text.size() / 3, 1);
      break;
    default:
      break;
  }
  return text;
}

// The library's own verdict on a text: parse into a fresh target, write
// back, compare.
Status LibraryVerdict(const std::string& text) {
  AlertDefinitions defs{};
  if (!GetFuncDefinition(text, defs)) return Status::kRejected;
  std::string back;
  SetFuncDefinition(back, defs);
  return back == text ? Status::kOk : Status::kLossy;
}

// The library's own verdict on records: write the whole definition, read
// it back into a fresh target, compare the records and the combination.
Status LibraryVerdict(const AlertDefinitions& source, Combination combination) {
  AlertDefinitions defs = source;
  defs.combination = combination ? *combination : 2;
  std::string text;
  SetFuncDefinition(text, defs);
  AlertDefinitions back{};
  back.combination = 2;
  const bool ok = GetFuncDefinition(text, back);
  const Combination got =
      back.combination <= 1 ? Combination(back.combination) : std::nullopt;
  return ok && SameRecords(defs, back) && got == combination ? Status::kOk
                                                             : Status::kLossy;
}

Combination RandomCombination(std::mt19937& rng) {
  switch (std::uniform_int_distribution<int>(0, 5)(rng)) {
    case 0:
      return std::nullopt;
    case 1:
    case 2:
      return 0U;
    case 3:
    case 4:
      return 1U;
    default:
      return 7U;
  }
}

TEST(Verdicts, TextCheckIsTheLibrarysOwnOnManyTexts) {
  std::mt19937 rng(4242);
  std::array<int, 3> seen{};
  for (int round = 0; round < 100000; ++round) {
    const std::string text = RandomText(rng);
    const TextCheck check = CheckText(Kind::Func, text);
    ASSERT_EQ(check.status, LibraryVerdict(text)) << Quote(text);
    ++seen.at(static_cast<std::size_t>(check.status));
    if (check.status == Status::kOk) {
      ASSERT_EQ(check.causes.total(), 0U);
      continue;
    }
    // Every cause names bytes of the text.
    ASSERT_GT(check.causes.total(), 0U) << Quote(text);
    for (const Cause& cause : check.causes.kept()) {
      ASSERT_LE(cause.offset + cause.size, text.size()) << Quote(text);
    }
    if (check.status == Status::kLossy) {
      const std::size_t common = std::min(text.size(), check.written.size());
      ASSERT_LE(check.difference, common);
      ASSERT_EQ(
          text.compare(0, check.difference, check.written, 0, check.difference),
          0);
      if (check.difference < common) {
        ASSERT_NE(text[check.difference], check.written[check.difference]);
      }
    }
  }
  for (const int count : seen) EXPECT_GT(count, 2000);
}

TEST(Verdicts, RecordsCheckIsTheLibrarysOwnOnManyRecordSets) {
  std::mt19937 rng(11);
  std::array<int, 2> seen{};
  for (int round = 0; round < 100000; ++round) {
    AlertDefinitions defs = RandomRecords(rng, round % 3 == 0 ? 0 : 2);
    const Combination combination = RandomCombination(rng);
    const RecordsCheck check = CheckRecords(Kind::Func, defs, combination);
    ASSERT_EQ(check.status, LibraryVerdict(defs, combination));
    ++seen.at(static_cast<std::size_t>(check.status));
    // A lossy record set is explained, by paths that exist.
    ASSERT_EQ(check.problems.empty(), check.status == Status::kOk);
    for (const Problem& problem : check.problems) {
      ASSERT_TRUE(problem.path == "combination" ||
                  problem.path.rfind("definitions", 0) == 0)
          << problem.path;
    }
  }
  EXPECT_GT(seen[0], 5000);
  EXPECT_GT(seen[1], 5000);
}

TEST(Verdicts, AFieldHoldingTheOtherJoinerSurvivesWhenTheLibrarySaysSo) {
  // The and-joiner inside a detail of an or-joined definition: the library
  // cuts at "@@OR@@" only and gives the records back as they were.
  AlertDefinitions defs{};
  defs.definitions.push_back({"a", "x @@AND@@ y", {{"k", {"v"}}}});
  defs.definitions.push_back({"b", "d", {{"k", {"w"}}}});
  EXPECT_EQ(CheckRecords(Kind::Func, defs, 0U).status, Status::kOk);
  const RecordsCheck and_joined = CheckRecords(Kind::Func, defs, 1U);
  ASSERT_EQ(and_joined.status, Status::kLossy);
  EXPECT_EQ(and_joined.problems.front().path, "definitions[0].detail");
  EXPECT_NE(and_joined.problems.front().cause.find("joiner"),
            std::string::npos);
}

std::vector<std::string> Paths(const RecordsCheck& check) {
  std::vector<std::string> paths;
  for (const Problem& problem : check.problems) paths.push_back(problem.path);
  return paths;
}

TEST(RecordsCheck, NamesTheFieldAndTheMarkThatBreaksIt) {
  AlertDefinitions defs{};
  defs.definitions.push_back(
      {"Average_ResponseTime",
       "response time",
       {{"Transaction_Name", {"Login", "Pay--,--Out"}}, {"Times", {"3"}}}});
  defs.definitions.push_back(
      {"Transaction_Filter", "transaction", {{"Transaction_Name", {"Login"}}}});
  const RecordsCheck split = CheckRecords(Kind::Func, defs, 1U);
  ASSERT_EQ(Paths(split).front(), "definitions[0].params[0].values[1]");
  EXPECT_NE(split.problems.front().cause.find("holds \"--,--\""),
            std::string::npos);
  EXPECT_EQ(split.problems.front().written, "Pay--,--Out");
  EXPECT_EQ(split.problems.front().read_back, "Pay");

  // A mark formed with the mark after the field: "x--,-" then "--,--".
  defs.definitions.front().params.front().values = {"x--,-", "y"};
  const RecordsCheck formed = CheckRecords(Kind::Func, defs, 1U);
  ASSERT_FALSE(formed.problems.empty());
  EXPECT_EQ(formed.problems.front().path, "definitions[0].params[0].values[0]");
  EXPECT_NE(formed.problems.front().cause.find("with the mark after it"),
            std::string::npos);

  // A detail cut by a closing mark; the params block still reads.
  defs.definitions.front().params.front().values = {"x-", "a==b", "--{--"};
  EXPECT_EQ(CheckRecords(Kind::Func, defs, 1U).status, Status::kOk);
  defs.definitions.back().detail = "cut--}--here";
  const RecordsCheck cut = CheckRecords(Kind::Filter, defs, 0U);
  ASSERT_FALSE(cut.problems.empty());
  EXPECT_EQ(cut.problems.front().path, "definitions[1].detail");
  EXPECT_NE(cut.problems.front().cause.find("closes the detail block"),
            std::string::npos);
}

TEST(RecordsCheck, ReportsCombinationsCountsAndEmptyKeys) {
  AlertDefinitions defs{};
  defs.definitions.push_back({"A", "plain", {{"k", {"v"}}}});
  defs.definitions.push_back({"B", "", {{"k", {"v"}}}});
  EXPECT_EQ(Paths(CheckRecords(Kind::Func, defs, 7U)),
            (std::vector<std::string>{"definitions", "combination"}));
  EXPECT_EQ(Paths(CheckRecords(Kind::Func, defs, std::nullopt)),
            (std::vector<std::string>{"definitions"}));
  defs.definitions.pop_back();
  const RecordsCheck one = CheckRecords(Kind::Func, defs, 1U);
  EXPECT_EQ(Paths(one), (std::vector<std::string>{"combination"}));
  EXPECT_EQ(one.problems.front().written, "1");
  EXPECT_EQ(one.problems.front().read_back, "null");
  EXPECT_EQ(CheckRecords(Kind::Func, defs, std::nullopt).status, Status::kOk);
  AlertDefinitions empty{};
  EXPECT_EQ(Paths(CheckRecords(Kind::Func, empty, std::nullopt)),
            (std::vector<std::string>{"definitions"}));

  defs.definitions.front().params.front().key.clear();
  const RecordsCheck no_key = CheckRecords(Kind::Func, defs, std::nullopt);
  ASSERT_FALSE(no_key.problems.empty());
  EXPECT_EQ(no_key.problems.front().path, "definitions[0].params[0].key");
  defs.definitions.front().params.front() = {"k", {}};
  const RecordsCheck no_values = CheckRecords(Kind::Func, defs, std::nullopt);
  ASSERT_EQ(Paths(no_values),
            (std::vector<std::string>{"definitions[0].params[0].values"}));
  EXPECT_EQ(no_values.problems.front().kind, CauseKind::kNoValues);
}

TEST(RecordsCheck, StaysBoundedAndLinearOnHugeLossyParameters) {
  // 200,000 values that each hold "--,--": every value comes back split.
  AlertDefinitions defs{};
  DefinitionParam param;
  param.key = "k";
  for (int v = 0; v < 200000; ++v) param.values.push_back("a--,--b");
  defs.definitions.push_back({"n", "d", {param}});
  const RecordsCheck check = CheckRecords(Kind::Func, defs, std::nullopt, 20);
  EXPECT_EQ(check.status, Status::kLossy);
  EXPECT_EQ(check.problems.size(), 20U);
  EXPECT_GT(check.more, 100000U);
  EXPECT_LT(RecordsReportLines(check, 1).size(), 8000U);
}

std::pair<std::string, std::string> FirstCause(const std::string& text) {
  const TextCheck check = CheckText(Kind::Func, text);
  EXPECT_EQ(check.status, Status::kLossy) << text;
  if (check.causes.kept().empty()) return {};
  const Cause& cause = check.causes.kept().front();
  return {cause.what, text.substr(cause.offset, cause.size)};
}

TEST(TextCheck, NamesTheCausesOfTheDifferences) {
  const std::string a = "--#--A--#----{--x--}----{--k==a--}--";
  const std::string b = "--#--B--#----{--y--}----{--k==b--}--";
  auto [what, bytes] = FirstCause(a + " @@AND@@ " + b + " @@OR@@ " + a);
  EXPECT_NE(what.find("holds both joiners"), std::string::npos);
  EXPECT_EQ(bytes, " @@AND@@ " + b);
  std::tie(what, bytes) = FirstCause(a + "\n" + b + "\n" + a);
  EXPECT_NE(what.find("another condition follows condition 1"),
            std::string::npos);
  std::tie(what, bytes) =
      FirstCause("--#--A--#----{--x--}----{--k==a--}--b--}--");
  EXPECT_NE(what.find("a parameter or value after a closing mark"),
            std::string::npos);
  EXPECT_EQ(bytes, "b--}--");
  std::tie(what, bytes) = FirstCause("lead " + a);
  EXPECT_NE(what.find("before the first mark"), std::string::npos);
  EXPECT_EQ(bytes, "lead ");
  std::tie(what, bytes) = FirstCause("--#--A--#--gap--{--x--}----{--k==a--}--");
  EXPECT_NE(what.find("between the name and the detail"), std::string::npos);
  EXPECT_EQ(bytes, "gap");
  EXPECT_NE(FirstCause("hello world").first.find("11 bytes are dropped"),
            std::string::npos);
  EXPECT_NE(FirstCause(a + "@@AND@@ " + b).first.find("no blank before"),
            std::string::npos);
  // A CR at the end is a byte of the rule, which the writer drops.
  std::tie(what, bytes) = FirstCause("--#--A--#----{--x--}----}--\r");
  EXPECT_EQ(bytes, "\r");
  const TextCheck rejected = CheckText(Kind::Func, kA + " @@AND@@ " + kR);
  EXPECT_EQ(rejected.status, Status::kRejected);
  EXPECT_EQ(Describe(rejected.rejection, kA + " @@AND@@ " + kR),
            "piece 2 (at byte 57) is rejected: its parameter item 1 (at byte "
            "89) has no \"==\" of its own: \"k4\"");
}

TEST(TextCheck, KeepsABoundedReportOfAHostileRule) {
  // 300,000 empty conditions: one cause each, 20 kept, the rest counted.
  std::string text;
  for (int i = 0; i < 300000; ++i) text += "x @@AND@@ ";
  const TextCheck check = CheckText(Kind::Func, text);
  ASSERT_EQ(check.status, Status::kLossy);
  EXPECT_EQ(check.causes.kept().size(), kDefaultMaxCauses);
  EXPECT_GT(check.causes.more(), 299000U);
  EXPECT_LT(TextReportLines(check, text).size(), 8000U);
  EXPECT_LT(
      Dump(TextReport(check, text, ByteMode::Utf8, Report::object())).size(),
      8000U);
}

TEST(ByteEncoding, Utf8ValidationFindsTheFirstBadByte) {
  EXPECT_EQ(FirstNonUtf8(""), std::string::npos);
  EXPECT_EQ(FirstNonUtf8("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"),
            std::string::npos);
  EXPECT_EQ(FirstNonUtf8(std::string("nul\0byte", 8)), std::string::npos);
  EXPECT_EQ(FirstNonUtf8("caf\xE9"), 3U);           // Latin-1 byte
  EXPECT_EQ(FirstNonUtf8("ab\x80"), 2U);            // lone continuation
  EXPECT_EQ(FirstNonUtf8("\xC0\x80"), 0U);          // overlong NUL
  EXPECT_EQ(FirstNonUtf8("x\xE0\x80\x80"), 1U);     // overlong 3-byte
  EXPECT_EQ(FirstNonUtf8("\xED\xA0\x80"), 0U);      // surrogate
  EXPECT_EQ(FirstNonUtf8("\xF4\x90\x80\x80"), 0U);  // above U+10FFFF
  EXPECT_EQ(FirstNonUtf8("ok\xE2\x82"), 2U);        // cut short
  EXPECT_EQ(FirstNonUtf8("\xC3\xA9\x80"), 2U);      // stray byte
  // The JSON reader's own validation agrees on all 2-byte and 3-byte forms.
  for (int a = 0x80; a < 0x100; ++a) {
    for (int b = 0x00; b < 0x100; b += 3) {
      const std::string bytes = {static_cast<char>(a), static_cast<char>(b),
                                 '\x80'};
      bool json_ok = true;
      try {
        static_cast<void>(nlohmann::json(bytes).dump());
      } catch (const nlohmann::json::exception&) {
        json_ok = false;
      }
      ASSERT_EQ(FirstNonUtf8(bytes) == std::string::npos, json_ok)
          << a << " " << b;
    }
  }
}

TEST(ByteEncoding, Latin1IsExactForEveryByteAndMessagesAreSafe) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
  const std::string json = JsonString(all, ByteMode::Latin1, "f");
  EXPECT_EQ(json.find_first_of("\x80\xFF"), std::string::npos);
  EXPECT_EQ(FieldBytes(nlohmann::json::parse(json).get<std::string>(),
                       ByteMode::Latin1, "f"),
            all);
  EXPECT_THROW(FieldBytes("\xC4\x80", ByteMode::Latin1, "f"), InputError);
  EXPECT_THROW(JsonString("caf\xE9", ByteMode::Utf8, "f"), InputError);
  EXPECT_EQ(Excerpt("a\xE9"
                    "b"),
            "\"a\\ufffdb\"");
  EXPECT_EQ(Excerpt(std::string("\0\x1B[31m\r\n", 8)),
            "\"\\u0000\\u001b[31m\\r\\n\"");
  EXPECT_EQ(Excerpt(std::string(100, 'a')),
            "\"" + std::string(kExcerptBytes, 'a') + "\"... (100 bytes)");
  EXPECT_EQ(MemberName("Location_Name"), "Location_Name");
  EXPECT_EQ(MemberName("\x1B[31mRED\r\nfake: line"),
            "\"\\u001b[31mRED\\r\\nfake: line\"");
}

std::string ErrorOf(const std::string& json) {
  AlertDefinitions defs{};
  try {
    static_cast<void>(ReadRecordsJson(json, ByteMode::Utf8, defs));
  } catch (const InputError& error) {
    return error.what();
  }
  ADD_FAILURE() << "read: " << json;
  return "";
}

TEST(RecordsJson, ReadsTheShapeAndNamesThePathOfEveryError) {
  AlertDefinitions defs{};
  EXPECT_EQ(ReadRecordsJson(R"({"definitions": [{"params": [{"values":
      ["a1", "a2"], "key": "k1"}], "detail": "x", "name": "Alpha"}],
      "combination": 4294967295})",
                            ByteMode::Utf8, defs),
            4294967295U);
  ASSERT_EQ(defs.definitions.size(), 1U);
  EXPECT_EQ(defs.definitions.front(),
            (AlertDefinition{"Alpha", "x", {{"k1", {"a1", "a2"}}}}));
  const std::string head = R"({"combination": 1, "definitions": [)";
  const std::string ok = R"({"name": "", "detail": "", "params": []})";
  EXPECT_EQ(ErrorOf(head + ok + "," + ok + "," + ok +
                    R"(, {"name": "", "detail": "", "params": [{"key": "k",
                    "values": "v"}]}]})"),
            "definitions[3].params[0].values: expected an array of strings, "
            "found a string");
  EXPECT_EQ(
      ErrorOf(head + ok + ", 1]}"),
      R"(definitions[1]: expected an object with "name", "detail" and "params", found a number)");
  EXPECT_EQ(ErrorOf(head + R"({"name": "", "detail": ""}]})"),
            "definitions[0]: missing member \"params\"");
  EXPECT_EQ(ErrorOf(head + R"({"nmae": ""}]})"),
            "definitions[0].nmae: unknown member (expected \"name\", "
            "\"detail\", \"params\")");
  EXPECT_EQ(ErrorOf(head + R"({"name": "", "name": ""}]})"),
            "definitions[0].name: given twice");
  EXPECT_EQ(ErrorOf(R"({"definitions": []})"),
            "(top level): missing member \"combination\"");
  EXPECT_EQ(ErrorOf("[]"),
            "(top level): expected an object with \"combination\" and "
            "\"definitions\", found an array");
  // Member names are excerpted and escaped: no terminal control, no forged
  // lines, no 100 KB message.
  const std::string forged = ErrorOf(
      R"({"\u001b[31mRED\r\nfake: line": 1, "combination": 1, "definitions": []})");
  EXPECT_EQ(forged.find_first_of("\x1B\r\n"), std::string::npos) << forged;
  EXPECT_LT(ErrorOf("{\"" + std::string(100000, 'x') + "\": 1}").size(), 300U);
}

TEST(RecordsJson, CombinationIsANumberFrom0To4294967295) {
  const auto read = [](const std::string& number) {
    AlertDefinitions defs{};
    return ReadRecordsJson(
        R"({"combination": )" + number + R"(, "definitions": []})",
        ByteMode::Utf8, defs);
  };
  EXPECT_EQ(read("-0"), 0U);
  EXPECT_EQ(read("1e0"), 1U);
  EXPECT_EQ(read("4294967295"), 4294967295U);
  EXPECT_EQ(read("null"), std::nullopt);
  for (const auto& [number, found] :
       std::vector<std::pair<std::string, std::string>>{
           {"4294967296", "a larger number"},
           {"-1", "a negative number"},
           {"1.5", "a fractional number"},
           {"true", "a boolean"}}) {
    const std::string error =
        ErrorOf(R"({"combination": )" + number + R"(, "definitions": []})");
    EXPECT_NE(error.find(found), std::string::npos) << error;
  }
}

TEST(RecordsJson, SyntaxErrorsNameTheirLineAndColumn) {
  EXPECT_EQ(ErrorOf("{\n  \"combination\": 1,\n  oops\n}")
                .rfind("line 3, column 3: syntax error", 0),
            0U);
  EXPECT_EQ(ErrorOf("").rfind("line 1, column 1: unexpected end", 0), 0U);
  EXPECT_EQ(ErrorOf(R"({"combination": 1, "definitions": []} x)")
                .rfind("line 1, column 39:", 0),
            0U);
  // A number out of range is an error of the document, with its place.
  EXPECT_EQ(ErrorOf("{\"combination\":\n 1e400, \"definitions\": []}"),
            "line 2, column 6: number out of range: \"1e400\"");
  RuleLine line;
  EXPECT_THROW(ReadRuleLine(R"({"id": "a", "text": "x", "n": 1e400})",
                            ByteMode::Utf8, line),
               InputError);
  EXPECT_EQ(line.id, "a");
}

TEST(RecordsJson, WriteThenReadGivesTheSameRecordsInBothByteModes) {
  std::mt19937 rng(7);
  for (int round = 0; round < 2000; ++round) {
    for (const ByteMode mode : {ByteMode::Utf8, ByteMode::Latin1}) {
      AlertDefinitions defs = RandomRecords(rng, 3);
      if (mode == ByteMode::Latin1 && !defs.definitions.empty()) {
        defs.definitions.front().name += "\xE9\xFF";
      }
      std::string json;
      WriteRecordsJson(json, defs, 1U, mode, [](std::string&) {});
      AlertDefinitions back{};
      ASSERT_EQ(ReadRecordsJson(json, mode, back), 1U);
      ASSERT_TRUE(SameRecords(defs, back)) << json;
      std::string line = "{\"id\":1,";
      AppendRecordMembers(line, defs, std::nullopt, mode);
      RuleLine rule;
      ReadRuleLine(line + "}", mode, rule);
      ASSERT_TRUE(rule.has_records);
      ASSERT_TRUE(SameRecords(defs, rule.defs)) << line;
    }
  }
  AlertDefinitions bad{};
  bad.definitions.push_back({"ok", "ok", {{"k", {"a", "b\xE9"}}}});
  try {
    CheckRecordsEncodable(bad, ByteMode::Utf8);
    ADD_FAILURE();
  } catch (const InputError& error) {
    EXPECT_EQ(std::string(error.what())
                  .rfind("definitions[0].params[0].values[1] holds bytes", 0),
              0U);
  }
}

}  // namespace
}  // namespace vantrel::rules

namespace vantrel::cli {
namespace {

using rules::Status;

struct BatchRun {
  Result result;
  std::vector<nlohmann::json> rows;
  std::string output;
  std::string messages;
};

BatchRun RunOn(const Options& options, const std::string& input_text) {
  const std::string base =
      testing::TempDir() + "vantrel_batch_" +
      testing::UnitTest::GetInstance()->current_test_info()->name();
  const std::string in_path = base + "_in";
  const std::string out_path = base + "_out";
  std::ofstream(in_path, std::ios::binary) << input_text;
  std::remove(out_path.c_str());  // a run that leaves a rule out writes none
  BatchRun run;
  {
    Input input(in_path);
    Output output(out_path);
    std::ostringstream messages;
    run.result = RunCommand(options, input, output, messages);
    run.messages = messages.str();
  }
  std::ifstream file(out_path, std::ios::binary);
  run.output.assign(std::istreambuf_iterator<char>(file), {});
  if ((options.command != Command::kFormat || options.to == Form::kJsonl) &&
      options.command != Command::kEdit) {
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
      run.rows.push_back(nlohmann::json::parse(line));
    }
  }
  return run;
}

std::string Latin1Json(const std::string& bytes) {
  return rules::JsonString(bytes, rules::ByteMode::Latin1, "text");
}

TEST(Batch, EveryRowOfACheckIsTheLibrarysVerdict) {
  // Texts and record sets in one JSON Lines batch, every byte carried by
  // --bytes latin1; each row must carry its id and the library's verdict.
  std::mt19937 rng(99);
  std::string jsonl;
  std::vector<Status> expected;
  for (int i = 0; i < 20000; ++i) {
    if (i % 2 == 0) {
      const std::string text = rules::RandomText(rng);
      jsonl += "{\"id\":" + std::to_string(i) +
               ",\"text\":" + Latin1Json(text) + "}\n";
      expected.push_back(rules::LibraryVerdict(text));
    } else {
      const AlertDefinitions defs = rules::RandomRecords(rng, 2);
      const rules::Combination combination = rules::RandomCombination(rng);
      jsonl += "{\"id\":\"r" + std::to_string(i) + "\",";
      rules::AppendRecordMembers(jsonl, defs, combination,
                                 rules::ByteMode::Latin1);
      jsonl += "}\n";
      expected.push_back(rules::LibraryVerdict(defs, combination));
    }
  }
  Options options;
  options.batch = Form::kJsonl;
  options.mode = rules::ByteMode::Latin1;
  const BatchRun run = RunOn(options, jsonl);
  ASSERT_EQ(run.rows.size(), expected.size());
  std::map<std::string, int> counts;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const nlohmann::json id = i % 2 == 0
                                  ? nlohmann::json(i)
                                  : nlohmann::json("r" + std::to_string(i));
    ASSERT_EQ(run.rows[i]["id"], id);
    ASSERT_EQ(run.rows[i]["status"], rules::StatusName(expected[i])) << i;
    ++counts[rules::StatusName(expected[i])];
  }
  EXPECT_EQ(run.result.code, ExitCode::kNotOk);
  EXPECT_EQ(run.messages.rfind(
                "vantrel check: 20000 rules: " + std::to_string(counts["ok"]) +
                    " ok, " + std::to_string(counts["lossy"]) + " lossy, " +
                    std::to_string(counts["rejected"]) + " rejected, 0 error\n",
                0),
            0U)
      << run.messages;
}

TEST(Batch, ABadLineCostsThatLineOnly) {
  Options options;
  options.batch = Form::kJsonl;
  const BatchRun run = RunOn(
      options, "{\"id\": \"a\", \"text\": \"" + rules::kA +
                   "\"}\n{\"id\": 1e400, \"text\": \"\"}\n\n{\"id\": 1.5, "
                   "\"text\": \"\"}\n{oops\n{\"id\": 7, \"text\": \"" +
                   rules::kA + "\"}\n");
  // Every row is in the output: the error rows too.
  EXPECT_EQ(run.result.code, ExitCode::kNotOk);
  ASSERT_EQ(run.rows.size(), 5U);
  EXPECT_EQ(run.rows[0]["status"], "ok");
  for (std::size_t i = 1; i < 4; ++i) {
    EXPECT_EQ(run.rows[i]["status"], "error");
    EXPECT_TRUE(run.rows[i]["id"].is_null());  // never the line number
  }
  EXPECT_EQ(run.rows[1]["line"], 2);
  EXPECT_EQ(run.rows[2]["line"], 4);  // the blank line 3 is no rule
  EXPECT_EQ(run.rows[4]["id"], 7);
  EXPECT_EQ(run.rows[4]["status"], "ok");
}

TEST(Batch, AMigrationKeepsEveryRule) {
  // parse a batch, then format it: rules read whole are written from their
  // records, the others keep their text, and every id comes out in order.
  const std::vector<std::string> texts = {
      rules::kA + " @@AND@@ " + rules::kB, rules::kA + " @@AND@@ " + rules::kR,
      "hello world",
      rules::kA + " @@AND@@ " + rules::kB + " @@OR@@ " + rules::kA, rules::kB};
  std::string lines;
  for (const std::string& text : texts) lines += text + "\n";
  Options options;
  options.command = Command::kParse;
  options.batch = Form::kLines;
  const BatchRun parsed = RunOn(options, lines);
  ASSERT_EQ(parsed.rows.size(), texts.size());
  EXPECT_EQ(parsed.rows[1]["status"], "rejected");
  EXPECT_EQ(parsed.rows[2]["status"], "lossy");
  EXPECT_EQ(parsed.rows[3]["status"], "lossy");
  std::string rows;
  for (const nlohmann::json& row : parsed.rows) {
    if (row["status"] != "ok") {
      EXPECT_TRUE(row.contains("text"));
    }
    rows += row.dump() + "\n";
  }
  options.command = Command::kFormat;
  options.batch = Form::kJsonl;
  options.to = Form::kLines;
  const BatchRun formatted = RunOn(options, rows);
  EXPECT_EQ(formatted.output, lines);
  // Three rules are kept as they were, not rewritten: all are in the output.
  EXPECT_EQ(formatted.result.code, ExitCode::kNotOk) << formatted.messages;

  // --strict: a lossy rule with no stored text to keep is left out, named
  // and counted, and the output is not committed (exit code 2).
  options.strict = true;
  const std::string lossy =
      R"({"id": 1, "combination": null, "definitions": [{"name": "n--#--", "detail": "", "params": []}]})"
      "\n";
  for (const Form to : {Form::kLines, Form::kTsv, Form::kJsonl}) {
    options.to = to;
    const BatchRun run = RunOn(options, lossy);
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(run.result.code, ExitCode::kError);
    EXPECT_FALSE(run.result.complete);
    EXPECT_NE(run.messages.find("line 1 (id 1) is not in the output"),
              std::string::npos);
    EXPECT_NE(run.messages.find("1 not in the output"), std::string::npos);
  }
}

}  // namespace
}  // namespace vantrel::cli
