// The JSON form of an AlertDefinitions:
//
//   {"combination": 0 | 1 | null | <any 32-bit unsigned>,
//    "definitions": [{"name": "...", "detail": "...",
//                     "params": [{"key": "...", "values": ["...", ...]}]}]}
//
// In a records document every member is required and no other is allowed,
// so that a misspelt key is an error rather than a silently empty field.
// Shape errors name the path of the member ("definitions[3].params[0].values:
// expected an array of strings, found a string"); syntax errors, numbers out
// of range included, name the line and column and show the text there.
//
// Reading is streaming and follows the shape as it goes: the first value of
// the wrong type, or an unknown or repeated member, is refused where it
// stands (before anything after it is read), records are built field by
// field, and no tree of the document is made. A batch line's report members
// are read past without being kept, nested 64 levels at most.
#ifndef VANTREL_TOOLS_RULES_RECORDS_JSON_H_
#define VANTREL_TOOLS_RULES_RECORDS_JSON_H_

#include <vantrel/alert_definitions.h>

#include <cstddef>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "library.h"
#include "text.h"

namespace vantrel::rules {

// Reports keep their members in the order written ("id" first).
using Report = nlohmann::ordered_json;

// Reads one records document into `target.definitions` (which the caller
// passes empty) and gives its combination; the text after the document may
// only be white space.
Combination ReadRecordsJson(std::string_view json, ByteMode mode,
                            AlertDefinitions& target);

// One line of a JSON Lines batch: an object with an "id" (a string or an
// integer), and either the "text" of a rule or its records ("combination"
// and "definitions"), or both. The members that the tool's own reports
// write ("status", "causes", ...) may stand beside them; any other member
// is an error.
// nlohmann's json destructor, which the noexcept special members call, may
// allocate to flatten nested values; an allocation failure there ends the
// program, as in any destructor.
// NOLINTNEXTLINE(bugprone-exception-escape)
struct RuleLine {
  Report id;                        // null until an id is read
  std::optional<std::string> text;  // the field bytes of "text"
  std::optional<std::string> status;
  bool has_records = false;
  Combination combination;
  AlertDefinitions defs{};
  // True when the rule is its text: it has a text, and either no records or
  // a status other than "ok" (a rule a parse did not read whole).
  bool UsesText() const {
    return text && (!has_records || (status && *status != "ok"));
  }
};
// Reads `line` into `rule`; on InputError `rule.id` holds the id if it was
// read before the error.
void ReadRuleLine(std::string_view line, ByteMode mode, RuleLine& rule);

// The records as one JSON document: one line per parameter, ending in a
// line break. `flush` is handed the text whenever it has grown past 64 KiB
// (to write and clear it). Fails (InputError) on a field its mode cannot
// carry: check the whole first with CheckRecordsEncodable when the output
// must not be left half-written.
void WriteRecordsJson(std::string& out, const AlertDefinitions& defs,
                      Combination combination, ByteMode mode,
                      const std::function<void(std::string&)>& flush);
// The members "combination" and "definitions" on one line, for a JSON line.
void AppendRecordMembers(std::string& out, const AlertDefinitions& defs,
                         Combination combination, ByteMode mode);
// InputError naming the first field that `mode` cannot carry.
void CheckRecordsEncodable(const AlertDefinitions& defs, ByteMode mode);

// A report as JSON text, on one line (indent -1) or indented.
std::string Dump(const Report& report, int indent = -1);

// "definitions[2].params[0].values[1]" and its parts.
std::string RecordPath(std::size_t record);
std::string ParamPath(std::size_t record, std::size_t param);
std::string ValuePath(std::size_t record, std::size_t param, std::size_t value);

}  // namespace vantrel::rules

#endif  // VANTREL_TOOLS_RULES_RECORDS_JSON_H_
