#include "records_json.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
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

// The combination's value: null or an integer from 0 to 4294967295.
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

// The members a rule line may hold besides its own: those of the tool's
// reports, which a line that went through a report carries along.
constexpr std::array<const char*, 14> kReportMembers = {
    "status",      "conditions", "difference",    "causes", "more_causes",
    "message",     "line",       "piece",         "offset", "item",
    "item_offset", "problems",   "more_problems", "reason"};

// A batch line's id as its reports write it back.
Report IdOf(const Json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_number_unsigned()) return value.get<std::uint64_t>();
  return value.get<std::int64_t>();
}

// What a value in the document must be, from where it stands.
enum class Place {
  kRecordsRoot,  // a records document: {"combination", "definitions"}
  kLineRoot,     // a batch line: {"id", "text", ...}
  kCombination,  // null or an integer
  kDefinitions,  // [record, ...]
  kRecord,       // {"name", "detail", "params"}
  kParams,       // [param, ...]
  kParam,        // {"key", "values"}
  kValues,       // [string, ...]
  kString,       // name, detail, key, a value, text, status
  kId,           // a string or an integer
  kAny,          // a report member's value: read past, never kept
};

// The members of each kind of object, in the order missing ones are named.
// A line's report members come after its own; only "status" is read.
constexpr std::array<const char*, 2> kRootMembers = {"definitions",
                                                     "combination"};
constexpr std::array<const char*, 3> kRecordMembers = {"name", "detail",
                                                       "params"};
constexpr std::array<const char*, 2> kParamMembers = {"key", "values"};
constexpr std::array<const char*, 4> kLineMembers = {
    "id", "text", "combination", "definitions"};

// How deep a report member's value may nest; a records document nests six
// levels at most, so anything deeper is refused as soon as it opens.
constexpr std::size_t kMostDepth = 64;

// Reads a records document, or a batch line, as nlohmann's SAX reader hands
// it over, and refuses it at the first event that shows a wrong shape: no
// tree is built, records go straight into their AlertDefinitions as each one
// ends, and a report member's value is read past without being kept. So the
// memory used is the records' own, whatever the input.
class Reader {
 public:
  Reader(std::string_view input, ByteMode mode, Place root,
         AlertDefinitions& target)
      : input_(input), mode_(mode), root_(root), target_(target) {}

  void Read() {
    // The JSON reader would take a NUL byte for the end of its input.
    if (const std::size_t nul = input_.find('\0');
        nul != std::string_view::npos) {
      throw InputError("byte " + std::to_string(nul) +
                       ": a NUL byte, which JSON does not allow");
    }
    const bool read = Json::sax_parse(input_.begin(), input_.end(), this,
                                      Json::input_format_t::json, true);
    if (!failure_.empty()) throw InputError(failure_);
    if (!read) throw InputError("the reader stopped");  // not reached
  }

