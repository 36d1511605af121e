// The tool's units, held to the library's own behaviour where they mirror
// it: piece and item location, byte encodings, the JSON reader and writer,
// the records check, the exact check of texts and the batch modes.
#include <gtest/gtest.h>
#include <vantrel/alert_definitions.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "batch.h"
#include "io.h"
#include "locate.h"
#include "records_json.h"
#include "round_trip.h"
#include "support/records.h"
#include "support/sample_texts.h"

namespace vantrel_cli {
namespace {

using vantrel_test::SameRecords;

// The worked example's two conditions and one the library rejects.
const std::string kA = vantrel_test::kAlphaText;
const std::string kB = vantrel_test::kBetaText;
const std::string kR = vantrel_test::kRejectedDeltaText;

// Random texts made of marks, joiners and short filler, so that every
// branch of the reader is reached.
std::string RandomText(std::mt19937& rng) {
  static const std::vector<std::string> tokens = {
      "--#--", "--{--", "--}--", "--;--", "==", "--,--", "@@AND@@", "@@OR@@",
      "k",     "v",     "-",     "=",     " ",  "#",     "{",       "}"};
  std::uniform_int_distribution<std::size_t> length(0, 24);
  std::uniform_int_distribution<std::size_t> pick(0, tokens.size() - 1);
  std::string text;
  for (std::size_t n = length(rng); n > 0; --n) text += tokens[pick(rng)];
  return text;
}

std::string Slice(const std::string& text, Span span) {
  return text.substr(span.offset, span.size);
}

TEST(PieceLocation, FindsPiecesAndTheRejectedItemAsTheLibraryReadsThem) {
  // A rejected middle piece: A @@AND@@ R @@AND@@ B.
  const std::string text = kA + " @@AND@@ " + kR + " @@AND@@ " + kB;
  ASSERT_EQ(text.size(), 146U);
  EXPECT_EQ(JoinerOf(text), kAndJoiner);
  const std::vector<Span> pieces = Pieces(text);
  ASSERT_EQ(pieces.size(), 3U);
  EXPECT_EQ(pieces[1].offset, 57U);
  EXPECT_EQ(Slice(text, pieces[1]), " " + kR + " ");
  EXPECT_EQ(Slice(text, pieces[2]), " " + kB);
  const Rejection rejection = LocateRejection(text, 1);
  EXPECT_EQ(rejection.piece, 2U);
  EXPECT_EQ(rejection.offset, 57U);
  EXPECT_EQ(rejection.item, 1U);
  EXPECT_EQ(Slice(text, rejection.item_span), "k4");
  EXPECT_EQ(LocateRejection(text, 0).item, 0U);
  EXPECT_EQ(Describe(rejection, text),
            "piece 2 (at byte 57) is rejected: its parameter item 1 (at byte "
            "89) has no \"==\" of its own: \"k4\"");

  // The or-joiner wins wherever it is; "@@AND@@" stays inside the pieces.
  const std::string mixed = kA + " @@AND@@ " + kB + " @@OR@@ " + kA;
  EXPECT_EQ(JoinerOf(mixed), kOrJoiner);
  EXPECT_EQ(Pieces(mixed).at(1).offset, 100U + 6U);
  // No joiner: one piece, the whole text; the empty text is one piece too.
  EXPECT_EQ(Pieces(kA).size(), 1U);
  EXPECT_EQ(Pieces(kA).front().size, kA.size());
  EXPECT_EQ(Pieces("").size(), 1U);
  // "@@AND@@" alone: two empty pieces.
  ASSERT_EQ(Pieces("@@AND@@").size(), 2U);
  EXPECT_EQ(Pieces("@@AND@@")[1].offset, 7U);
  EXPECT_EQ(Pieces("@@AND@@")[1].size, 0U);
}

TEST(PieceLocation, NamesTheRightItemAmongSeveral) {
  const std::string piece =
      "--#--n--#----{--d--}----{--a==1--;--b==2--;--c--;--e==5--}--";
  const Rejection rejection = LocateRejection(piece, 0);
  EXPECT_EQ(rejection.item, 3U);
  EXPECT_EQ(Slice(piece, rejection.item_span), "c");
  const auto item = [](const std::string& text) {
    return LocateRejection(text, 0).item;
  };
  // An "==" of a later item does not rescue an earlier one.
  EXPECT_EQ(item("--#--n--#----{----}----{--a--;--b==2--}--"), 1U);
  // An empty key fails: "==" is looked for from the item's second byte.
  EXPECT_EQ(item("--#--n--#----{----}----{--==v--}--"), 1U);
  // "--{--" directly followed by "--}--" is an item without "==".
  EXPECT_EQ(item("--#--n--#----{----}----{----}--"), 1U);
  // No params block, or one without its closing mark: accepted.
  EXPECT_EQ(item("--#--n--#----{--d--}----}--"), 0U);
  EXPECT_EQ(item("--#--n--#----{--d--}----{--k"), 0U);
}

TEST(PieceLocation, AgreesWithTheLibraryOnRandomTexts) {
  std::mt19937 rng(20261209);
  int rejected = 0;
  for (int round = 0; round < 20000; ++round) {
    const std::string text = RandomText(rng);
    AlertDefinitions defs{};
    const bool ok = GetFuncDefinition(text, defs);
    const std::size_t read = defs.definitions.size();
    // Every piece before the failure is accepted by the mirror, too.
    for (std::size_t i = 0; i < read; ++i) {
      ASSERT_EQ(LocateRejection(text, i).item, 0U) << text;
    }
    if (ok) {
      ASSERT_EQ(Pieces(text).size(), read) << text;
    } else {
      ++rejected;
      ASSERT_LT(read, Pieces(text).size()) << text;
      ASSERT_NE(LocateRejection(text, read).item, 0U) << text;
    }
  }
  EXPECT_GT(rejected, 100);  // the texts do reach the failure path
}

// The message of JsonString for bytes that are not UTF-8; empty when they
// are.
std::string Utf8Error(const std::string& bytes) {
  try {
    JsonString(bytes, ByteMode::Utf8, "f");
  } catch (const InputError& error) {
    return error.what();
  }
  return "";
}

TEST(ByteEncoding, Utf8ValidationFindsTheFirstBadByte) {
  EXPECT_EQ(Utf8Error(""), "");
  EXPECT_EQ(Utf8Error("plain ascii"), "");
  EXPECT_EQ(Utf8Error("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"), "");
  EXPECT_EQ(Utf8Error(std::string("nul\0byte", 8)), "");
  const auto at = [](const std::string& bytes) {
    const std::string error = Utf8Error(bytes);
    const std::size_t from = error.find("(first at byte ");
    if (from == std::string::npos) return error;
    return error.substr(from + 15, error.find(' ', from + 15) - from - 15);
  };
  EXPECT_EQ(at("caf\xE9"), "3");               // Latin-1 byte
  EXPECT_EQ(at("ab\x80"), "2");                // lone continuation
  EXPECT_EQ(at("\xC0\x80"), "0");              // overlong NUL
  EXPECT_EQ(at("x\xE0\x80\x80"), "1");         // overlong 3-byte
  EXPECT_EQ(at("\xED\xA0\x80"), "0");          // surrogate
  EXPECT_EQ(at("\xF4\x90\x80\x80"), "0");      // above U+10FFFF
  EXPECT_EQ(at("\xF8\x88\x80\x80\x80"), "0");  // 5-byte form
  EXPECT_EQ(at("ok\xE2\x82"), "2");            // cut short
  EXPECT_EQ(at("caf\xE9!"), "3");              // a lead byte without its tail
  EXPECT_EQ(at("\xC3\xA9\x80"), "2");          // a stray byte after a whole one
}

TEST(ByteEncoding, Latin1IsExactForEveryByteAndOnlyForThose) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
  const std::string json = JsonString(all, ByteMode::Latin1, "f");
  EXPECT_NE(json.find("\\u00e9"), std::string::npos);
  EXPECT_NE(json.find("\\u0000"), std::string::npos);
  EXPECT_EQ(json.find_first_of("\x80\xFF"), std::string::npos);  // ASCII only
  EXPECT_EQ(FieldBytes(nlohmann::json::parse(json).get<std::string>(),
                       ByteMode::Latin1, "f"),
            all);
  EXPECT_THROW(FieldBytes("\xC4\x80", ByteMode::Latin1, "f"), InputError);
  EXPECT_THROW(FieldBytes("\xE2\x82\xAC", ByteMode::Latin1, "f"), InputError);

