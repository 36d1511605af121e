// A deliberately literal model of the codec, for tests and benchmarks only.
//
// It follows the steps of the format as they read, with nothing optimised:
// every search is std::string::find from its start position to the end of
// the text, every field and piece is a substr copy, and records are copied
// into their lists. It shares no code with the library (not even the marks,
// which it spells out itself), so that the library's bounded searches,
// views and splices can be checked against it on any input.

#ifndef VANTREL_TESTING_MODEL_LITERAL_CODEC_H_
#define VANTREL_TESTING_MODEL_LITERAL_CODEC_H_

#include <string>

#include "vantrel/alert_definitions.h"

namespace vantrel_model {

// Reads one condition text into `record` (passed empty).
bool ReadConditionText(const std::string& text, AlertDefinition& record);

// Appends the condition text of `record` to `out`.
void AppendConditionText(std::string& out, const AlertDefinition& record);

// GetFuncDefinition / GetFilterDefinition.
bool ParseDefinition(const std::string& text, AlertDefinitions& target);

// SetFuncDefinition / SetFilterDefinition.
bool WriteDefinition(std::string& text, const AlertDefinitions& source);

}  // namespace vantrel_model

#endif  // VANTREL_TESTING_MODEL_LITERAL_CODEC_H_
