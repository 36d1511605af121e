// What writing a record set and reading the text back gives, as the
// reference readers tell it.
//
// The text form has no escaping, so a field that holds (part of) a mark or
// a joiner can change when it is written and read back. Which record sets
// come back unchanged, and when writing what was read back reproduces the
// first text, follow from the format's rules; rather than restate those
// rules here, the reference computes both: it writes with the literal
// model and reads back with the located reader. The exhaustive tests and
// the write fuzzer hold the library's own round trip to this one on every
// input, in both directions (a round trip that the library loses and the
// reference keeps fails as much as the reverse).
//
// Needs vantrel_reference linked next to vantrel_testing.

#ifndef VANTREL_TESTING_SUPPORT_REFERENCE_ROUND_TRIP_H_
#define VANTREL_TESTING_SUPPORT_REFERENCE_ROUND_TRIP_H_

#include <cstdint>
#include <string>

#include "reference/literal_codec.h"
#include "reference/located_reader.h"
#include "support/records.h"
#include "vantrel/alert_definitions.h"

namespace vantrel_test {

// `defs` as a round trip that keeps it gives it back: a param without
// values is written as its key and "==", which reads as one empty value.
inline AlertDefinitions Normalized(AlertDefinitions defs) {
  for (AlertDefinition& record : defs.definitions) {
    for (DefinitionParam& param : record.params) {
      if (param.values.empty()) param.values.emplace_back();
    }
  }
  return defs;
}

// A text read into a target whose combination starts as `untouched`,
// with the located reader.
struct ReadBack {
  bool ok = false;
  AlertDefinitions defs{};
};

inline ReadBack ReadByReference(const std::string& text,
                                std::uint32_t untouched) {
  ReadBack read;
  const vantrel_reference::LocatedDefinition located =
      vantrel_reference::Locate(text);
  read.ok = located.ok();
  read.defs.combination =
      vantrel_reference::CombinationOf(text).value_or(untouched);
  for (const vantrel_reference::LocatedCondition& c : located.conditions) {
    if (!c.rejected) {
      read.defs.definitions.push_back(vantrel_reference::RecordOf(text, c));
    }
  }
  return read;
}

// Writing `source`, reading the text back into a target whose combination
// starts as `untouched`, and writing what was read, by the reference.
struct ReferenceRoundTrip {
  std::string text;     // `source` written
  ReadBack back;        // `text` read back
  std::string rewrite;  // `back.defs` written
  // The read succeeds and gives Normalized(source)'s records and, when
  // there are several records, its combination (one record leaves the
  // target's combination alone).
  bool round_trips = false;
  // The read succeeds and its records are written as `text` again.
  bool rewrite_is_stable = false;
};

inline ReferenceRoundTrip RoundTripByReference(const AlertDefinitions& source,
                                               std::uint32_t untouched) {
  ReferenceRoundTrip r;
  vantrel_reference::literal::WriteDefinition(r.text, source);
  r.back = ReadByReference(r.text, untouched);
  vantrel_reference::literal::WriteDefinition(r.rewrite, r.back.defs);
  const std::uint32_t want_combination =
      source.definitions.size() >= 2 ? source.combination : untouched;
  r.round_trips = r.back.ok &&
                  r.back.defs.definitions == Normalized(source).definitions &&
                  r.back.defs.combination == want_combination;
  r.rewrite_is_stable = r.back.ok && r.rewrite == r.text;
  return r;
}

}  // namespace vantrel_test

#endif  // VANTREL_TESTING_SUPPORT_REFERENCE_ROUND_TRIP_H_