  // Without latin1, UTF-8 is copied; controls, quote and backslash escaped.
  EXPECT_EQ(JsonString("caf\xC3\xA9\n\"\\", ByteMode::Utf8, "f"),
            "\"caf\xC3\xA9\\n\\\"\\\\\"");
}

TEST(ByteEncoding, ExcerptsAreEscapedAndCutWithTheirLength) {
  EXPECT_EQ(Excerpt("a\xE9"
                    "b"),
            "\"a\\ufffdb\"");
  EXPECT_EQ(Excerpt(std::string("\0\x1B[31m\n", 7)),
            "\"\\u0000\\u001b[31m\\n\"");
  EXPECT_EQ(Excerpt(std::string(100, 'a')),
            "\"" + std::string(kExcerptBytes, 'a') + "\"... (100 bytes)");
  EXPECT_EQ(Around(std::string(100, 'a'), 50).size(), kExcerptBytes);
  EXPECT_EQ(Around("abc", 2), "abc");
}

struct ReadResult {
  bool ok = false;
  Combination combination;
  std::string error;
};

ReadResult Read(const std::string& json, AlertDefinitions& defs,
                ByteMode mode = ByteMode::Utf8) {
  ReadResult result;
  try {
    result.combination = ReadRecordsJson(json, mode, defs);
    result.ok = true;
  } catch (const InputError& error) {
    result.error = error.what();
  }
  return result;
}

std::string ErrorOf(const std::string& json) {
  AlertDefinitions defs{};
  const ReadResult result = Read(json, defs);
  EXPECT_FALSE(result.ok) << json;
  return result.error;
}

const auto kKeep = [](std::string& /*chunk*/) {};

TEST(DefinitionsJson, ReadsTheShapeInAnyMemberOrder) {
  AlertDefinitions defs{};
  const auto result = Read(
      R"({"definitions": [{"params": [{"values": ["a1", "a2"], "key": "k1"}],
          "detail": "x", "name": "Alpha"}], "combination": 4294967295})",
      defs);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.combination, 4294967295U);
  ASSERT_EQ(defs.definitions.size(), 1U);
  const AlertDefinition& record = defs.definitions.front();
  EXPECT_EQ(record.name, "Alpha");
  EXPECT_EQ(record.detail, "x");
  ASSERT_EQ(record.params.size(), 1U);
  EXPECT_EQ(record.params.front().key, "k1");
  EXPECT_EQ(record.params.front().values, (std::list<std::string>{"a1", "a2"}));

  AlertDefinitions none{};
  const auto null_result =
      Read(R"({"combination": null, "definitions": []})", none);
  ASSERT_TRUE(null_result.ok);
  EXPECT_FALSE(null_result.combination);
  EXPECT_TRUE(none.definitions.empty());
}

