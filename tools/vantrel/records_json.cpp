#include "records_json.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <set>
#include <utility>
#include <vector>

#include "io.h"

namespace vantrel_cli {
namespace {

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      text += c;
    } else {
      text += static_cast<char>(0xC0U | (byte >> 6U));
      text += static_cast<char>(0x80U | (byte & 0x3FU));
    }
  }
  return text;
}

// "a string", "an array", "null".
std::string Found(const Json& value) {
  std::string type = value.type_name();
  if (value.is_null()) return type;
  return (type[0] == 'a' || type[0] == 'o' ? "an " : "a ") + type;
}

[[noreturn]] void Mismatch(const std::string& path, const char* expected,
                           const Json& value) {
  throw InputError(path + ": expected " + expected + ", found " + Found(value));
}

// Checks that `object` is an object with no members but `members` (and
// `extra`), and returns those in the order given, nullptr where missing.
std::vector<const Json*> Members(const Json& object, const std::string& path,
                                 const std::vector<std::string>& members,
                                 const std::vector<std::string>& extra,
                                 const char* expected) {
  if (!object.is_object()) Mismatch(path, expected, object);
  const std::string prefix = path == "(top level)" ? "" : path + ".";
  for (const auto& item : object.items()) {
    const auto known = [&](const std::vector<std::string>& names) {
      return std::find(names.begin(), names.end(), item.key()) != names.end();
    };
    if (!known(members) && !known(extra)) {
      std::string names;
      for (const std::string& name : members) {
        names.append(names.empty() ? "\"" : ", \"").append(name) += '"';
      }
      std::string message = prefix;
      message.append(item.key()).append(": unknown member (expected ");
      throw InputError(message.append(names).append(")"));
    }
  }
  std::vector<const Json*> found;
  for (const std::string& name : members) {
    const auto at = object.find(name);
    found.push_back(at == object.end() ? nullptr : &*at);
  }
  return found;
}

const Json& Need(const Json* member, const std::string& path,
                 const char* name) {
  if (member == nullptr) {
    throw InputError(path + ": missing member \"" + name + "\"");
  }
  return *member;
}

std::string Field(const Json& value, ByteMode mode, const std::string& path) {
  if (!value.is_string()) Mismatch(path, "a string", value);
  return FieldBytes(value.get<std::string>(), mode, path);
}

void AddRecord(const Json& object, ByteMode mode, const std::string& path,
               AlertDefinitions& target) {
  const auto members =
      Members(object, path, {"name", "detail", "params"}, {},
              R"(an object with "name", "detail" and "params")");
  AlertDefinition record;
  record.name = Field(Need(members[0], path, "name"), mode, path + ".name");
  record.detail =
      Field(Need(members[1], path, "detail"), mode, path + ".detail");
  const Json& params = Need(members[2], path, "params");
  if (!params.is_array()) {
    Mismatch(path + ".params", "an array of parameters", params);
  }
  for (std::size_t p = 0; p < params.size(); ++p) {
    const std::string param_path = path + ".params[" + std::to_string(p) + "]";
    const auto parts = Members(params[p], param_path, {"key", "values"}, {},
                               R"(an object with "key" and "values")");
    DefinitionParam& param = record.params.emplace_back();
    param.key =
        Field(Need(parts[0], param_path, "key"), mode, param_path + ".key");
    const Json& values = Need(parts[1], param_path, "values");
    if (!values.is_array()) {
      Mismatch(param_path + ".values", "an array of strings", values);
    }
    for (std::size_t v = 0; v < values.size(); ++v) {
      param.values.push_back(Field(
          values[v], mode, param_path + ".values[" + std::to_string(v) + "]"));
    }
  }
  target.definitions.push_back(std::move(record));
}

// One open object or array of the document being read.
struct Frame {
  bool object = false;
  std::string member;     // objects: the member being read
  std::size_t index = 0;  // arrays: the element being read
  std::set<std::string> seen;
};

std::string PathOf(const std::vector<Frame>& frames) {
  std::string path;
  for (const Frame& frame : frames) {
    if (!frame.object) {
      path += "[" + std::to_string(frame.index) + "]";
    } else if (!frame.member.empty() || !frame.seen.empty()) {
      path += (path.empty() ? "" : ".") + frame.member;
    }
  }
  return path.empty() ? "(top level)" : path;
}

// "line 4, column 40: syntax error ...", the text the reader stopped at cut
// to a bounded, escaped excerpt.
std::string SyntaxMessage(const Json::parse_error& error) {
  std::string what = error.what();
  const std::size_t at = what.find("parse error at ");
  if (at != std::string::npos) what.erase(0, at + 15);
  const std::size_t start = what.find("last read: '");
  if (start == std::string::npos) return what;
  std::size_t end = what.rfind("'; expected");
  if (end == std::string::npos || end < start + 12) end = what.rfind('\'');
  if (end < start + 12) return what;
  const std::string token = what.substr(start + 12, end - start - 12);
  std::string shown = Quote(token.substr(0, kExcerptBytes));
  shown = shown.substr(1, shown.size() - 2);
  if (token.size() > kExcerptBytes) {
    shown += "... (" + std::to_string(token.size()) + " bytes)";
  }
  return what.replace(start + 12, end - start - 12, shown);
}

