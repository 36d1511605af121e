// A deliberately literal model of the codec, for tests and benchmarks only.
//
// It follows the steps of the format as they read, with nothing optimised:
// every search is std::string::find from its start position to the end of
// the text, every field and piece is a substr copy, and records are copied
// into their lists, so that the library's bounded searches, views and
// splices can be checked against it on any input. Its searches
// are quadratic in the worst case (a long params block without value
// separators rescans the rest of the text for every item); the located
// reader beside it reads the same way in linear time.
//
// It shares no code with the library: its marks are those of marks.h.

#ifndef VANTREL_REFERENCE_LITERAL_CODEC_H_
#define VANTREL_REFERENCE_LITERAL_CODEC_H_

#include <string>

#include "vantrel/alert_definitions.h"

namespace vantrel_reference {
namespace literal {

// Reads one condition text into `record` (passed empty).
bool ReadConditionText(const std::string& text, AlertDefinition& record);

// Appends the condition text of `record` to `out`.
void AppendConditionText(std::string& out, const AlertDefinition& record);

// GetFuncDefinition / GetFilterDefinition.
bool ParseDefinition(const std::string& text, AlertDefinitions& target);

// SetFuncDefinition / SetFilterDefinition.
bool WriteDefinition(std::string& text, const AlertDefinitions& source);

}  // namespace literal
}  // namespace vantrel_reference

// The literal model's earlier name.
namespace vantrel_model = vantrel_reference::literal;

#endif  // VANTREL_REFERENCE_LITERAL_CODEC_H_