TEST(DefinitionsJson, NamesThePathOfEveryShapeError) {
  const std::string head = R"({"combination": 1, "definitions": [)";
  const std::string ok_record = R"({"name": "", "detail": "", "params": []})";
  EXPECT_EQ(ErrorOf(head + ok_record + "," + ok_record + "," + ok_record +
                    R"(, {"name": "", "detail": "", "params": [{"key": "k",
                    "values": "v"}]}]})"),
            "definitions[3].params[0].values: expected an array of strings, "
            "found a string");
  EXPECT_EQ(ErrorOf(head + R"({"name": 5}]})"),
            "definitions[0].name: expected a string, found a number");
  EXPECT_EQ(ErrorOf(head + R"({"name": "", "detail": ""}]})"),
            "definitions[0]: missing member \"params\"");
  EXPECT_EQ(ErrorOf(head + R"({"nmae": ""}]})"),
            "definitions[0].nmae: unknown member (expected \"name\", "
            "\"detail\", \"params\")");
  EXPECT_EQ(ErrorOf(head + R"({"name": "", "name": ""}]})"),
            "definitions[0].name: given twice");
  EXPECT_EQ(ErrorOf(R"({"definitions": []})"),
            "(top level): missing member \"combination\"");
  EXPECT_EQ(ErrorOf(R"([])"),
            "(top level): expected an object with \"combination\" and "
            "\"definitions\", found an array");
  EXPECT_NE(ErrorOf(R"({"combination": 4294967296, "definitions": []})")
                .find("combination: expected null or an integer"),
            std::string::npos);
  EXPECT_NE(
      ErrorOf(R"({"combination": -1, "definitions": []})").find("negative"),
      std::string::npos);
  EXPECT_NE(
      ErrorOf(R"({"combination": 1.0, "definitions": []})").find("fractional"),
      std::string::npos);
  EXPECT_NE(
      ErrorOf(R"({"combination": true, "definitions": []})").find("boolean"),
      std::string::npos);
}

