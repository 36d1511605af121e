#include "records_json.h"

#include <array>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace vantrel::rules {
namespace {

using Json = nlohmann::json;

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

std::string Prefix(const std::string& path) {
  return path.empty() ? std::string() : path + ".";
}

// Checks that `object` has no members but `members` and gives them in the
// order asked, nullptr where missing.
template <std::size_t N>
std::array<const Json*, N> Members(const Json& object, const std::string& path,
                                   const std::array<const char*, N>& members,
                                   const char* expected) {
  if (!object.is_object()) {
    Mismatch(path.empty() ? "(top level)" : path, expected, object);
  }
  std::array<const Json*, N> found{};
  for (const auto& item : object.items()) {
    std::size_t i = 0;
    while (i < N && item.key() != members.at(i)) ++i;
    if (i == N) {
      std::string names;
      for (const char* name : members) {
        names.append(names.empty() ? "\"" : ", \"").append(name) += '"';
      }
      throw InputError(Prefix(path) + MemberName(item.key()) +
                       ": unknown member (expected " + names + ")");
    }
    found.at(i) = &item.value();
  }
  return found;
}

const Json& Need(const Json* member, const std::string& path,
                 const char* name) {
  if (member == nullptr) {
    throw InputError((path.empty() ? "(top level)" : path) +
                     ": missing member \"" + name + "\"");
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
      Members<3>(object, path, {"name", "detail", "params"},
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
    const auto parts = Members<2>(params[p], param_path, {"key", "values"},
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

Combination CombinationOf(const Json& value) {
  constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
  const std::string expected =
      "combination: expected null or an integer from 0 to 4294967295, found ";
  if (value.is_null()) return std::nullopt;
  if (value.is_number_unsigned()) {
    if (value.get<std::uint64_t>() > kMax) {
      throw InputError(expected + "a larger number");
    }
    return value.get<std::uint32_t>();
  }
  if (value.is_number_integer()) {  // negative, or written "-0"
    if (value.get<std::int64_t>() == 0) return 0;
    throw InputError(expected + "a negative number");
  }
  if (value.is_number_float()) {
    // 1e0 and 1.0 are the integer 1; 1.5 is not an integer.
    const double number = value.get<double>();
    if (number != std::floor(number)) {
      throw InputError(expected + "a fractional number");
    }
    if (number < 0) throw InputError(expected + "a negative number");
    if (number > kMax) throw InputError(expected + "a larger number");
    return static_cast<std::uint32_t>(number);
  }
  Mismatch("combination", "null or an integer from 0 to 4294967295", value);
}

// Builds the document as nlohmann's own DOM reader does, with three
// differences: a member given twice is an error, the records of a top-level
// "definitions" array are read into `target` as each one ends (and dropped
// from the tree), and a syntax error names its line and column from the
// byte the reader stopped at.
class Reader {
 public:
  Reader(std::string_view input, ByteMode mode, AlertDefinitions* target)
      : input_(input), mode_(mode), target_(target) {}

  Json Read() {
    // The JSON reader would take a NUL byte for the end of its input.
    if (const std::size_t nul = input_.find('\0');
        nul != std::string_view::npos) {
      throw InputError("byte " + std::to_string(nul) +
                       ": a NUL byte, which JSON does not allow");
    }
    Json::sax_parse(input_.begin(), input_.end(), this,
                    Json::input_format_t::json, true);
    return std::move(root_);
  }

  // The nlohmann SAX interface.
  bool null() { return Value(Json(nullptr)); }
  bool boolean(bool value) { return Value(Json(value)); }
  bool number_integer(Json::number_integer_t value) {
    return Value(Json(value));
  }
  bool number_unsigned(Json::number_unsigned_t value) {
    return Value(Json(value));
  }
  bool number_float(Json::number_float_t value, const std::string& /*text*/) {
    return Value(Json(value));
  }
  bool string(std::string& value) { return Value(Json(std::move(value))); }
  bool binary(Json::binary_t& /*value*/) { return Value(Json(nullptr)); }
  bool start_object(std::size_t /*size*/) {
    frames_.push_back(Frame{Json::object(), {}, 0});
    return true;
  }
  bool key(std::string& name) {
    Frame& frame = frames_.back();
    if (frame.value.contains(name)) {
      throw InputError(Prefix(Path(false)) + MemberName(name) +
                       ": given twice");
    }
    frame.member = std::move(name);
    return true;
  }
  bool end_object() { return Close(); }
  bool start_array(std::size_t /*size*/) {
    frames_.push_back(Frame{Json::array(), {}, 0});
    return true;
  }
  bool end_array() { return Close(); }
  // The top-level "id" member, once read (null before).
  const Json& id() const { return id_; }

  bool parse_error(std::size_t position, const std::string& token,
                   const nlohmann::detail::exception& error) {
    // `position` counts the bytes read, the one that failed included; the
    // message shows the input from there rather than the reader's token,
    // which it prints in a form of its own.
    std::string what;
    if (error.id == 406) {
      what = "number out of range: " + Excerpt(token);
    } else if (position == 0 || position > input_.size()) {
      what = "unexpected end of input";
    } else {
      constexpr std::size_t kShown = 20;
      const std::string_view rest = input_.substr(position - 1);
      what = "syntax error at " + Quote(rest.substr(0, kShown)) +
             (rest.size() > kShown ? "..." : "");
    }
    throw InputError(Where(position) + ": " + what);
  }

 private:
  struct Frame {
    Json value;
    std::string member;     // objects: the member being read
    std::size_t index = 0;  // arrays: the element being read
  };

  // The path of the value being read: "definitions[2].params"; without
  // the member of the innermost object when `member` is false.
  std::string Path(bool member = true) const {
    std::string path;
    for (const Frame& frame : frames_) {
      if (frame.value.is_array()) {
        path += "[" + std::to_string(frame.index) + "]";
      } else if (member || &frame != &frames_.back()) {
        path += (path.empty() ? "" : ".") + MemberName(frame.member);
      }
    }
    return path;
  }

  // "line 2, column 7": the line of the byte the reader stopped at, and the
  // bytes read of that line, as nlohmann's own messages count them.
  std::string Where(std::size_t position) const {
    const std::size_t end = position < input_.size() ? position : input_.size();
    std::size_t line = 1;
    std::size_t line_start = 0;
    for (std::size_t i = 0; i < end; ++i) {
      if (input_[i] == '\n') {
        ++line;
        line_start = i + 1;
      }
    }
    return "line " + std::to_string(line) + ", column " +
           std::to_string(position - line_start);
  }

  bool Value(Json value) {
    if (frames_.size() == 1 && frames_.front().member == "id") {
      id_ = value;  // kept for the error row of a line that fails later
    }
    if (frames_.empty()) {
      root_ = std::move(value);
      return true;
    }
    Frame& parent = frames_.back();
    if (parent.value.is_object()) {
      parent.value[parent.member] = std::move(value);
      return true;
    }
    if (target_ != nullptr && frames_.size() == 2 &&
        frames_.front().member == "definitions" &&
        frames_.front().value.is_object()) {
      AddRecord(value, mode_, Path(), *target_);
    } else {
      parent.value.push_back(std::move(value));
    }
    ++parent.index;
    return true;
  }

  bool Close() {
    Json value = std::move(frames_.back().value);
    frames_.pop_back();
    return Value(std::move(value));
  }

  std::string_view input_;
  ByteMode mode_;
  AlertDefinitions* target_;
  std::vector<Frame> frames_;
  Json root_;
  Json id_;
};

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

// The members of a batch line that the tool's own reports write; a line
// read back may carry them.
constexpr std::array<const char*, 15> kReportMembers = {
    "status",        "conditions",  "difference",
    "causes",        "more_causes", "message",
    "line",          "piece",       "offset",
    "item",          "item_offset", "problems",
    "more_problems", "survives",    "first_difference"};

}  // namespace

Combination ReadRecordsJson(std::string_view json, ByteMode mode,
                            AlertDefinitions& target) {
  Reader reader(json, mode, &target);
  const Json root = reader.Read();
  const auto members =
      Members<2>(root, "", {"combination", "definitions"},
                 R"(an object with "combination" and "definitions")");
  const Json& definitions = Need(members[1], "", "definitions");
  // The records themselves were taken out as they were read.
  if (!definitions.is_array()) {
    Mismatch("definitions", "an array of records", definitions);
  }
  return CombinationOf(Need(members[0], "", "combination"));
}

namespace {

// The members a rule line may hold: its own, and those of the tool's
// reports, which a line that went through a report carries along.
void CheckRuleMembers(const Json& root) {
  for (const auto& item : root.items()) {
    const std::string& name = item.key();
    if (name == "id" || name == "text" || name == "combination" ||
        name == "definitions") {
      continue;
    }
    bool known = false;
    for (const char* member : kReportMembers) known = known || name == member;
    if (!known) {
      throw InputError(
          MemberName(name) +
          R"(: unknown member (expected "id", "text", "combination" and "definitions", or a report's members))");
    }
  }
}

// The string member `name` of `root`, if it is there.
std::optional<std::string> StringMember(const Json& root, const char* name) {
  const auto member = root.find(name);
  if (member == root.end()) return std::nullopt;
  if (!member->is_string()) {
    throw InputError(std::string(name) + ": expected a string, found " +
                     Found(*member));
  }
  return member->get<std::string>();
}

}  // namespace

void ReadRuleLine(std::string_view line, ByteMode mode, RuleLine& rule) {
  Reader reader(line, mode, &rule.defs);
  Json root;
  try {
    root = reader.Read();
  } catch (const InputError&) {
    if (reader.id().is_string() || reader.id().is_number_integer()) {
      rule.id = Report::parse(reader.id().dump());
    }
    throw;
  }
  if (!root.is_object()) {
    throw InputError("(top level): expected a JSON object, found " +
                     Found(root));
  }
  const auto id = root.find("id");
  if (id != root.end()) {
    if (!id->is_string() && !id->is_number_integer()) {
      throw InputError("id: expected a string or an integer, found " +
                       Found(*id));
    }
    rule.id = Report::parse(id->dump());
  }
  CheckRuleMembers(root);
  if (id == root.end()) throw InputError(R"((top level): missing member "id")");
  rule.status = StringMember(root, "status");
  if (std::optional<std::string> text = StringMember(root, "text")) {
    rule.text = FieldBytes(*text, mode, "text");
  }
  const auto combination = root.find("combination");
  const auto definitions = root.find("definitions");
  if ((combination == root.end()) != (definitions == root.end())) {
    throw InputError(
        R"((top level): "combination" and "definitions" go together)");
  }
  if (definitions != root.end()) {
    if (!definitions->is_array()) {
      Mismatch("definitions", "an array of records", *definitions);
    }
    rule.combination = CombinationOf(*combination);
    rule.has_records = true;
  }
  if (!rule.text && !rule.has_records) {
    throw InputError(
        R"((top level): expected "text", or "combination" and "definitions")");
  }
}

void WriteRecordsJson(std::string& out, const AlertDefinitions& defs,
                      Combination combination, ByteMode mode,
                      const std::function<void(std::string&)>& flush) {
  AppendRecords(out, defs, combination, mode, true, flush);
}

void AppendRecordMembers(std::string& out, const AlertDefinitions& defs,
                         Combination combination, ByteMode mode) {
  AppendRecords(out, defs, combination, mode, false, [](std::string&) {});
}

void CheckRecordsEncodable(const AlertDefinitions& defs, ByteMode mode) {
  if (mode == ByteMode::Latin1) return;  // every byte has a form
  const auto check = [](const std::string& field, const auto& path) {
    const std::size_t bad = FirstNonUtf8(field);
    if (bad == std::string::npos) return;
    throw InputError(path() +
                     " holds bytes that are not UTF-8 (first at byte " +
                     std::to_string(bad) +
                     " of the field); use --bytes latin1 to carry every byte "
                     "as U+0000 to U+00FF");
  };
  std::size_t r = 0;
  for (const AlertDefinition& record : defs.definitions) {
    check(record.name, [&] { return RecordPath(r) + ".name"; });
    check(record.detail, [&] { return RecordPath(r) + ".detail"; });
    std::size_t p = 0;
    for (const DefinitionParam& param : record.params) {
      check(param.key, [&] { return ParamPath(r, p) + ".key"; });
      std::size_t v = 0;
      for (const std::string& value : param.values) {
        check(value, [&] { return ValuePath(r, p, v); });
        ++v;
      }
      ++p;
    }
    ++r;
  }
}

std::string Dump(const Report& report, int indent) {
  return report.dump(indent, ' ', false, Report::error_handler_t::replace);
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

}  // namespace vantrel::rules
