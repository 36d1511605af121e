// The definition text: the condition texts of a whole AlertDefinitions,
// joined by " @@AND@@ ", " @@OR@@ " or two blanks.
//
// These are the bodies of the four exported functions; see
// vantrel/alert_definitions.h for the contract.

#ifndef VANTREL_SRC_CODEC_DEFINITION_TEXT_H_
#define VANTREL_SRC_CODEC_DEFINITION_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "vantrel/alert_definitions.h"

namespace vantrel {

// Appends the records of `text` to `target.definitions` and sets
// `target.combination` when the text holds a joiner.
bool ParseDefinitionText(const std::string& text, AlertDefinitions& target);

// The same, for a text given as a view, `whole` (the C interface's pointer and
// length). On false, `*rejected_at` (when not null) is the byte offset of
// the rejected piece: where it starts, just after the joiner before it.
bool ParseDefinitionText(std::string_view whole, AlertDefinitions& target,
                         std::size_t* rejected_at);

// The size of the definition text of `source` (the largest std::size_t
// when it is too long to count), and the text itself written at `out`,
// which must have room for that many bytes. For writers that own their
// output buffer.
std::size_t DefinitionTextSize(const AlertDefinitions& source);
void PutDefinitionTextAt(char* out, const AlertDefinitions& source);

// Replaces `text` with the definition text of `source`. Always true.
bool WriteDefinitionText(std::string& text, const AlertDefinitions& source);

}  // namespace vantrel

#endif  // VANTREL_SRC_CODEC_DEFINITION_TEXT_H_