TEST(DefinitionsJson, ReportsLineAndColumnOfSyntaxErrors) {
  const std::string error = ErrorOf("{\n  \"combination\": 1,\n  oops\n}");
  EXPECT_EQ(error.rfind("line 3, column 3:", 0), 0U) << error;
  EXPECT_EQ(ErrorOf("").rfind("line 1, column 1:", 0), 0U);
  // Trailing text after the object is an error too.
  EXPECT_EQ(ErrorOf(R"({"combination": 1, "definitions": []} x)")
                .rfind("line 1, column 39:", 0),
            0U);
  // Latin1 mode refuses characters that stand for no byte.
  AlertDefinitions defs{};
  const auto result =
      Read(R"({"combination": 1, "definitions": [{"name": "\u0100",
           "detail": "", "params": []}]})",
           defs, ByteMode::Latin1);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error.rfind("definitions[0].name: holds a character", 0),
            0U);
}

AlertDefinitions RandomRecords(std::mt19937& rng, bool any_bytes) {
  std::uniform_int_distribution<int> small(0, 3);
  std::uniform_int_distribution<int> byte(any_bytes ? 0 : 0x20,
                                          any_bytes ? 255 : 0x7E);
  const auto field = [&] {
    std::string s;
    for (int n = small(rng) * 2; n > 0; --n) s += static_cast<char>(byte(rng));
    return s;
  };
  AlertDefinitions defs{};
  for (int r = small(rng); r > 0; --r) {
    AlertDefinition& record = defs.definitions.emplace_back();
    record.name = field();
    record.detail = field();
    for (int p = small(rng); p > 0; --p) {
      DefinitionParam& param = record.params.emplace_back();
      param.key = field();
      for (int v = small(rng); v > 0; --v) param.values.push_back(field());
    }
  }
  return defs;
}

TEST(DefinitionsJson, WriteThenReadGivesTheSameRecordsInBothByteModes) {
  std::mt19937 rng(7);
  for (int round = 0; round < 500; ++round) {
    for (const ByteMode mode : {ByteMode::Utf8, ByteMode::Latin1}) {
      const AlertDefinitions defs =
          RandomRecords(rng, mode == ByteMode::Latin1);
      std::string json;
      WriteRecordsJson(json, defs, std::uint32_t{1}, mode, kKeep);
      AlertDefinitions back{};
      const auto result = Read(json, back, mode);
      ASSERT_TRUE(result.ok) << result.error << "\n" << json;
      EXPECT_EQ(result.combination, 1U);
      ASSERT_TRUE(SameRecords(defs, back)) << json;
    }
  }
}

TEST(DefinitionsJson, FlushedOutputIsTheSameAsUnflushed) {
  AlertDefinitions defs{};
  for (int r = 0; r < 3000; ++r) {
    defs.definitions.push_back(
        {"name" + std::to_string(r), std::string(700, 'd'), {{"k", {"v"}}}});
  }
  std::string whole;
  WriteRecordsJson(whole, defs, std::nullopt, ByteMode::Utf8, kKeep);
  std::string streamed;
  std::string buffer;
  int flushes = 0;
  WriteRecordsJson(buffer, defs, std::nullopt, ByteMode::Utf8,
                   [&](std::string& chunk) {
                     EXPECT_GE(chunk.size(), std::size_t{1} << 16);
                     streamed += chunk;
                     chunk.clear();
                     ++flushes;
                   });
  streamed += buffer;
  EXPECT_GE(flushes, 1);
  EXPECT_EQ(streamed, whole);
}

