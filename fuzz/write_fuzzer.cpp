// Fuzz target: a record set decoded from the input (any bytes in any field,
// any combination; see DecodeRecords).
//
// Checks, for every input:
//   - both write entry points give the literal model's text, return true,
//     replace the host's whole string and leave the source unchanged;
//   - reading that text back gives the model's result (result, records,
//     combination) and the located reader's;
//   - the round trip gives the records back (with every empty `values` as
//     one empty value) exactly when the reference's round trip does
//     (support/reference_round_trip.h): checked in both directions;
//   - writing what was read back gives the model's text for those records,
//     and reproduces the first text exactly when the reference's rewrite
//     does.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "reference/literal_codec.h"
#include "support/records.h"
#include "support/reference_round_trip.h"
#include "vantrel/alert_definitions.h"

namespace {

using vantrel_test::SameSet;

// A combination that no parse writes, to see whether a parse touched it.
constexpr std::uint32_t kUntouched = 0x5EEDu;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const AlertDefinitions decoded = vantrel_fuzz::DecodeRecords(data, size);
  AlertDefinitions source = decoded;  // the exports take a non-const source

  std::string expected;
  VANTREL_FUZZ_CHECK(
      vantrel_reference::literal::WriteDefinition(expected, decoded));

  std::string text = "previous content of the host's string";
  VANTREL_FUZZ_CHECK(SetFuncDefinition(text, source));
  VANTREL_FUZZ_CHECK(text == expected);
  std::string filter_text(3, '\0');
  VANTREL_FUZZ_CHECK(SetFilterDefinition(filter_text, source));
  VANTREL_FUZZ_CHECK(filter_text == expected);
  VANTREL_FUZZ_CHECK(SameSet(source, decoded));

  // A string with room for the text is written in place: every old byte
  // must go, and a string that is one of the source's own fields must be
  // read before it is overwritten.
  std::string roomy(expected.size() + 64, '#');
  VANTREL_FUZZ_CHECK(SetFuncDefinition(roomy, source));
  VANTREL_FUZZ_CHECK(roomy == expected);
  if (!source.definitions.empty()) {
    AlertDefinitions own = decoded;
    AlertDefinition& last = own.definitions.back();
    std::string* field = &last.detail;
    if (!last.params.empty()) {
      DefinitionParam& param = last.params.back();
      field = param.values.empty() ? &param.key : &param.values.back();
    }
    field->reserve(expected.size());
    VANTREL_FUZZ_CHECK(SetFilterDefinition(*field, own));
    VANTREL_FUZZ_CHECK(*field == expected);
  }

  // Read back by the library, by the model and by the located reader.
  AlertDefinitions back{};
  back.combination = kUntouched;
  const bool ok = GetFuncDefinition(text, back);
  AlertDefinitions model_back{};
  model_back.combination = kUntouched;
  const bool model_ok =
      vantrel_reference::literal::ParseDefinition(text, model_back);
  VANTREL_FUZZ_CHECK(ok == model_ok);
  VANTREL_FUZZ_CHECK(SameSet(back, model_back));
  const vantrel_test::ReferenceRoundTrip reference =
      vantrel_test::RoundTripByReference(decoded, kUntouched);
  VANTREL_FUZZ_CHECK(reference.text == text);
  VANTREL_FUZZ_CHECK(reference.back.ok == ok);
  VANTREL_FUZZ_CHECK(SameSet(reference.back.defs, back));

  // Round trip: several records keep their combination; one record leaves
  // the target's combination alone.
  const AlertDefinitions normalized = vantrel_test::Normalized(decoded);
  const std::uint32_t want_combination =
      decoded.definitions.size() >= 2 ? decoded.combination : kUntouched;
  const bool came_back = ok && back.definitions == normalized.definitions &&
                         back.combination == want_combination;
  VANTREL_FUZZ_CHECK(came_back == reference.round_trips);

  // The rewrite of what was read back.
  std::string again;
  VANTREL_FUZZ_CHECK(SetFuncDefinition(again, back));
  std::string model_again;
  vantrel_reference::literal::WriteDefinition(model_again, back);
  VANTREL_FUZZ_CHECK(again == model_again);
  VANTREL_FUZZ_CHECK((ok && again == text) == reference.rewrite_is_stable);
  return 0;
}
