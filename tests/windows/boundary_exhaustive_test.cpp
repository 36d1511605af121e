// The exhaustive, long-text and record-set comparisons against the literal
// model (tests/exhaustive_test.cpp), with the library reached as a host
// reaches it: through the exports of the DLL it loads, across the module
// boundary, with the host's std::string and std::list and the shared heap.
//
// The comparisons call the codec's functions by their names in namespace
// vantrel; here that name stands for vantrel_boundary, whose functions of
// the same signatures call GetFuncDefinition and SetFuncDefinition of the
// DLL. A condition text is read through GetFuncDefinition too, as the one
// piece of a definition text without a joiner; the few that hold a joiner
// (which would cut them into pieces) are read by the codec's own
// ReadConditionText, linked into this program, which also supplies what a
// rejected condition left in its record (the DLL discards that record).

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "codec/condition_text.h"
#include "codec/definition_text.h"
#include "reference/literal_codec.h"
#include "support/exhaustive_inputs.h"
#include "support/records.h"
#include "support/reference_round_trip.h"
#include "support/sequences.h"
#include "vantrel/alert_definitions.h"

namespace vantrel_boundary {

inline bool ParseDefinitionText(const std::string& text,
                                AlertDefinitions& target) {
  return GetFuncDefinition(text, target);
}

// The write entry points take the source by modifiable reference and only
// read it.
inline bool WriteDefinitionText(std::string& text,
                                const AlertDefinitions& source) {
  return SetFuncDefinition(text, const_cast<AlertDefinitions&>(source));
}

inline bool ReadConditionText(std::string_view text, AlertDefinition& record) {
  if (text.find("@@OR@@") != std::string_view::npos ||
      text.find("@@AND@@") != std::string_view::npos) {
    return vantrel::ReadConditionText(text, record);
  }
  AlertDefinitions target{};
  target.combination = 7;
  const bool ok = GetFuncDefinition(std::string(text), target);
  // One piece: one record on success, none on failure, and the combination
  // untouched either way.
  if (target.definitions.size() != (ok ? 1u : 0u) || target.combination != 7) {
    ADD_FAILURE() << "GetFuncDefinition on a text without a joiner gave "
                  << target.definitions.size() << " records, combination "
                  << target.combination;
    return !ok;
  }
  if (ok) {
    record = std::move(target.definitions.front());
  } else if (vantrel::ReadConditionText(text, record)) {
    // The DLL discards a rejected piece's record; the comparison looks at
    // what the rejection left in it, so that comes from the codec linked
    // in, which must reject the text too.
    ADD_FAILURE() << "the DLL rejects a text that the codec accepts";
  }
  return ok;
}

}  // namespace vantrel_boundary

#define vantrel vantrel_boundary
#include "exhaustive_test.cpp"
#undef vantrel