TEST(DefinitionsJson, UnwritableFieldIsNamedByItsPath) {
  AlertDefinitions defs{};
  defs.definitions.push_back({"ok", "ok", {{"k", {"a", "b\xE9"}}}});
  std::string json;
  try {
    WriteRecordsJson(json, defs, std::nullopt, ByteMode::Utf8, kKeep);
    ADD_FAILURE() << "written: " << json;
  } catch (const InputError& error) {
    EXPECT_EQ(
        std::string(error.what())
            .rfind("definitions[0].params[0].values[1] holds bytes that are "
                   "not UTF-8 (first at byte 1 of the field)",
                   0),
        0U);
  }
  json.clear();
  WriteRecordsJson(json, defs, std::nullopt, ByteMode::Latin1, kKeep);
  EXPECT_NE(json.find("\"b\\u00e9\""), std::string::npos);
}

std::vector<std::string> Paths(const std::vector<Problem>& report) {
  std::vector<std::string> paths;
  for (const Problem& problem : report) paths.push_back(problem.path);
  return paths;
}

TEST(RoundTripCheck, NamesTheFieldAndTheMarkThatBreaksIt) {
  AlertDefinitions defs{};
  defs.definitions.push_back(
      {"Average_ResponseTime",
       "response time",
       {{"Transaction_Name", {"Login", "Pay--,--Out"}}, {"Times", {"3"}}}});
  defs.definitions.push_back(
      {"Transaction_Filter", "transaction", {{"Transaction_Name", {"Login"}}}});
  const std::vector<Problem> report = CheckRecords(Kind::Func, defs, 1U);
  ASSERT_EQ(Paths(report),
            (std::vector<std::string>{"definitions[0].params[0].values[1]"}));
  const Problem& problem = report.front();
  EXPECT_NE(problem.cause.find("\"--,--\""), std::string::npos);
  EXPECT_EQ(problem.written, "Pay--,--Out");
  EXPECT_EQ(problem.read_back, "Pay");

  // Mark formed with the mark after it: "x--,-" then "--,--".
  defs.definitions.front().params.front().values = {"x--,-", "y"};
  const std::vector<Problem> formed = CheckRecords(Kind::Func, defs, 1U);
  ASSERT_EQ(Paths(formed),
            (std::vector<std::string>{"definitions[0].params[0].values[0]"}));
  EXPECT_NE(formed.front().cause.find("with the mark after it"),
            std::string::npos);

  // The same records without the troublesome value survive, including
  // values that only look dangerous.
  defs.definitions.front().params.front().values = {"x-", "a==b", "--{--"};
  EXPECT_TRUE(CheckRecords(Kind::Func, defs, 1U).empty());
  EXPECT_TRUE(CheckRecords(Kind::Filter, defs, 0U).empty());
}

TEST(RoundTripCheck, ReportsJoinersAndCombinationsThatDoNotSurvive) {
  AlertDefinitions defs{};
  defs.definitions.push_back({"A", "uses @@OR@@", {{"k", {"v"}}}});
  defs.definitions.push_back({"B", "", {{"k", {"v"}}}});
  const std::vector<Problem> joiner = CheckRecords(Kind::Func, defs, 1U);
  EXPECT_EQ(Paths(joiner),
            (std::vector<std::string>{"definitions[0]", "definitions[0].detail",
                                      "combination"}));
  EXPECT_EQ(joiner.back().written, "1");
  EXPECT_EQ(joiner.back().read_back, "0");

  defs.definitions.front().detail = "plain";
  EXPECT_TRUE(CheckRecords(Kind::Func, defs, 0U).empty());
  EXPECT_EQ(Paths(CheckRecords(Kind::Func, defs, 7U)),
            (std::vector<std::string>{"definitions", "combination"}));
  EXPECT_EQ(Paths(CheckRecords(Kind::Func, defs, std::nullopt)),
            (std::vector<std::string>{"definitions"}));
  defs.definitions.pop_back();
  EXPECT_EQ(Paths(CheckRecords(Kind::Func, defs, 1U)),
            (std::vector<std::string>{"combination"}));
  EXPECT_TRUE(CheckRecords(Kind::Func, defs, std::nullopt).empty());
  AlertDefinitions empty{};
  EXPECT_EQ(Paths(CheckRecords(Kind::Func, empty, std::nullopt)),
            (std::vector<std::string>{"definitions"}));
}

