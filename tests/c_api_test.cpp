// The C interface (vantrel/vantrel.h) as a host sees it: this test links
// libvantrel_c only. Its status codes, argument checks, index access,
// building, writing and verdicts; the records it reads are compared with
// those the format gives (support/sample_texts.h).

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/c_records.h"
#include "support/records.h"
#include "support/sample_texts.h"
#include "vantrel/vantrel.h"

namespace {

using vantrel_test::CHandle;
using vantrel_test::Definitions;
using vantrel_test::HandleOf;
using vantrel_test::NewCHandle;
using vantrel_test::Param;
using vantrel_test::Record;
using vantrel_test::RecordsOf;
using vantrel_test::StringOf;

const std::string kWorked = vantrel_test::kWorkedExample;

// The same records, in order, and the same combination.
void ExpectSameSet(const AlertDefinitions& actual,
                   const AlertDefinitions& expected) {
  EXPECT_EQ(actual.definitions, expected.definitions);
  EXPECT_EQ(actual.combination, expected.combination);
}

vantrel_status Parse(vantrel_definitions* defs, const std::string& text,
                     vantrel_rejection* rejection = nullptr) {
  return vantrel_parse(defs, VANTREL_FUNC, text.data(), text.size(), rejection);
}

TEST(CInterface, VersionsAndStatusNames) {
  EXPECT_STREQ(vantrel_version(), "1.0.0");
  EXPECT_EQ(vantrel_abi_version(), unsigned{VANTREL_C_ABI_VERSION});
  const struct {
    vantrel_status status;
    const char* name;
  } cases[] = {{VANTREL_OK, "ok"},
               {VANTREL_REJECTED, "rejected"},
               {VANTREL_OUT_OF_MEMORY, "out of memory"},
               {VANTREL_INVALID_ARGUMENT, "invalid argument"},
               {VANTREL_BUFFER_TOO_SMALL, "buffer too small"},
               {VANTREL_OUT_OF_RANGE, "out of range"},
               {static_cast<vantrel_status>(7), "unknown"}};
  for (const auto& c : cases)
    EXPECT_STREQ(vantrel_status_name(c.status), c.name);
}

TEST(CInterface, WorkedExampleReadByIndex) {
  for (vantrel_kind kind : {VANTREL_FUNC, VANTREL_FILTER}) {
    CHandle defs = NewCHandle(7);
    ASSERT_EQ(vantrel_parse(defs.get(), kind, kWorked.data(), kWorked.size(),
                            nullptr),
              VANTREL_OK);
    EXPECT_EQ(vantrel_condition_count(defs.get()), 2u);
    EXPECT_EQ(vantrel_combination(defs.get()), 1u);
    vantrel_text name{};
    vantrel_text detail{};
    std::size_t params = 0;
    ASSERT_EQ(vantrel_condition(defs.get(), 1, &name, &detail, &params),
              VANTREL_OK);
    EXPECT_EQ(StringOf(name), "Beta");
    EXPECT_EQ(StringOf(detail), "y");
    EXPECT_EQ(params, 1u);
    vantrel_text key{};
    std::size_t values = 0;
    ASSERT_EQ(vantrel_param(defs.get(), 0, 0, &key, &values), VANTREL_OK);
    EXPECT_EQ(StringOf(key), "k1");
    EXPECT_EQ(values, 2u);
    vantrel_text value{};
    ASSERT_EQ(vantrel_value(defs.get(), 0, 0, 1, &value), VANTREL_OK);
    EXPECT_EQ(StringOf(value), "a2");
    ExpectSameSet(
        RecordsOf(defs.get()),
        Definitions({vantrel_test::AlphaRecord(), vantrel_test::BetaRecord()},
                    1));
  }
}

TEST(CInterface, IndexPastTheEndIsOutOfRange) {
  CHandle defs = NewCHandle(0);
  ASSERT_EQ(Parse(defs.get(), kWorked), VANTREL_OK);
  const struct {
    std::size_t condition, param, value;
  } cases[] = {{2, 0, 0}, {0, 1, 0}, {0, 0, 2}, {1, 0, 1}, {9, 9, 9}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.condition << "/" << c.param << "/" << c.value);
    vantrel_text out{};
    EXPECT_EQ(vantrel_value(defs.get(), c.condition, c.param, c.value, &out),
              VANTREL_OUT_OF_RANGE);
  }
  EXPECT_EQ(vantrel_condition(defs.get(), 2, nullptr, nullptr, nullptr),
            VANTREL_OUT_OF_RANGE);
  EXPECT_EQ(vantrel_param(defs.get(), 1, 1, nullptr, nullptr),
            VANTREL_OUT_OF_RANGE);
  EXPECT_EQ(vantrel_condition(defs.get(), 1, nullptr, nullptr, nullptr),
            VANTREL_OK);
}

