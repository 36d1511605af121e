// The library's four exports as the rules library calls them. Every verdict
// the tool gives ("does this rule come back unchanged?") is made here, from
// the library's own parse and write, and nowhere else.
#ifndef VANTREL_TOOLS_RULES_LIBRARY_H_
#define VANTREL_TOOLS_RULES_LIBRARY_H_

#include <vantrel/alert_definitions.h>

#include <cstdint>
#include <optional>
#include <string>

namespace vantrel::rules {

// Function or filter definitions: the library treats both alike, but a host
// keeps them apart, and so does the tool.
enum class Kind { Func, Filter };

// How the conditions of a definition are joined, as the JSON form states
// it: 0 ("@@OR@@"), 1 ("@@AND@@"), any other 32-bit value (no joiner word
// is written), or nullopt (JSON null: the text held no joiner, so a parse
// left the target's combination alone).
using Combination = std::optional<std::uint32_t>;

// The library's parse and write of one kind.
bool Parse(Kind kind, const std::string& text, AlertDefinitions& target);
// The exports take the source by modifiable reference and only read it.
void Write(Kind kind, std::string& text, AlertDefinitions& source);

// Parses `text` into `target` (which must be empty) and gives the
// combination the text sets: nullopt when it holds no joiner. False when
// the library rejects a piece; `target` then holds the records read before.
bool ParseText(Kind kind, const std::string& text, AlertDefinitions& target,
               Combination& combination);

// Writes the records of `defs` joined as `combination` says (nullopt: no
// joiner). `defs.combination` is set for the call and restored.
void WriteRecords(Kind kind, std::string& text, AlertDefinitions& defs,
                  Combination combination);

}  // namespace vantrel::rules

#endif  // VANTREL_TOOLS_RULES_LIBRARY_H_