TEST(RoundTripCheck, SurvivesExactlyWhenTheLibraryGivesTheSameRecordsBack) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> pick(0, 9);
  static const char* const pieces[] = {
      "--,--",   "--;--",  "--}--", "==", "--#--",
      "@@AND@@", "@@OR@@", "-",     "=",  "v"};
  int lossy = 0;
  for (int round = 0; round < 3000; ++round) {
    AlertDefinitions defs = RandomRecords(rng, false);
    // Sprinkle marks into the fields.
    for (AlertDefinition& record : defs.definitions) {
      record.name += pieces[pick(rng)];
      for (DefinitionParam& param : record.params) {
        for (std::string& value : param.values) value += pieces[pick(rng)];
      }
    }
    const std::optional<std::uint32_t> combination =
        pick(rng) < 5 ? std::optional<std::uint32_t>(1U) : std::nullopt;
    const std::vector<Problem> report =
        CheckRecords(Kind::Func, defs, combination);

    defs.combination = combination ? *combination : kNoJoiner;
    std::string text;
    SetFuncDefinition(text, defs);
    AlertDefinitions back{};
    back.combination = kNoJoiner;
    const bool ok = GetFuncDefinition(text, back);
    const std::optional<std::uint32_t> got =
        back.combination <= 1 ? std::optional<std::uint32_t>(back.combination)
                              : std::nullopt;
    const bool same = ok && SameRecords(defs, back) && got == combination;
    ASSERT_EQ(report.empty(), same) << text;
    if (!same) ++lossy;
  }
  EXPECT_GT(lossy, 300);
  EXPECT_LT(lossy, 2900);
}

TEST(ExactCheck, AgreesWithTheLibraryByteForByte) {
  std::mt19937 rng(4242);
  std::array<int, 3> seen{};
  for (int round = 0; round < 20000; ++round) {
    std::string text = RandomText(rng);
    if (round % 3 == 0) {
      AlertDefinitions defs = RandomRecords(rng, true);
      defs.combination = static_cast<std::uint32_t>(round % 2);
      SetFuncDefinition(text, defs);
    }
    AlertDefinitions defs{};
    const bool ok = GetFuncDefinition(text, defs);
    const TextCheck check = CheckText(Kind::Func, text);
    ++seen.at(static_cast<std::size_t>(check.status));
    if (!ok) {
      ASSERT_EQ(check.status, TextCheck::Status::Rejected) << text;
      ASSERT_EQ(check.rejection.piece, defs.definitions.size() + 1) << text;
      continue;
    }
    std::string back;
    SetFuncDefinition(back, defs);
    ASSERT_EQ(check.conditions, defs.definitions.size());
    if (back == text) {
      ASSERT_EQ(check.status, TextCheck::Status::Ok) << text;
      continue;
    }
    ASSERT_EQ(check.status, TextCheck::Status::Lossy) << text;
    ASSERT_EQ(check.written, back);
    ASSERT_LE(check.difference, std::min(text.size(), back.size()));
    ASSERT_EQ(text.compare(0, check.difference, back, 0, check.difference), 0);
    if (check.difference < std::min(text.size(), back.size())) {
      ASSERT_NE(text[check.difference], back[check.difference]);
    }
    for (const Cause& cause : check.causes) {
      ASSERT_LE(cause.offset + cause.size, text.size()) << text;
    }
  }
  for (const int count : seen) EXPECT_GT(count, 200);
}

// The first cause of a lossy text, and the bytes it names.
std::pair<std::string, std::string> FirstCause(const std::string& text) {
  const TextCheck check = CheckText(Kind::Func, text);
  EXPECT_EQ(check.status, TextCheck::Status::Lossy) << text;
  if (check.causes.empty()) return {};
  const Cause& cause = check.causes.front();
  return {cause.what, text.substr(cause.offset, cause.size)};
}