// Parses `text` with a callback that refuses a member given twice and, when
// `target` is given, takes each record of "definitions" out of the tree as
// soon as it is complete.
Json Parse(std::string_view text, ByteMode mode, AlertDefinitions* target) {
  // The JSON reader takes a NUL byte for the end of its input.
  if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
    throw InputError("byte " + std::to_string(nul) +
                     ": a NUL byte, which JSON does not allow");
  }
  std::vector<Frame> frames;
  const Json::parser_callback_t callback =
      [&](int depth, Json::parse_event_t event, Json& parsed) {
        using Event = Json::parse_event_t;
        if (event == Event::object_start || event == Event::array_start) {
          frames.push_back(Frame{event == Event::object_start, {}, 0, {}});
          return true;
        }
        if (event == Event::key) {
          Frame& frame = frames.back();
          frame.member = parsed.get<std::string>();
          if (!frame.seen.insert(frame.member).second) {
            throw InputError(PathOf(frames) + ": given twice");
          }
          return true;
        }
        if (event != Event::value) frames.pop_back();
        bool keep = true;
        if (target != nullptr && event == Event::object_end && depth == 2 &&
            frames.size() == 2 && frames[0].member == "definitions" &&
            !frames[1].object) {
          AddRecord(parsed, mode, PathOf(frames), *target);
          keep = false;
        }
        if (!frames.empty() && !frames.back().object) ++frames.back().index;
        return keep;
      };
  try {
    return Json::parse(text.begin(), text.end(), callback);
  } catch (const Json::parse_error& error) {
    throw InputError(SyntaxMessage(error));
  }
}

}  // namespace

std::string JsonString(std::string_view bytes, ByteMode mode,
                       const std::string& path) {
  // Under latin1 every character above 0x7F is written as \u00XX.
  if (mode == ByteMode::Latin1)
    return Json(Latin1ToUtf8(bytes)).dump(-1, ' ', true);
  try {
    return Json(std::string(bytes))
        .dump(-1, ' ', false, Json::error_handler_t::strict);
  } catch (const Json::type_error& error) {
    // "invalid UTF-8 byte at index 4: 0x21" names the byte where decoding
    // failed, "incomplete UTF-8 string" the end; the message names the start
    // of the sequence that holds it.
    const std::string what = error.what();
    const std::size_t index = what.find("index ");
    std::size_t at = index == std::string::npos
                         ? bytes.size()
                         : std::strtoull(what.c_str() + index + 6, nullptr, 10);
    const auto byte = [&](std::size_t i) {
      return static_cast<unsigned char>(bytes[i]);
    };
    std::size_t lead = at;
    while (lead > 0 && (byte(lead - 1) & 0xC0U) == 0x80U) --lead;
    if (lead > 0 && byte(lead - 1) >= 0xC0) {
      const std::size_t length = byte(lead - 1) >= 0xF0   ? 4
                                 : byte(lead - 1) >= 0xE0 ? 3
                                                          : 2;
      if (lead - 1 + length > at) at = lead - 1;
    }
    throw InputError(path + " holds bytes that are not UTF-8 (first at byte " +
                     std::to_string(at) +
                     " of the field); use --bytes latin1 to carry every byte "
                     "as U+0000 to U+00FF");
  }
}

std::string FieldBytes(std::string text, ByteMode mode,
                       const std::string& path) {
  if (mode == ByteMode::Utf8) return text;
  // The JSON reader has checked the UTF-8, so U+0080 to U+00FF can only be
  // the two-byte forms starting 0xC2 or 0xC3.
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x80) {
      if ((byte != 0xC2 && byte != 0xC3) || i + 1 >= text.size()) {
        throw InputError(path +
                         ": holds a character above U+00FF, which stands for "
                         "no byte under --bytes latin1");
      }
      const auto next = static_cast<unsigned char>(text[++i]);
      text[out++] = static_cast<char>(((byte & 0x03U) << 6U) | (next & 0x3FU));
    } else {
      text[out++] = text[i];
    }
  }
  text.resize(out);
  return text;
}

Report ReportString(std::string_view bytes, ByteMode mode) {
  return mode == ByteMode::Latin1 ? Report(Latin1ToUtf8(bytes))
                                  : Report(std::string(bytes));
}

std::string Dump(const Report& report, int indent) {
  return report.dump(indent, ' ', false, Report::error_handler_t::replace);
}