// A rejection keeps the conditions before the rejected piece and tells
// where that piece starts.
TEST(CInterface, RejectionKeepsEarlierConditionsAndLocatesThePiece) {
  const std::string a = vantrel_test::kAlphaText;
  const std::string b = vantrel_test::kBetaText;
  const std::string r = vantrel_test::kRejectedDeltaText;
  const struct {
    std::string text;
    std::size_t kept, piece, offset;
  } cases[] = {
      {r, 0, 1, 0},
      {a + " @@OR@@ " + r, 1, 2, a.size() + 7},
      {a + " @@AND@@ " + b + " @@AND@@ " + r + " @@AND@@ " + a, 2, 3,
       a.size() + 8 + 1 + b.size() + 1 + 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    CHandle defs = NewCHandle(5);
    vantrel_rejection rejection{99, 99};
    EXPECT_EQ(Parse(defs.get(), c.text, &rejection), VANTREL_REJECTED);
    EXPECT_EQ(vantrel_condition_count(defs.get()), c.kept);
    EXPECT_EQ(rejection.piece, c.piece);
    EXPECT_EQ(rejection.offset, c.offset);
    AlertDefinitions expected{};
    expected.combination = 5;
    EXPECT_EQ(GetFuncDefinition(c.text, expected), false);
    ExpectSameSet(RecordsOf(defs.get()), expected);
  }
}

// A parse appends; bytes of every value, NUL included, are ordinary.
TEST(CInterface, ParseAppendsAndKeepsEveryByte) {
  CHandle defs = NewCHandle(0);
  const std::string binary("--#--n\0\xff--#----{--\0--}----{--k==\x80\0--}--",
                           39);
  ASSERT_EQ(Parse(defs.get(), kWorked), VANTREL_OK);
  ASSERT_EQ(Parse(defs.get(), binary), VANTREL_OK);
  ExpectSameSet(
      RecordsOf(defs.get()),
      Definitions({vantrel_test::AlphaRecord(), vantrel_test::BetaRecord(),
                   Record(std::string("n\0\xff", 3), std::string(1, '\0'),
                          {Param("k", {std::string("\x80\0", 2)})})},
                  1));
  EXPECT_EQ(vantrel_parse(defs.get(), VANTREL_FUNC, nullptr, 0, nullptr),
            VANTREL_OK);
  EXPECT_EQ(vantrel_condition_count(defs.get()), 4u);
}

// (An unknown kind, which only a C host can pass, is checked by the C host
// test.)
TEST(CInterface, InvalidArguments) {
  CHandle defs = NewCHandle(0);
  vantrel_definitions* d = defs.get();
  char buffer[8];
  std::size_t size = 0;
  char* text = nullptr;
  int survives = 0;
  const struct {
    const char* call;
    vantrel_status status;
  } cases[] = {
      {"new without out", vantrel_new(0, nullptr)},
      {"parse null handle",
       vantrel_parse(nullptr, VANTREL_FUNC, "", 0, nullptr)},
      {"parse null text", vantrel_parse(d, VANTREL_FUNC, nullptr, 1, nullptr)},
      {"set_combination null", vantrel_set_combination(nullptr, 1)},
      {"condition null",
       vantrel_condition(nullptr, 0, nullptr, nullptr, nullptr)},
      {"param null", vantrel_param(nullptr, 0, 0, nullptr, nullptr)},
      {"value null", vantrel_value(nullptr, 0, 0, 0, nullptr)},
      {"add_param without condition", vantrel_add_param(d, "k", 1)},
      {"add_value without condition", vantrel_add_value(d, "v", 1)},
      {"add_condition null name", vantrel_add_condition(d, nullptr, 1, "", 0)},
      {"add_condition null detail",
       vantrel_add_condition(d, "", 0, nullptr, 1)},
      {"write null handle",
       vantrel_write(nullptr, VANTREL_FUNC, buffer, sizeof buffer, &size)},
      {"write null size",
       vantrel_write(d, VANTREL_FUNC, buffer, sizeof buffer, nullptr)},
      {"write null buffer", vantrel_write(d, VANTREL_FUNC, nullptr, 8, &size)},
      {"write_alloc null text",
       vantrel_write_alloc(d, VANTREL_FUNC, nullptr, &size)},
      {"write_alloc null size",
       vantrel_write_alloc(d, VANTREL_FUNC, &text, nullptr)},
      {"text_survives null out",
       vantrel_text_survives(VANTREL_FUNC, "", 0, nullptr)},
      {"text_survives null text",
       vantrel_text_survives(VANTREL_FUNC, nullptr, 3, &survives)},
      {"records_survive null handle",
       vantrel_records_survive(nullptr, VANTREL_FUNC, &survives)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.status, VANTREL_INVALID_ARGUMENT) << c.call;
  }
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(vantrel_condition_count(d), 0u);
  EXPECT_EQ(vantrel_condition_count(nullptr), 0u);
  EXPECT_EQ(vantrel_combination(nullptr), 0u);
  // add_value needs a param of the last condition.
  ASSERT_EQ(vantrel_add_condition(d, "n", 1, "d", 1), VANTREL_OK);
  EXPECT_EQ(vantrel_add_value(d, "v", 1), VANTREL_INVALID_ARGUMENT);
  vantrel_free(nullptr);
  vantrel_free_text(nullptr);
}

// Records built with add_* are written as SetFuncDefinition writes them.
TEST(CInterface, BuildAndWrite) {
  const AlertDefinitions cases[] = {
      Definitions({}, 1),
      Definitions({vantrel_test::AlphaRecord(), vantrel_test::BetaRecord()}, 1),
      Definitions({vantrel_test::AlphaRecord(), vantrel_test::GammaRecord()},
                  0),
      Definitions({Record("a", "", {}), Record("b", "d", {Param("k", {})})}, 9),
      Definitions({Record("", "", {Param("", {""}), Param("k", {"1", "2"})})},
                  1),
  };
  for (const AlertDefinitions& source : cases) {
    AlertDefinitions copy = source;
    std::string expected;
    SetFuncDefinition(expected, copy);
    SCOPED_TRACE(expected);
    CHandle defs = HandleOf(source);
    ExpectSameSet(RecordsOf(defs.get()), source);

    // Too small: the size needed, the buffer untouched.
    std::vector<char> buffer(expected.size() + 2, 'x');
    std::size_t size = 0;
    if (!expected.empty()) {
      EXPECT_EQ(vantrel_write(defs.get(), VANTREL_FILTER, buffer.data(),
                              expected.size() - 1, &size),
                VANTREL_BUFFER_TOO_SMALL);
      EXPECT_EQ(size, expected.size());
      EXPECT_EQ(std::string(buffer.begin(), buffer.end()),
                std::string(expected.size() + 2, 'x'));
    }
    // Exactly the size: no NUL; one more: a NUL after the text.
    ASSERT_EQ(vantrel_write(defs.get(), VANTREL_FUNC, buffer.data(),
                            expected.size(), &size),
              VANTREL_OK);
    EXPECT_EQ(std::string(buffer.data(), size), expected);
    EXPECT_EQ(buffer[expected.size()], 'x');
    ASSERT_EQ(vantrel_write(defs.get(), VANTREL_FUNC, buffer.data(),
                            buffer.size(), &size),
              VANTREL_OK);
    EXPECT_EQ(buffer[expected.size()], '\0');

    char* text = nullptr;
    ASSERT_EQ(vantrel_write_alloc(defs.get(), VANTREL_FILTER, &text, &size),
              VANTREL_OK);
    EXPECT_EQ(std::string(text, size), expected);
    EXPECT_EQ(text[size], '\0');
    vantrel_free_text(text);
  }
}

TEST(CInterface, SetCombinationChangesTheJoiner) {
  CHandle defs = NewCHandle(0);
  ASSERT_EQ(Parse(defs.get(), kWorked), VANTREL_OK);
  ASSERT_EQ(vantrel_set_combination(defs.get(), 0), VANTREL_OK);
  char* text = nullptr;
  std::size_t size = 0;
  ASSERT_EQ(vantrel_write_alloc(defs.get(), VANTREL_FUNC, &text, &size),
            VANTREL_OK);
  EXPECT_EQ(std::string(text, size), std::string(vantrel_test::kAlphaText) +
                                         " @@OR@@ " + vantrel_test::kBetaText);
  vantrel_free_text(text);
}

TEST(CInterface, Verdicts) {
  const std::string a = vantrel_test::kAlphaText;
  const struct {
    std::string text;
    int survives;
  } texts[] = {
      {kWorked, 1},
      {"", 0},  // read as one empty condition, written as its marks
      {a + "  @@AND@@ " + a, 0},  // blanks are not kept
      {a + " @@AND@@ " + vantrel_test::kRejectedDeltaText, 0},  // rejected
      {"--#--n--#----{----}----{--k--}--", 0},
      {"--#--n--#----{----}----{--k==--}--", 1},
  };
  for (const auto& t : texts) {
    int survives = -1;
    EXPECT_EQ(vantrel_text_survives(VANTREL_FUNC, t.text.data(), t.text.size(),
                                    &survives),
              VANTREL_OK);
    EXPECT_EQ(survives, t.survives) << t.text;
  }
  const struct {
    AlertDefinitions records;
    int survives;
  } sets[] = {
      {Definitions({vantrel_test::AlphaRecord(), vantrel_test::BetaRecord()},
                   1),
       1},
      {Definitions({Record("n", "", {Param("k", {})})}, 1), 0},  // no values
      {Definitions({Record("n", "", {Param("k", {"a--,--b"})})}, 1), 0},
      {Definitions({Record("a--,--b", "", {Param("k", {"v"})})}, 1), 1},
      {Definitions({Record("a", "", {}), Record("b", "", {})}, 7), 0},
      {Definitions({}, 3), 0},  // "" reads as one empty condition
  };
  for (const auto& s : sets) {
    CHandle defs = HandleOf(s.records);
    int survives = -1;
    EXPECT_EQ(vantrel_records_survive(defs.get(), VANTREL_FUNC, &survives),
              VANTREL_OK);
    EXPECT_EQ(survives, s.survives);
  }
}

}  // namespace