TEST(ExactCheck, NamesTheCausesOfTheReproductions) {
  const std::string a = "--#--A--#----{--x--}----{--k==a--}--";
  const std::string b = "--#--B--#----{--y--}----{--k==b--}--";
  auto [what, bytes] = FirstCause(a + " @@AND@@ " + b + " @@OR@@ " + a);
  EXPECT_NE(what.find("holds both joiners"), std::string::npos);
  EXPECT_EQ(bytes, " @@AND@@ " + b);
  std::tie(what, bytes) = FirstCause(a + "\n" + b + "\n" + a);
  EXPECT_NE(what.find("another condition follows condition 1"),
            std::string::npos);
  EXPECT_EQ(bytes, "\n" + b + "\n" + a);
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
  EXPECT_EQ(CheckText(Kind::Filter, a + " @@OR@@ " + b).status,
            TextCheck::Status::Ok);
}

// Stored rules as an export holds them: the examples, rules the library
// writes from random records, and texts that are lossy or rejected.
std::vector<std::string> MixOfRules(std::mt19937& rng, std::size_t count) {
  std::vector<std::string> rules;
  std::uniform_int_distribution<int> pick(0, 5);
  while (rules.size() < count) {
    switch (pick(rng)) {
      case 0:
        rules.push_back(kA + " @@AND@@ " + kB);
        break;
      case 1:
        rules.push_back(kA + " @@OR@@ " + kR);
        break;  // rejected
      case 2:
        rules.push_back(kA + " @@AND@@ " + kB + " @@OR@@ " + kA);
        break;
      case 3:
        rules.push_back(kA + "  trailing");
        break;
      default: {
        AlertDefinitions defs = RandomRecords(rng, false);
        defs.combination = 1;
        std::string text;
        SetFuncDefinition(text, defs);
        if (text.find_first_of("\r\n\t") == std::string::npos) {
          rules.push_back(text);
        }
      }
    }
  }
  return rules;
}

struct BatchRun {
  int code = 0;
  std::vector<nlohmann::json> answers;
  std::string output;
  std::string messages;
};

BatchRun RunOn(const BatchOptions& options, const std::string& input_text) {
  // CTest runs each test in a process of its own, two at a time, so the
  // files are named after the test that uses them.
  const std::string base =
      testing::TempDir() + "vantrel_batch_" +
      testing::UnitTest::GetInstance()->current_test_info()->name();
  const std::string in_path = base + "_in";
  const std::string out_path = base + "_out";
  std::ofstream(in_path, std::ios::binary) << input_text;
  BatchRun run;
  {
    Input input(in_path);
    Output output(out_path);
    std::ostringstream messages;
    run.code = RunBatch(options, input, output, messages);
    output.Commit();
    run.messages = messages.str();
  }
  std::ifstream file(out_path, std::ios::binary);
  run.output.assign(std::istreambuf_iterator<char>(file), {});
  if (options.command != Command::Format || options.output == Form::Jsonl) {
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
      run.answers.push_back(nlohmann::json::parse(line));
    }
  }
  return run;
}

// The library's own answer for a stored rule.
std::string Expected(const std::string& text) {
  AlertDefinitions defs{};
  if (!GetFuncDefinition(text, defs)) return "rejected";
  std::string back;
  SetFuncDefinition(back, defs);
  return back == text ? "ok" : "lossy";
}

