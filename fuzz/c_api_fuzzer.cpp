// Fuzz target: the C interface (vantrel/vantrel.h) against the C++
// functions, on any bytes read both as a definition text and as a record
// set (fuzz_support.h), so that the parse and the write corpora both serve.
//
// Text: parsed through the C interface into a handle that already holds
// records, read back field by field, it must give GetFuncDefinition's
// result, records and combination, and a rejection must name the piece
// after the last record appended and an offset inside the text; written
// back into a buffer and into a library-allocated text, it must give
// SetFuncDefinition's text; vantrel_text_survives must be the C++ round
// trip's verdict.
// Records: built into a handle with vantrel_add_*, read back unchanged,
// written as SetFuncDefinition writes them, and vantrel_records_survive
// must be the C++ round trip's verdict.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "support/c_records.h"
#include "support/records.h"
#include "vantrel/alert_definitions.h"
#include "vantrel/vantrel.h"

namespace {

// Both writes of the C interface, which must agree with each other.
std::string WrittenByC(const vantrel_definitions* defs) {
  std::size_t size = 0;
  const vantrel_status asked =
      vantrel_write(defs, VANTREL_FILTER, nullptr, 0, &size);
  VANTREL_FUZZ_CHECK(asked ==
                     (size == 0 ? VANTREL_OK : VANTREL_BUFFER_TOO_SMALL));
  std::string text(size + 1, '\x7f');
  std::size_t written = 0;
  VANTREL_FUZZ_CHECK(vantrel_write(defs, VANTREL_FUNC, &text[0], text.size(),
                                   &written) == VANTREL_OK);
  VANTREL_FUZZ_CHECK(written == size && text[size] == '\0');
  text.resize(size);

  char* allocated = nullptr;
  std::size_t allocated_size = 0;
  VANTREL_FUZZ_CHECK(vantrel_write_alloc(defs, VANTREL_FUNC, &allocated,
                                         &allocated_size) == VANTREL_OK);
  VANTREL_FUZZ_CHECK(std::string(allocated, allocated_size) == text &&
                     allocated[allocated_size] == '\0');
  vantrel_free_text(allocated);
  return text;
}

bool SurvivesInCpp(const AlertDefinitions& source) {
  AlertDefinitions copy = source;
  std::string text;
  SetFuncDefinition(text, copy);
  AlertDefinitions back{};
  back.combination = source.combination;
  return GetFuncDefinition(text, back) && vantrel_test::SameSet(back, source);
}

void CheckText(const std::string& text) {
  AlertDefinitions held{};
  held.combination = 7;
  held.definitions.push_back(vantrel_test::Record("held", "", {}));

  AlertDefinitions expected = held;
  const bool expected_ok = GetFuncDefinition(text, expected);

  const vantrel_test::CHandle defs = vantrel_test::HandleOf(held);
  vantrel_rejection rejection{};
  const vantrel_status status = vantrel_parse(
      defs.get(), VANTREL_FUNC, text.data(), text.size(), &rejection);
  VANTREL_FUZZ_CHECK(status == (expected_ok ? VANTREL_OK : VANTREL_REJECTED));
  const AlertDefinitions actual = vantrel_test::RecordsOf(defs.get());
  VANTREL_FUZZ_CHECK(vantrel_test::SameSet(actual, expected));
  if (!expected_ok) {
    VANTREL_FUZZ_CHECK(rejection.piece == expected.definitions.size());
    VANTREL_FUZZ_CHECK(rejection.offset <= text.size());
    VANTREL_FUZZ_CHECK(rejection.piece > 1 || rejection.offset == 0);
  }

  std::string cpp_text;
  SetFuncDefinition(cpp_text, expected);
  VANTREL_FUZZ_CHECK(WrittenByC(defs.get()) == cpp_text);

  AlertDefinitions fresh{};
  bool survives = GetFuncDefinition(text, fresh);
  if (survives) {
    std::string again;
    SetFuncDefinition(again, fresh);
    survives = again == text;
  }
  int c_survives = -1;
  VANTREL_FUZZ_CHECK(vantrel_text_survives(VANTREL_FILTER, text.data(),
                                           text.size(),
                                           &c_survives) == VANTREL_OK);
  VANTREL_FUZZ_CHECK(c_survives == (survives ? 1 : 0));
}

void CheckRecords(const AlertDefinitions& source) {
  const vantrel_test::CHandle defs = vantrel_test::HandleOf(source);
  VANTREL_FUZZ_CHECK(
      vantrel_test::SameSet(vantrel_test::RecordsOf(defs.get()), source));
  AlertDefinitions copy = source;
  std::string cpp_text;
  SetFuncDefinition(cpp_text, copy);
  VANTREL_FUZZ_CHECK(WrittenByC(defs.get()) == cpp_text);
  int survives = -1;
  VANTREL_FUZZ_CHECK(vantrel_records_survive(defs.get(), VANTREL_FUNC,
                                             &survives) == VANTREL_OK);
  VANTREL_FUZZ_CHECK(survives == (SurvivesInCpp(source) ? 1 : 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  CheckText(std::string(reinterpret_cast<const char*>(data), size));
  CheckRecords(vantrel_fuzz::DecodeRecords(data, size));
  return 0;
}
