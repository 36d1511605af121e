// The definition text: the condition texts of a whole AlertDefinitions,
// joined by " @@AND@@ ", " @@OR@@ " or two blanks.
//
// These are the bodies of the four exported functions; see
// vantrel/alert_definitions.h for the contract.

#ifndef VANTREL_SRC_CODEC_DEFINITION_TEXT_H_
#define VANTREL_SRC_CODEC_DEFINITION_TEXT_H_

#include <string>

#include "vantrel/alert_definitions.h"

namespace vantrel {

// Appends the records of `text` to `target.definitions` and sets
// `target.combination` when the text holds a joiner.
bool ParseDefinitionText(const std::string& text, AlertDefinitions& target);

// Replaces `text` with the definition text of `source`. Always true.
bool WriteDefinitionText(std::string& text, const AlertDefinitions& source);

}  // namespace vantrel

#endif  // VANTREL_SRC_CODEC_DEFINITION_TEXT_H_