TEST(Batch, CheckAgreesWithTheLibraryInEveryInputForm) {
  std::mt19937 rng(99);
  const std::vector<std::string> rules = MixOfRules(rng, 600);
  std::string lines;
  std::string tsv;
  std::string jsonl;
  std::map<std::string, int> counts;
  for (std::size_t i = 0; i < rules.size(); ++i) {
    lines += rules[i] + (i % 3 == 0 ? "\r\n" : "\n");
    tsv += "rule-" + std::to_string(i) + "\t" + rules[i] + "\n";
    jsonl += nlohmann::json{{"id", i}, {"text", rules[i]}}.dump() + "\n";
    ++counts[Expected(rules[i])];
  }
  ASSERT_GT(counts["ok"], 100);
  ASSERT_GT(counts["lossy"], 100);
  ASSERT_GT(counts["rejected"], 50);
  BatchOptions options;
  for (const Form form : {Form::Lines, Form::Tsv, Form::Jsonl}) {
    options.input = form;
    const BatchRun run = RunOn(options, form == Form::Lines ? lines
                                        : form == Form::Tsv ? tsv
                                                            : jsonl);
    ASSERT_EQ(run.code, 1);
    ASSERT_EQ(run.answers.size(), rules.size());
    for (std::size_t i = 0; i < rules.size(); ++i) {
      const nlohmann::json id =
          form == Form::Lines ? nlohmann::json(i + 1)
          : form == Form::Tsv ? nlohmann::json("rule-" + std::to_string(i))
                              : nlohmann::json(i);
      ASSERT_EQ(run.answers[i]["id"], id);
      ASSERT_EQ(run.answers[i]["status"], Expected(rules[i])) << rules[i];
    }
    EXPECT_EQ(run.messages,
              "vantrel check: 600 rules: " + std::to_string(counts["ok"]) +
                  " ok, " + std::to_string(counts["lossy"]) + " lossy, " +
                  std::to_string(counts["rejected"]) + " rejected, 0 error\n");
  }
  // A line that cannot be read is an error of its own; the others go on.
  options.input = Form::Jsonl;
  const BatchRun broken =
      RunOn(options, "{\"id\": \"a\", \"text\": \"" + kA + "\"}\n{oops\n" +
                         "{\"id\": [1], \"text\": \"\"}\n" + kA + "\n");
  EXPECT_EQ(broken.code, 2);
  ASSERT_EQ(broken.answers.size(), 4U);
  EXPECT_EQ(broken.answers[0]["status"], "ok");
  EXPECT_EQ(broken.answers[1]["status"], "error");
  EXPECT_EQ(broken.answers[1]["line"], 2);
  EXPECT_EQ(broken.answers[2]["status"], "error");
  EXPECT_EQ(broken.answers[3]["status"], "error");
}

TEST(Batch, ParseAndFormatGiveTheLibrarysRecordsAndTexts) {
  std::mt19937 rng(7);
  const std::vector<std::string> rules = MixOfRules(rng, 300);
  std::string lines;
  for (const std::string& rule : rules) lines += rule + "\n";
  BatchOptions options;
  options.command = Command::Parse;
  const BatchRun parsed = RunOn(options, lines);
  ASSERT_EQ(parsed.answers.size(), rules.size());
  std::string records;  // the lines of the rules read whole, for format
  std::vector<std::string> texts;  // what the library writes for them
  for (std::size_t i = 0; i < rules.size(); ++i) {
    AlertDefinitions want{};
    const bool ok = GetFuncDefinition(rules[i], want);
    const nlohmann::json& answer = parsed.answers[i];
    ASSERT_EQ(answer["status"], ok ? "ok" : "rejected");
    if (!ok) {
      ASSERT_FALSE(answer.contains("definitions"));
      continue;
    }
    AlertDefinitions got{};
    RecordsFromJson(answer, ByteMode::Utf8, got, {"id", "status"});
    ASSERT_TRUE(SameRecords(want, got)) << rules[i];
    records += answer.dump() + "\n";
    texts.emplace_back();
    SetFuncDefinition(texts.back(), want);
  }
  options.command = Command::Format;
  const BatchRun formatted = RunOn(options, records);
  ASSERT_EQ(formatted.answers.size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    ASSERT_EQ(formatted.answers[i]["text"], texts[i]);
  }
  options.output = Form::Lines;
  std::string joined;
  for (const std::string& text : texts) joined += text + "\n";
  EXPECT_EQ(RunOn(options, records).output, joined);

  // --strict leaves out what would not read back; --partial keeps the
  // records read before a rejected piece.
  options.output = Form::Jsonl;
  options.strict = true;
  const BatchRun strict = RunOn(
      options,
      R"({"id": 1, "combination": 1, "definitions": [{"name": "n", "detail": "", "params": [{"key": "", "values": []}]}]})"
      "\n");
  EXPECT_EQ(strict.code, 1);
  EXPECT_EQ(strict.answers.at(0)["status"], "lossy");
  EXPECT_FALSE(strict.answers.at(0).contains("text"));
  EXPECT_NE(strict.messages.find("definitions[0].params[0].key: is empty"),
            std::string::npos);
  options.command = Command::Parse;
  options.partial = true;
  const BatchRun partial = RunOn(options, kA + " @@AND@@ " + kR + "\n");
  EXPECT_EQ(partial.answers.at(0)["status"], "rejected");
  EXPECT_EQ(partial.answers.at(0)["definitions"].size(), 1U);
}

}  // namespace
}  // namespace vantrel_cli
