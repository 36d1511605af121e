// The tool's helpers, held to the library's own behaviour where they mirror
// it: piece and item location, byte encodings, the JSON reader and writer,
// and the round-trip check.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <vantrel/alert_definitions.h>

#include "definitions_json.h"
#include "round_trip.h"
#include "text_scan.h"

namespace vantrel_cli {
namespace {

const std::string kA = "--#--Alpha--#----{--x--}----{--k1==a1--,--a2--}--";
const std::string kB = "--#--Beta--#----{--y--}----{--k2==b1--}--";
const std::string kR = "--#--Delta--#----{--w--}----{--k4--}--";

// Random texts made of marks, joiners and short filler, so that every
// branch of the reader is reached.
std::string RandomText(std::mt19937& rng) {
  static const std::vector<std::string> tokens = {
      "--#--", "--{--", "--}--", "--;--", "==", "--,--", "@@AND@@",
      "@@OR@@", "k",    "v",     "-",     "=",  " ",     "#",
      "{",      "}"};
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
  const auto second = PieceAt(text, 1);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->offset, 57U);
  EXPECT_EQ(Slice(text, *second), " " + kR + " ");
  const auto item = FindRejectedItem(Slice(text, *second));
  ASSERT_TRUE(item);
  EXPECT_EQ(item->number, 1U);
  EXPECT_EQ(Slice(Slice(text, *second), item->span), "k4");
  EXPECT_FALSE(FindRejectedItem(Slice(text, *PieceAt(text, 0))));
  EXPECT_EQ(Slice(text, *PieceAt(text, 2)), " " + kB);
  EXPECT_FALSE(PieceAt(text, 3));

  // The or-joiner wins wherever it is; "@@AND@@" stays inside the pieces.
  const std::string mixed = kA + " @@AND@@ " + kB + " @@OR@@ " + kA;
  EXPECT_EQ(JoinerOf(mixed), kOrJoiner);
  EXPECT_EQ(PieceAt(mixed, 1)->offset, 100U + 6U);
  // No joiner: one piece, the whole text; the empty text is one piece too.
  EXPECT_EQ(PieceAt(kA, 0)->size, kA.size());
  EXPECT_FALSE(PieceAt(kA, 1));
  EXPECT_EQ(PieceAt("", 0)->size, 0U);
  // "@@AND@@" alone: two empty pieces.
  EXPECT_EQ(PieceAt("@@AND@@", 1)->offset, 7U);
  EXPECT_EQ(PieceAt("@@AND@@", 1)->size, 0U);
}

TEST(PieceLocation, NamesTheRightItemAmongSeveral) {
  const std::string piece = "--#--n--#----{--d--}----{--a==1--;--b==2--;--c--;--e==5--}--";
  const auto item = FindRejectedItem(piece);
  ASSERT_TRUE(item);
  EXPECT_EQ(item->number, 3U);
  EXPECT_EQ(Slice(piece, item->span), "c");
  // An "==" of a later item does not rescue an earlier one.
  EXPECT_TRUE(FindRejectedItem("--#--n--#----{----}----{--a--;--b==2--}--"));
  // An empty key fails: "==" is looked for from the item's second byte.
  EXPECT_TRUE(FindRejectedItem("--#--n--#----{----}----{--==v--}--"));
  // "--{--" directly followed by "--}--" is an item without "==".
  EXPECT_TRUE(FindRejectedItem("--#--n--#----{----}----{----}--"));
  // No params block, or one without its closing mark: accepted.
  EXPECT_FALSE(FindRejectedItem("--#--n--#----{--d--}----}--"));
  EXPECT_FALSE(FindRejectedItem("--#--n--#----{--d--}----{--k"));
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
      const auto piece = PieceAt(text, i);
      ASSERT_TRUE(piece) << text;
      ASSERT_FALSE(FindRejectedItem(Slice(text, *piece))) << text;
    }
    const auto next = PieceAt(text, read);
    if (ok) {
      ASSERT_FALSE(next) << text;
    } else {
      ++rejected;
      ASSERT_TRUE(next) << text;
      ASSERT_TRUE(FindRejectedItem(Slice(text, *next))) << text;
    }
  }
  EXPECT_GT(rejected, 100);   // the texts do reach the failure path
}