  // What was read.
  Combination combination() const { return combination_; }
  bool has(const char* member) const {
    const auto& names = root_ == Place::kLineRoot ? LineNames() : RootNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (std::string_view(names.at(i)) == member)
        return (seen_ >> i & 1U) != 0;
    }
    return false;
  }
  const Report& id() const { return id_; }
  const std::optional<std::string>& text() const { return text_; }
  const std::optional<std::string>& status() const { return status_; }

  // The nlohmann SAX interface. Each returns false only to stop the reader
  // once a failure is noted (see Fail).
  bool null() { return Scalar(Json(nullptr)); }
  bool boolean(bool value) { return Scalar(Json(value)); }
  bool number_integer(Json::number_integer_t value) {
    return Scalar(Json(value));
  }
  bool number_unsigned(Json::number_unsigned_t value) {
    return Scalar(Json(value));
  }
  bool number_float(Json::number_float_t value, const std::string& /*text*/) {
    return Scalar(Json(value));
  }
  bool binary(Json::binary_t& /*value*/) { return Scalar(Json(nullptr)); }
  bool string(std::string& value) {
    if (!failure_.empty()) return Skipped(Json(std::move(value)));
    const Place place = Here();
    if (place == Place::kString) {
      try {
        StringValue(std::move(value));
      } catch (const InputError& error) {  // bytes the mode cannot carry
        Fail(error.what());
      }
    } else if (place == Place::kId) {
      id_ = value;
    } else if (place != Place::kAny) {
      Wrong(place, "a string");
    }
    return Next();
  }
  bool start_object(std::size_t /*size*/) { return Open(true); }
  bool start_array(std::size_t /*size*/) { return Open(false); }
  bool end_object() { return Close(); }
  bool end_array() { return Close(); }

  // (The reader hands the name over to be taken; it is only looked at.)
  // cppcheck-suppress constParameter
  bool key(std::string& name) {
    if (!failure_.empty()) {
      if (depth_ == 1) at_id_ = name == "id";
      return true;
    }
    Frame& frame = frames_.back();
    const auto& names = NamesOf(frame.place);
    if (names.empty()) return true;  // inside a report member's value
    std::size_t i = 0;
    while (i < names.size() && name != names.at(i)) ++i;
    if (i == names.size()) {
      Fail(Prefix(ObjectPath()) + MemberName(name) + ": unknown member " +
           Expected(frame.place));
      return true;
    }
    if ((frame.seen >> i & 1U) != 0) {
      Fail(Prefix(ObjectPath()) + MemberName(name) + ": given twice");
      return true;
    }
    frame.seen |= std::uint32_t{1} << i;
    frame.member = i;
    return true;
  }

  bool parse_error(std::size_t position, const std::string& token,
                   const nlohmann::detail::exception& error) {
    if (!failure_.empty()) return false;  // the first failure is told
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
    Place place;
    std::size_t member = 0;  // objects: the member being read
    std::size_t index = 0;   // arrays: the element being read
    std::uint32_t seen = 0;  // objects: the members read
  };

  static const std::vector<const char*>& RootNames() {
    static const std::vector<const char*> names(kRootMembers.begin(),
                                                kRootMembers.end());
    return names;
  }
  static const std::vector<const char*>& LineNames() {
    static const std::vector<const char*> names = [] {
      std::vector<const char*> all(kLineMembers.begin(), kLineMembers.end());
      all.insert(all.end(), kReportMembers.begin(), kReportMembers.end());
      return all;
    }();
    return names;
  }
  static const std::vector<const char*>& NamesOf(Place place) {
    static const std::vector<const char*> none;
    static const std::vector<const char*> record(kRecordMembers.begin(),
                                                 kRecordMembers.end());
    static const std::vector<const char*> param(kParamMembers.begin(),
                                                kParamMembers.end());
    switch (place) {
      case Place::kRecordsRoot:
        return RootNames();
      case Place::kLineRoot:
        return LineNames();
      case Place::kRecord:
        return record;
      case Place::kParam:
        return param;
      default:
        return none;
    }
  }
  static std::string Expected(Place place) {
    switch (place) {
      case Place::kRecordsRoot:
        return R"((expected "combination", "definitions"))";
      case Place::kRecord:
        return R"((expected "name", "detail", "params"))";
      case Place::kParam:
        return R"((expected "key", "values"))";
      default:
        return R"((expected "id", "text", "combination" and "definitions", or a report's members))";
    }
  }

  // Where the next value goes.
  Place Here() const {
    if (frames_.empty()) return root_;
    const Frame& frame = frames_.back();
    switch (frame.place) {
      case Place::kRecordsRoot:
        return frame.member == 0 ? Place::kDefinitions : Place::kCombination;
      case Place::kLineRoot:
        switch (frame.member) {
          case 0:
            return Place::kId;
          case 1:
            return Place::kString;  // text
          case 2:
            return Place::kCombination;
          case 3:
            return Place::kDefinitions;
          case kLineMembers.size():
            return Place::kString;  // status
          default:
            return Place::kAny;
        }
      case Place::kDefinitions:
        return Place::kRecord;
      case Place::kRecord:
        return frame.member == 2 ? Place::kParams : Place::kString;
      case Place::kParams:
        return Place::kParam;
      case Place::kParam:
        return frame.member == 1 ? Place::kValues : Place::kString;
      case Place::kValues:
        return Place::kString;
      default:
        return Place::kAny;
    }
  }

  // The path through the first `frames` frames: "definitions[2].params".
  std::string PathTo(std::size_t frames) const {
    std::string path;
    for (std::size_t f = 0; f < frames; ++f) {
      const Frame& frame = frames_[f];
      if (frame.place == Place::kDefinitions || frame.place == Place::kParams ||
          frame.place == Place::kValues) {
        path += "[" + std::to_string(frame.index) + "]";
      } else {
        path += (path.empty() ? "" : ".") +
                std::string(NamesOf(frame.place).at(frame.member));
      }
    }
    return path;
  }
  // The value about to be read, and the object it is in.
  std::string Path() const { return PathTo(frames_.size()); }
  std::string ObjectPath() const {
    return frames_.empty() ? std::string() : PathTo(frames_.size() - 1);
  }
  std::string PathOrTop() const {
    const std::string path = Path();
    return path.empty() ? "(top level)" : path;
  }

  // The value found where `place` wanted something else.
  void Wrong(Place place, const std::string& found) {
    const std::string path = PathOrTop();
    const auto expected = [&](const char* what) {
      Fail(path + ": expected " + what + ", found " + found);
    };
    switch (place) {
      case Place::kRecordsRoot:
        return expected(R"(an object with "combination" and "definitions")");
      case Place::kLineRoot:
        return expected("a JSON object");
      case Place::kCombination:
        return expected("null or an integer from 0 to 4294967295");
      case Place::kDefinitions:
        return expected("an array of records");
      case Place::kRecord:
        return expected(R"(an object with "name", "detail" and "params")");
      case Place::kParams:
        return expected("an array of parameters");
      case Place::kParam:
        return expected(R"(an object with "key" and "values")");
      case Place::kValues:
        return expected("an array of strings");
      case Place::kString:
        return expected("a string");
      case Place::kId:
        return expected("a string or an integer");
      case Place::kAny:
        return;
    }
  }

  // Notes the first failure. A batch line is then read on for its "id"
  // only (for the error row), in constant memory; anything else stops.
  void Fail(const std::string& message) {
    if (root_ != Place::kLineRoot || !id_.is_null()) throw InputError(message);
    failure_ = message;
    depth_ = frames_.size();
    at_id_ = false;
  }
  bool Skipped(const Json& value) {
    if (depth_ == 1 && at_id_ &&
        (value.is_string() || value.is_number_integer())) {
      id_ = IdOf(value);
      throw InputError(failure_);
    }
    return true;
  }

  bool Scalar(const Json& value) {
    if (!failure_.empty()) return Skipped(value);
    const Place place = Here();
    switch (place) {
      case Place::kCombination:
        try {
          combination_ = CombinationOf(value);
        } catch (const InputError& error) {
          Fail(error.what());
        }
        break;
      case Place::kId:
        if (value.is_string() || value.is_number_integer()) {
          id_ = IdOf(value);
        } else {
          Wrong(place, Found(value));
        }
        break;
      case Place::kAny:
        break;
      default:
        Wrong(place, Found(value));
    }
    return Next();
  }

  void StringValue(std::string value) {
    const Frame& frame = frames_.back();
    switch (frame.place) {
      case Place::kLineRoot:
        if (frame.member == 1) {
          text_ = FieldBytes(std::move(value), mode_, "text");
        } else {
          status_ = std::move(value);
        }
        return;
      case Place::kRecord: {
        std::string& field = frame.member == 0 ? record_.name : record_.detail;
        field = FieldBytes(std::move(value), mode_, Path());
        return;
      }
      case Place::kParam:
        record_.params.back().key = FieldBytes(std::move(value), mode_, Path());
        return;
      default:  // kValues
        record_.params.back().values.push_back(
            FieldBytes(std::move(value), mode_, Path()));
    }
  }

  bool Open(bool object) {
    if (!failure_.empty()) return ++depth_ <= kMostDepth;
    const Place place = Here();
    const bool wanted =
        place == Place::kAny ||
        (object ? place == Place::kRecordsRoot || place == Place::kLineRoot ||
                      place == Place::kRecord || place == Place::kParam
                : place == Place::kDefinitions || place == Place::kParams ||
                      place == Place::kValues);
    if (!wanted) {
      Wrong(place, object ? "an object" : "an array");
      return ++depth_ <= kMostDepth;
    }
    if (frames_.size() >= kMostDepth) {
      Fail(std::string(NamesOf(frames_[0].place).at(frames_[0].member)) +
           ": nested deeper than " + std::to_string(kMostDepth) + " levels");
      return false;
    }
    if (place == Place::kRecord) record_ = AlertDefinition{};
    if (place == Place::kParam) record_.params.emplace_back();
    frames_.push_back(Frame{place});
    return true;
  }

  bool Close() {
    if (!failure_.empty()) {
      --depth_;
      return true;
    }
    const Frame frame = frames_.back();
    const auto& names = NamesOf(frame.place);
    // The members every record and parameter must have, in order.
    const std::size_t required =
        frame.place == Place::kRecord || frame.place == Place::kParam
            ? names.size()
            : 0;
    for (std::size_t i = 0; i < required; ++i) {
      if ((frame.seen >> i & 1U) == 0) {
        const std::string path = ObjectPath();
        Fail((path.empty() ? "(top level)" : path) + ": missing member \"" +
             names.at(i) + "\"");
        --depth_;
        return true;
      }
    }
    frames_.pop_back();
    if (frames_.empty()) seen_ = frame.seen;
    if (frame.place == Place::kRecord) {
      target_.definitions.push_back(std::move(record_));
      record_ = AlertDefinition{};
    }
    return frames_.empty() || Next();
  }
  // After a value: the next element of an array.
  bool Next() {
    if (!frames_.empty()) ++frames_.back().index;
    return true;
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

  std::string_view input_;
  ByteMode mode_;
  Place root_;
  AlertDefinitions& target_;
  std::vector<Frame> frames_;
  AlertDefinition record_;  // the record being read
  std::uint32_t seen_ = 0;  // the top-level members read
  Combination combination_;
  Report id_;
  std::optional<std::string> text_;
  std::optional<std::string> status_;
  std::string failure_;    // the first shape error of a batch line
  std::size_t depth_ = 0;  // after it: how deep the reader is
  bool at_id_ = false;     // after it: the top-level member is "id"
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

}  // namespace

Combination ReadRecordsJson(std::string_view json, ByteMode mode,
                            AlertDefinitions& target) {
  Reader reader(json, mode, Place::kRecordsRoot, target);
  reader.Read();
  const auto* const missing =
      std::find_if(kRootMembers.begin(), kRootMembers.end(),
                   [&](const char* member) { return !reader.has(member); });
  if (missing != kRootMembers.end()) {
    throw InputError(std::string(R"((top level): missing member ")") +
                     *missing + "\"");
  }
  return reader.combination();
}

void ReadRuleLine(std::string_view line, ByteMode mode, RuleLine& rule) {
  Reader reader(line, mode, Place::kLineRoot, rule.defs);
  try {
    reader.Read();
  } catch (const InputError&) {
    if (!reader.id().is_null()) rule.id = reader.id();
    throw;
  }
  if (!reader.has("id"))
    throw InputError(R"((top level): missing member "id")");
  rule.id = reader.id();
  rule.status = reader.status();
  rule.text = reader.text();
  if (reader.has("combination") != reader.has("definitions")) {
    throw InputError(
        R"((top level): "combination" and "definitions" go together)");
  }
  rule.has_records = reader.has("definitions");
  rule.combination = reader.combination();
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
