// The JSON form of an AlertDefinitions:
//
//   {"combination": 0 | 1 | null | <any 32-bit unsigned>,
//    "definitions": [{"name": "...", "detail": "...",
//                     "params": [{"key": "...", "values": ["...", ...]}]}]}
//
// Every member is required and no other is allowed, so that a misspelt key
// is an error rather than a silently empty field. Errors name the path of
// the member: "definitions[3].params[0].values: expected an array of
// strings, found a string".
#ifndef VANTREL_TOOLS_RECORDS_JSON_H_
#define VANTREL_TOOLS_RECORDS_JSON_H_

#include <vantrel/alert_definitions.h>

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel_cli {

using Json = nlohmann::json;
// Reports keep their members in the order written ("id" first).
using Report = nlohmann::ordered_json;
using Combination = std::optional<std::uint32_t>;  // nullopt: JSON null

// How field bytes map to JSON strings. Utf8: a field must be UTF-8 and is
// its JSON string as it is. Latin1: each byte is the code point of the same
// number, U+0000 to U+00FF, so every byte string has a JSON form.
enum class ByteMode { Utf8, Latin1 };

// The JSON string of a field's bytes; InputError naming `path` when the
// bytes are not UTF-8 under ByteMode::Utf8.
std::string JsonString(std::string_view bytes, ByteMode mode,
                       const std::string& path);
// The bytes of a JSON string's text (UTF-8); InputError naming `path` when
// it holds a character above U+00FF under ByteMode::Latin1.
std::string FieldBytes(std::string text, ByteMode mode,
                       const std::string& path);
// A JSON value for bytes in a report: as JsonString, but bytes that are not
// UTF-8 become U+FFFD instead of an error.
Report ReportString(std::string_view bytes, ByteMode mode);
// Reports are dumped with U+FFFD for bytes that are not UTF-8.
std::string Dump(const Report& report, int indent = -1);

// The records as one JSON document: one line per parameter, ending in a
// line break. `flush` is handed the text whenever it has grown past 64 KiB
// (to write and clear it), so a large definition never exists twice.
void WriteRecordsJson(std::string& out, const AlertDefinitions& defs,
                      Combination combination, ByteMode mode,
                      const std::function<void(std::string&)>& flush);
// The members "combination" and "definitions" on one line, for a JSON line.
void AppendRecordMembers(std::string& out, const AlertDefinitions& defs,
                         Combination combination, ByteMode mode);

// Reads one JSON document into `target.definitions`; the text after it may
// only be white space. The records are taken one by one as the reader
// reaches their end, so no document tree of the whole is built.
Combination ReadRecordsJson(std::string_view json, ByteMode mode,
                            AlertDefinitions& target);
// Reads the records of a parsed JSON object that may also hold the members
// `extra` (which it leaves alone).
Combination RecordsFromJson(const Json& object, ByteMode mode,
                            AlertDefinitions& target,
                            const std::vector<std::string>& extra);

// One JSON document on one line (a batch line), members given twice
// refused; InputError with the line, column and an excerpt otherwise.
Json ParseLine(std::string_view line);

// "definitions[2].params[0].values[1]" and its parts.
std::string RecordPath(std::size_t record);
std::string ParamPath(std::size_t record, std::size_t param);
std::string ValuePath(std::size_t record, std::size_t param, std::size_t value);

}  // namespace vantrel_cli

#endif  // VANTREL_TOOLS_RECORDS_JSON_H_
