// The JSON form of an AlertDefinitions:
//
//   {"combination": 0 | 1 | null | <any 32-bit unsigned>,
//    "definitions": [{"name": "...", "detail": "...",
//                     "params": [{"key": "...", "values": ["...", ...]}]}]}
//
// Reading goes straight from the JSON text into the records (a SAX reader),
// so a large file costs the text and the records and no document tree.
// Writing streams the records out in the same shape.
#ifndef VANTREL_TOOLS_DEFINITIONS_JSON_H_
#define VANTREL_TOOLS_DEFINITIONS_JSON_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <vantrel/alert_definitions.h>

namespace vantrel_cli {

// How field bytes map to JSON strings. Utf8: a field must be UTF-8 and is
// its JSON string as it is. Latin1: each byte is the code point of the same
// number, U+0000 to U+00FF, so every byte string has a JSON form.
enum class ByteMode { Utf8, Latin1 };

struct JsonReadResult {
  bool ok = false;
  std::optional<std::uint32_t> combination;  // nullopt: JSON null
  std::string error;  // "line 3, column 7: ..." or "definitions[0].name: ..."
};

// Appends the records of `json` to `target.definitions`. Every member of
// the shape is required and no other member is allowed, so a misspelt key
// is an error rather than a silently empty field.
JsonReadResult ReadDefinitionsJson(const std::string& json, ByteMode mode,
                                   AlertDefinitions& target);

// The path of the first field that cannot be written as JSON under `mode`
// (a field that is not UTF-8 in Utf8 mode), with the offset of the first
// bad byte in the field; nullopt when all fields can be written.
struct BadField {
  std::string path;
  std::size_t offset = 0;
};
std::optional<BadField> FindUnwritableField(const AlertDefinitions& defs,
                                            ByteMode mode);

// Writes the JSON form, one line per parameter, ending in a line break.
// `combination` nullopt writes null. Check FindUnwritableField first. When
// `flush` is given it is handed `out` whenever that has grown past about a
// megabyte (it is expected to write and clear it), so that a large
// definition never exists twice in memory.
void WriteDefinitionsJson(
    std::string& out, const AlertDefinitions& defs,
    std::optional<std::uint32_t> combination, ByteMode mode,
    const std::function<void(std::string&)>& flush = nullptr);

// "definitions[2].params[0].values[1]" and its parts.
std::string RecordPath(std::size_t record);
std::string ParamPath(std::size_t record, std::size_t param);
std::string ValuePath(std::size_t record, std::size_t param,
                      std::size_t value);

}  // namespace vantrel_cli

#endif  // VANTREL_TOOLS_DEFINITIONS_JSON_H_