TEST(ByteEncoding, Utf8ValidationFindsTheFirstBadByte) {
  EXPECT_FALSE(FirstNonUtf8(""));
  EXPECT_FALSE(FirstNonUtf8("plain ascii"));
  EXPECT_FALSE(FirstNonUtf8("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
  EXPECT_FALSE(FirstNonUtf8(std::string("nul\0byte", 8)));
  EXPECT_EQ(FirstNonUtf8("caf\xE9"), 3U);             // Latin-1 byte
  EXPECT_EQ(FirstNonUtf8("ab\x80"), 2U);              // lone continuation
  EXPECT_EQ(FirstNonUtf8("\xC0\x80"), 0U);            // overlong NUL
  EXPECT_EQ(FirstNonUtf8("x\xE0\x80\x80"), 1U);       // overlong 3-byte
  EXPECT_EQ(FirstNonUtf8("\xED\xA0\x80"), 0U);        // surrogate
  EXPECT_EQ(FirstNonUtf8("\xF4\x90\x80\x80"), 0U);    // above U+10FFFF
  EXPECT_EQ(FirstNonUtf8("ok\xE2\x82"), 2U);          // cut short
  EXPECT_EQ(FirstNonUtf8("\xF8\x88\x80\x80\x80"), 0U);  // 5-byte form
}

TEST(ByteEncoding, Latin1IsExactForEveryByteAndOnlyForThose) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
  std::string json;
  AppendJsonString(json, all, true);
  EXPECT_NE(json.find("\\u00e9"), std::string::npos);
  EXPECT_NE(json.find("\\u0000"), std::string::npos);
  EXPECT_EQ(FirstNonUtf8(json), std::nullopt);  // pure ASCII JSON
  std::string decoded = nlohmann::json::parse(json).get<std::string>();
  ASSERT_TRUE(DecodeLatin1InPlace(decoded));
  EXPECT_EQ(decoded, all);

  std::string above = "\xC4\x80";  // U+0100
  EXPECT_FALSE(DecodeLatin1InPlace(above));
  std::string euro = "\xE2\x82\xAC";
  EXPECT_FALSE(DecodeLatin1InPlace(euro));

  // Without latin1, bytes from 0x80 up are copied; controls are escaped.
  std::string utf8;
  AppendJsonString(utf8, "caf\xC3\xA9\n\"\\", false);
  EXPECT_EQ(utf8, "\"caf\xC3\xA9\\n\\\"\\\\\"");
}

TEST(ByteEncoding, DisplayShowsEveryByteAndCutsLongText) {
  EXPECT_EQ(Display("a\xE9" "b"), "\"a\\xe9b\"");
  EXPECT_EQ(Display(std::string("\0\x7f", 2)), "\"\\u0000\\u007f\"");
  EXPECT_EQ(Display("abcdef", 3), "\"abc\"...");
}

JsonReadResult Read(const std::string& json, AlertDefinitions& defs,
                    ByteMode mode = ByteMode::Utf8) {
  return ReadDefinitionsJson(json, mode, defs);
}

std::string ErrorOf(const std::string& json) {
  AlertDefinitions defs{};
  const JsonReadResult result = Read(json, defs);
  EXPECT_FALSE(result.ok) << json;
  return result.error;
}

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
  EXPECT_EQ(record.params.front().values,
            (std::list<std::string>{"a1", "a2"}));

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
  EXPECT_NE(ErrorOf(R"({"combination": -1, "definitions": []})")
                .find("negative"),
            std::string::npos);
  EXPECT_NE(ErrorOf(R"({"combination": 1.0, "definitions": []})")
                .find("fractional"),
            std::string::npos);
  EXPECT_NE(ErrorOf(R"({"combination": true, "definitions": []})")
                .find("boolean"),
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

bool Equal(const AlertDefinitions& a, const AlertDefinitions& b) {
  if (a.definitions.size() != b.definitions.size()) return false;
  auto rb = b.definitions.begin();
  for (const AlertDefinition& ra : a.definitions) {
    if (ra.name != rb->name || ra.detail != rb->detail ||
        ra.params.size() != rb->params.size()) {
      return false;
    }
    auto pb = rb->params.begin();
    for (const DefinitionParam& pa : ra.params) {
      if (pa.key != pb->key || pa.values != pb->values) return false;
      ++pb;
    }
    ++rb;
  }
  return true;
}

TEST(DefinitionsJson, WriteThenReadGivesTheSameRecordsInBothByteModes) {
  std::mt19937 rng(7);
  for (int round = 0; round < 500; ++round) {
    for (const ByteMode mode : {ByteMode::Utf8, ByteMode::Latin1}) {
      const AlertDefinitions defs =
          RandomRecords(rng, mode == ByteMode::Latin1);
      ASSERT_FALSE(FindUnwritableField(defs, mode));
      std::string json;
      WriteDefinitionsJson(json, defs, std::uint32_t{1}, mode);
      AlertDefinitions back{};
      const auto result = Read(json, back, mode);
      ASSERT_TRUE(result.ok) << result.error << "\n" << json;
      EXPECT_EQ(result.combination, 1U);
      ASSERT_TRUE(Equal(defs, back)) << json;
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
  WriteDefinitionsJson(whole, defs, std::nullopt, ByteMode::Utf8);
  std::string streamed;
  std::string buffer;
  int flushes = 0;
  WriteDefinitionsJson(buffer, defs, std::nullopt, ByteMode::Utf8,
                       [&](std::string& chunk) {
                         EXPECT_GE(chunk.size(), std::size_t{1} << 20);
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
  const auto bad = FindUnwritableField(defs, ByteMode::Utf8);
  ASSERT_TRUE(bad);
  EXPECT_EQ(bad->path, "definitions[0].params[0].values[1]");
  EXPECT_EQ(bad->offset, 1U);
  EXPECT_FALSE(FindUnwritableField(defs, ByteMode::Latin1));
}

std::vector<std::string> Paths(const CheckReport& report) {
  std::vector<std::string> paths;
  for (const Problem& problem : report.problems) paths.push_back(problem.path);
  return paths;
}

TEST(RoundTripCheck, NamesTheFieldAndTheMarkThatBreaksIt) {
  AlertDefinitions defs{};
  defs.definitions.push_back({"Average_ResponseTime", "response time",
                              {{"Transaction_Name", {"Login", "Pay--,--Out"}},
                               {"Times", {"3"}}}});
  defs.definitions.push_back({"Transaction_Filter", "transaction",
                              {{"Transaction_Name", {"Login"}}}});
  const CheckReport report = CheckRoundTrip(Kind::Func, defs, 1U);
  ASSERT_EQ(Paths(report),
            (std::vector<std::string>{"definitions[0].params[0].values[1]"}));
  const Problem& problem = report.problems.front();
  EXPECT_NE(problem.cause.find("\"--,--\""), std::string::npos);
  EXPECT_EQ(problem.written, "Pay--,--Out");
  EXPECT_EQ(problem.read_back, "Pay");

  // Mark formed with the mark after it: "x--,-" then "--,--".
  defs.definitions.front().params.front().values = {"x--,-", "y"};
  const CheckReport formed = CheckRoundTrip(Kind::Func, defs, 1U);
  ASSERT_EQ(Paths(formed),
            (std::vector<std::string>{"definitions[0].params[0].values[0]"}));
  EXPECT_NE(formed.problems.front().cause.find("with the mark after it"),
            std::string::npos);

  // The same records without the troublesome value survive, including
  // values that only look dangerous.
  defs.definitions.front().params.front().values = {"x-", "a==b", "--{--"};
  EXPECT_TRUE(CheckRoundTrip(Kind::Func, defs, 1U).survives());
  EXPECT_TRUE(CheckRoundTrip(Kind::Filter, defs, 0U).survives());
}

TEST(RoundTripCheck, ReportsJoinersAndCombinationsThatDoNotSurvive) {
  AlertDefinitions defs{};
  defs.definitions.push_back({"A", "uses @@OR@@", {{"k", {"v"}}}});
  defs.definitions.push_back({"B", "", {{"k", {"v"}}}});
  const CheckReport joiner = CheckRoundTrip(Kind::Func, defs, 1U);
  EXPECT_EQ(Paths(joiner),
            (std::vector<std::string>{"definitions[0]",
                                      "definitions[0].detail",
                                      "combination"}));
  EXPECT_EQ(joiner.problems.back().written, "1");
  EXPECT_EQ(joiner.problems.back().read_back, "0");

  defs.definitions.front().detail = "plain";
  EXPECT_TRUE(CheckRoundTrip(Kind::Func, defs, 0U).survives());
  EXPECT_EQ(Paths(CheckRoundTrip(Kind::Func, defs, 7U)),
            (std::vector<std::string>{"definitions", "combination"}));
  EXPECT_EQ(Paths(CheckRoundTrip(Kind::Func, defs, std::nullopt)),
            (std::vector<std::string>{"definitions"}));
  defs.definitions.pop_back();
  EXPECT_EQ(Paths(CheckRoundTrip(Kind::Func, defs, 1U)),
            (std::vector<std::string>{"combination"}));
  EXPECT_TRUE(CheckRoundTrip(Kind::Func, defs, std::nullopt).survives());
  AlertDefinitions empty{};
  EXPECT_EQ(Paths(CheckRoundTrip(Kind::Func, empty, std::nullopt)),
            (std::vector<std::string>{"definitions"}));
}

TEST(RoundTripCheck, SurvivesExactlyWhenTheLibraryGivesTheSameRecordsBack) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> pick(0, 9);
  static const char* const pieces[] = {"--,--", "--;--", "--}--", "==",
                                       "--#--", "@@AND@@", "@@OR@@", "-",
                                       "=",     "v"};
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
    const CheckReport report = CheckRoundTrip(Kind::Func, defs, combination);

    defs.combination = combination ? *combination : kNoJoiner;
    std::string text;
    SetFuncDefinition(text, defs);
    AlertDefinitions back{};
    back.combination = kNoJoiner;
    const bool ok = GetFuncDefinition(text, back);
    const std::optional<std::uint32_t> got =
        back.combination <= 1 ? std::optional<std::uint32_t>(back.combination)
                              : std::nullopt;
    const bool same = ok && Equal(defs, back) && got == combination;
    ASSERT_EQ(report.survives(), same) << text;
    if (!same) ++lossy;
  }
  EXPECT_GT(lossy, 300);
  EXPECT_LT(lossy, 2900);
}

}  // namespace
}  // namespace vantrel_cli
