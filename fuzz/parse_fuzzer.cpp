// Fuzz target: any bytes as a definition text.
//
// The text is read by both parse entry points, into targets that start empty
// or already hold records and that start with various combination values,
// and by the literal model into equal targets; result, every record and the
// combination must agree. The condition reader is also compared with the
// model's on the whole text, including the partly filled record that a
// rejected condition leaves behind. The located reader must give the
// library's records, result and combination, with its pieces end to end.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "codec/condition_text.h"
#include "fuzz_support.h"
#include "reference/literal_codec.h"
#include "reference/located_reader.h"
#include "support/records.h"
#include "vantrel/alert_definitions.h"

namespace {

constexpr std::uint32_t kCombinations[] = {0, 1, 2, 7, 0xFFFFFFFFu};
constexpr std::size_t kCombinationCount =
    sizeof(kCombinations) / sizeof(kCombinations[0]);

// A target that already holds `held` records, among them one with an empty
// value and one with no params, which a parse must leave in front, as they
// are.
AlertDefinitions Prefilled(std::size_t held, std::uint32_t combination) {
  AlertDefinitions defs{};
  defs.combination = combination;
  for (std::size_t i = 0; i < held; ++i) {
    AlertDefinition record;
    record.name = "held" + std::to_string(i);
    if (i % 2 == 0) {
      DefinitionParam param;
      param.key = "k";
      param.values = {"v", ""};
      record.params.push_back(param);
    }
    defs.definitions.push_back(record);
  }
  return defs;
}

using Parse = bool (*)(const std::string&, AlertDefinitions&);

void CheckParse(Parse parse, const std::string& text, std::size_t held,
                std::uint32_t combination) {
  AlertDefinitions expected = Prefilled(held, combination);
  const bool expected_ok =
      vantrel_reference::literal::ParseDefinition(text, expected);

  AlertDefinitions actual = Prefilled(held, combination);
  const bool ok = parse(text, actual);

  VANTREL_FUZZ_CHECK(ok == expected_ok);
  VANTREL_FUZZ_CHECK(actual.combination == expected.combination);
  VANTREL_FUZZ_CHECK(vantrel_test::SameRecords(actual, expected));

  // Independent of the model: the held records stay in front, and the
  // combination is 0 exactly when the text holds "@@OR@@", 1 when it holds
  // "@@AND@@" only, and untouched otherwise.
  const AlertDefinitions before = Prefilled(held, combination);
  VANTREL_FUZZ_CHECK(actual.definitions.size() >= held);
  auto it = actual.definitions.begin();
  for (const AlertDefinition& record : before.definitions) {
    VANTREL_FUZZ_CHECK(*it == record);
    ++it;
  }
  const bool has_or = text.find("@@OR@@") != std::string::npos;
  const bool has_and = text.find("@@AND@@") != std::string::npos;
  const std::uint32_t want = has_or ? 0u : has_and ? 1u : combination;
  VANTREL_FUZZ_CHECK(actual.combination == want);
}

void CheckConditionReader(const std::string& text) {
  AlertDefinition expected;
  const bool expected_ok =
      vantrel_reference::literal::ReadConditionText(text, expected);
  AlertDefinition actual;
  const bool ok = vantrel::ReadConditionText(std::string_view(text), actual);
  VANTREL_FUZZ_CHECK(ok == expected_ok);
  VANTREL_FUZZ_CHECK(actual == expected);
}

void CheckLocatedReader(const std::string& text) {
  AlertDefinitions library{};
  library.combination = 7;
  const bool ok = GetFuncDefinition(text, library);
  const vantrel_reference::LocatedDefinition located =
      vantrel_reference::Locate(text);
  VANTREL_FUZZ_CHECK(located.ok() == ok);
  VANTREL_FUZZ_CHECK(vantrel_reference::CombinationOf(text).value_or(7u) ==
                     library.combination);
  VANTREL_FUZZ_CHECK(located.conditions.size() ==
                     library.definitions.size() + (ok ? 0u : 1u));
  auto record = library.definitions.begin();
  std::size_t start = 0;
  for (const vantrel_reference::LocatedCondition& c : located.conditions) {
    VANTREL_FUZZ_CHECK(c.piece.offset == start);
    start = c.piece.end() + located.joiner.size();
    if (c.rejected) break;
    VANTREL_FUZZ_CHECK(vantrel_reference::RecordOf(text, c) == *record);
    ++record;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string original = text;

  // The target's shape comes from the input itself, so that the corpus stays
  // plain text and every input still meets several shapes over a run.
  const std::size_t pick = size + (size > 0 ? data[size - 1] : 0u);
  CheckParse(GetFuncDefinition, text, 0,
             kCombinations[pick % kCombinationCount]);
  CheckParse(GetFilterDefinition, text, 2,
             kCombinations[(pick / kCombinationCount) % kCombinationCount]);
  CheckParse(GetFuncDefinition, text, 1,
             kCombinations[(pick + 1) % kCombinationCount]);
  CheckConditionReader(text);
  CheckLocatedReader(text);

  VANTREL_FUZZ_CHECK(text == original);
  return 0;
}
