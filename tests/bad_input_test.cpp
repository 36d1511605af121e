// Hostile input: texts of many megabytes, texts made only of marks or only
// of joiners, zero bytes and bytes above 127, a condition with a million
// params and a param with a million values. The results are compared with
// the literal model where the model is fast enough, otherwise with the
// structure the text was built with. Under the asan preset these run with
// AddressSanitizer and UndefinedBehaviorSanitizer.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <list>
#include <random>
#include <string>

#include "codec/definition_text.h"
#include "reference/literal_codec.h"
#include "support/records.h"

namespace {

using vantrel_test::Record;

struct Parsed {
  bool ok;
  AlertDefinitions defs;
};

Parsed Parse(const std::string& text, std::uint32_t combination = 7) {
  Parsed parsed{false, AlertDefinitions{}};
  parsed.defs.combination = combination;
  parsed.ok = vantrel::ParseDefinitionText(text, parsed.defs);
  return parsed;
}

Parsed ModelParse(const std::string& text, std::uint32_t combination = 7) {
  Parsed parsed{false, AlertDefinitions{}};
  parsed.defs.combination = combination;
  parsed.ok = vantrel_reference::literal::ParseDefinition(text, parsed.defs);
  return parsed;
}

void ExpectSameAsModel(const std::string& text) {
  const Parsed actual = Parse(text);
  const Parsed expected = ModelParse(text);
  EXPECT_EQ(actual.ok, expected.ok);
  EXPECT_EQ(actual.defs.combination, expected.defs.combination);
  EXPECT_EQ(actual.defs.definitions.size(), expected.defs.definitions.size());
  EXPECT_TRUE(actual.defs.definitions == expected.defs.definitions);
}

std::string Repeat(const std::string& unit, std::size_t times) {
  std::string out;
  out.reserve(unit.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += unit;
  return out;
}

TEST(BadInput, OnlyMarks) {
  for (const char* mark :
       {"--#--", "--{--", "--}--", "--;--", "--,--", "==", "-", "#", "="}) {
    SCOPED_TRACE(mark);
    ExpectSameAsModel(Repeat(mark, 200000));
  }
  // Every mark in turn, many times over: each block closes inside the next.
  ExpectSameAsModel(Repeat("--#----{----}----;----,--==", 100000));
  // The shape of a condition without its fields.
  ExpectSameAsModel(Repeat("--#----#----{----}----{--==--}--", 50000));
}

TEST(BadInput, OnlyJoiners) {
  // n joiners make n + 1 empty pieces, each an empty record.
  const std::size_t n = 100000;
  const Parsed ands = Parse(Repeat("@@AND@@", n));
  EXPECT_TRUE(ands.ok);
  EXPECT_EQ(ands.defs.combination, 1u);
  EXPECT_EQ(ands.defs.definitions.size(), n + 1);
  EXPECT_TRUE(ands.defs.definitions.front() == Record("", "", {}));
  EXPECT_TRUE(ands.defs.definitions.back() == Record("", "", {}));

  // One "@@OR@@" at the very end decides the joiner; the and-joiners all
  // stay in the first piece.
  const Parsed mixed = Parse(Repeat("@@AND@@", n) + "@@OR@@");
  EXPECT_TRUE(mixed.ok);
  EXPECT_EQ(mixed.defs.combination, 0u);
  EXPECT_EQ(mixed.defs.definitions.size(), 2u);

  ExpectSameAsModel(Repeat(" @@OR@@ @@AND@@", 20000));
  ExpectSameAsModel(Repeat("@@OR@", 50000));
}

TEST(BadInput, ZeroBytesAndHighBytes) {
  // Random bytes, with marks and joiners spliced in so that the blocks are
  // found; every byte value is ordinary content.
  std::mt19937 random(20261209);
  const std::string pieces[] = {"--#--", "--{--", "--}--",     "--;--",
                                "--,--", "==",    " @@AND@@ ", "@@OR@@"};
  for (int round = 0; round < 20; ++round) {
    std::string text;
    for (int i = 0; i < 20000; ++i) {
      const auto r = static_cast<std::uint32_t>(random());
      if (r % 8 == 0) {
        text += pieces[(r >> 8) % 8];
      } else {
        text += static_cast<char>(r >> 16);
      }
    }
    ExpectSameAsModel(text);
  }
  // Fields made only of zero bytes and of bytes above 127 come back whole.
  const std::string zeros(1000, '\0');
  const std::string high(1000, '\xff');
  const std::string text = "--#--" + zeros + "--#----{--" + high +
                           "--}----{--" + high + "==" + zeros + "--,--" + high +
                           "--}--";
  const Parsed parsed = Parse(text);
  ASSERT_TRUE(parsed.ok);
  ASSERT_EQ(parsed.defs.definitions.size(), 1u);
  const AlertDefinition& record = parsed.defs.definitions.front();
  EXPECT_EQ(record.name, zeros);
  EXPECT_EQ(record.detail, high);
  ASSERT_EQ(record.params.size(), 1u);
  EXPECT_EQ(record.params.front().key, high);
  EXPECT_EQ(record.params.front().values,
            (std::list<std::string>{zeros, high}));
}

TEST(BadInput, ManyMegabytes) {
  // 2,000 conditions of about 4 KB each, and-joined: about 8 MB.
  const std::string value(1000, 'v');
  const std::string condition = "--#--" + std::string(500, 'n') + "--#----{--" +
                                std::string(500, 'd') +
                                "--}----{--key==" + value + "--,--" + value +
                                "--;--k2==" + value + "--}--";
  std::string text;
  const std::size_t count = 2000;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) text += " @@AND@@ ";
    text += condition;
  }
  ASSERT_GT(text.size(), 7000000u);
  ExpectSameAsModel(text);