namespace {

// One record, with line breaks and indents (`pretty`) or on one line.
void AppendRecord(std::string& out, const AlertDefinition& record,
                  std::size_t r, ByteMode mode, bool pretty,
                  const std::function<void(std::string&)>& flush) {
  const auto pick = [pretty](const char* lines, const char* line) {
    return pretty ? lines : line;
  };
  out += pick("\n    {\n      \"name\": ", "{\"name\":");
  out += JsonString(record.name, mode, RecordPath(r) + ".name");
  out += pick(",\n      \"detail\": ", ",\"detail\":");
  out += JsonString(record.detail, mode, RecordPath(r) + ".detail");
  out += pick(",\n      \"params\": [", ",\"params\":[");
  std::size_t p = 0;
  for (const DefinitionParam& param : record.params) {
    if (p != 0) out += ',';
    out += pick("\n        {\"key\": ", "{\"key\":");
    out += JsonString(param.key, mode, ParamPath(r, p) + ".key");
    out += pick(", \"values\": [", ",\"values\":[");
    std::size_t v = 0;
    for (const std::string& value : param.values) {
      if (v != 0) out += pick(", ", ",");
      out += JsonString(value, mode, ValuePath(r, p, v++));
    }
    out += "]}";
    if (out.size() >= (1U << 16)) flush(out);
    ++p;
  }
  if (pretty && p != 0) out += "\n      ";
  out += pick("]\n    }", "]}");
}

// The records as a document with line breaks and indents (`pretty`), or as
// the members of one JSON line.
void AppendRecords(std::string& out, const AlertDefinitions& defs,
                   Combination combination, ByteMode mode, bool pretty,
                   const std::function<void(std::string&)>& flush) {
  out += pretty ? "{\n  \"combination\": " : "\"combination\":";
  out += combination ? std::to_string(*combination) : "null";
  out += pretty ? ",\n  \"definitions\": [" : ",\"definitions\":[";
  std::size_t r = 0;
  for (const AlertDefinition& record : defs.definitions) {
    if (r != 0) out += ',';
    AppendRecord(out, record, r++, mode, pretty, flush);
  }
  if (pretty && r != 0) out += "\n  ";
  out += pretty ? "]\n}\n" : "]";
}

}  // namespace

void WriteRecordsJson(std::string& out, const AlertDefinitions& defs,
                      Combination combination, ByteMode mode,
                      const std::function<void(std::string&)>& flush) {
  AppendRecords(out, defs, combination, mode, true, flush);
}

void AppendRecordMembers(std::string& out, const AlertDefinitions& defs,
                         Combination combination, ByteMode mode) {
  AppendRecords(out, defs, combination, mode, false, [](std::string&) {});
}

Combination ReadRecordsJson(std::string_view json, ByteMode mode,
                            AlertDefinitions& target) {
  return RecordsFromJson(Parse(json, mode, &target), mode, target, {});
}

Json ParseLine(std::string_view line) {
  return Parse(line, ByteMode::Utf8, nullptr);
}

Combination RecordsFromJson(const Json& object, ByteMode mode,
                            AlertDefinitions& target,
                            const std::vector<std::string>& extra) {
  const auto members =
      Members(object, "(top level)", {"combination", "definitions"}, extra,
              R"(an object with "combination" and "definitions")");
  const Json& combination = Need(members[0], "(top level)", "combination");
  const Json& definitions = Need(members[1], "(top level)", "definitions");
  const char* const expected = "null or an integer from 0 to 4294967295";
  Combination result;
  if (combination.is_number_unsigned()) {
    if (combination.get<std::uint64_t>() >
        std::numeric_limits<std::uint32_t>::max()) {
      throw InputError(std::string("combination: expected ") + expected +
                       ", found a larger number");
    }
    result = combination.get<std::uint32_t>();
  } else if (combination.is_number()) {
    throw InputError(std::string("combination: expected ") + expected +
                     (combination.is_number_float()
                          ? ", found a fractional number"
                          : ", found a negative number"));
  } else if (!combination.is_null()) {
    Mismatch("combination", expected, combination);
  }
  if (!definitions.is_array()) {
    Mismatch("definitions", "an array of records", definitions);
  }
  for (std::size_t r = 0; r < definitions.size(); ++r) {
    AddRecord(definitions[r], mode, RecordPath(r), target);
  }
  return result;
}

std::string RecordPath(std::size_t record) {
  return "definitions[" + std::to_string(record) + "]";
}
std::string ParamPath(std::size_t record, std::size_t param) {
  return RecordPath(record) + ".params[" + std::to_string(param) + "]";
}
std::string ValuePath(std::size_t record, std::size_t param,
                      std::size_t value) {
  return ParamPath(record, param) + ".values[" + std::to_string(value) + "]";
}

}  // namespace vantrel_cli