  // One condition whose detail is 8 MB.
  ExpectSameAsModel("--#--n--#----{--" + std::string(8u << 20, 'x') +
                    "--}----}--");

  // And writing it all back gives the text that was read.
  const Parsed parsed = Parse(text);
  std::string written;
  vantrel::WriteDefinitionText(written, parsed.defs);
  EXPECT_TRUE(written == text);
}

TEST(BadInput, MillionParams) {
  const std::size_t n = 1000000;
  std::string text = "--#--n--#----{--d--}----{--";
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0) text += "--;--";
    text += "k==" + std::to_string(i % 10);
  }
  text += "--}--";
  const Parsed parsed = Parse(text);
  ASSERT_TRUE(parsed.ok);
  ASSERT_EQ(parsed.defs.definitions.size(), 1u);
  const AlertDefinition& record = parsed.defs.definitions.front();
  ASSERT_EQ(record.params.size(), n);
  std::size_t i = 0, bad = 0;
  for (const DefinitionParam& param : record.params) {
    if (param.key != "k" || param.values.size() != 1 ||
        param.values.front() != std::to_string(i % 10)) {
      ++bad;
    }
    ++i;
  }
  EXPECT_EQ(bad, 0u);
  std::string written;
  vantrel::WriteDefinitionText(written, parsed.defs);
  EXPECT_TRUE(written == text);

  // The same params with the last one missing its "==": rejected.
  const std::string rejected = text.substr(0, text.size() - 5 - 4) + "k--}--";
  EXPECT_FALSE(Parse(rejected).ok);
}

TEST(BadInput, MillionValues) {
  const std::size_t n = 1000000;
  std::string text = "--#--n--#----{--d--}----{--k==";
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0) text += "--,--";
    if (i % 3 != 0) text += static_cast<char>('a' + i % 26);
  }
  text += "--}--";
  const Parsed parsed = Parse(text);
  ASSERT_TRUE(parsed.ok);
  const AlertDefinition& record = parsed.defs.definitions.front();
  ASSERT_EQ(record.params.size(), 1u);
  const std::list<std::string>& values = record.params.front().values;
  ASSERT_EQ(values.size(), n);
  std::size_t i = 0, bad = 0;
  for (const std::string& value : values) {
    const std::string want =
        i % 3 != 0 ? std::string(1, static_cast<char>('a' + i % 26)) : "";
    if (value != want) ++bad;
    ++i;
  }
  EXPECT_EQ(bad, 0u);
  ExpectSameAsModel(text);
}

}  // namespace
