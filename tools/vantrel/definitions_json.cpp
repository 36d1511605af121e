#include "definitions_json.h"

#include <limits>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "text_scan.h"

namespace vantrel_cli {
namespace {

using Json = nlohmann::json;

// What the next JSON value must be, decided by where the reader stands.
enum class Slot {
  Root,         // the top-level object
  Combination,  // null or an unsigned 32-bit number
  Definitions,  // array of records
  Record,       // object: name, detail, params
  Name,
  Detail,
  Params,  // array of params
  Param,   // object: key, values
  Key,
  Values,  // array of strings
  Value,
  Unknown,  // a member that the shape does not have
};

const char* Expected(Slot slot) {
  switch (slot) {
    case Slot::Root: return "an object with \"combination\" and \"definitions\"";
    case Slot::Combination: return "null or an integer from 0 to 4294967295";
    case Slot::Definitions: return "an array of records";
    case Slot::Record: return "an object with \"name\", \"detail\" and \"params\"";
    case Slot::Params: return "an array of parameters";
    case Slot::Param: return "an object with \"key\" and \"values\"";
    case Slot::Values: return "an array of strings";
    case Slot::Name:
    case Slot::Detail:
    case Slot::Key:
    case Slot::Value: return "a string";
    case Slot::Unknown: break;
  }
  return "nothing";
}

// One open object or array.
struct Frame {
  enum class Kind { Root, Definitions, Record, Params, Param, Values } kind;
  std::size_t index = 0;   // arrays: the element being read
  std::string member;      // objects: the member being read
  unsigned seen = 0;       // objects: bit per member already read
};

class DefinitionsSax {
 public:
  using number_integer_t = Json::number_integer_t;
  using number_unsigned_t = Json::number_unsigned_t;
  using number_float_t = Json::number_float_t;
  using string_t = Json::string_t;
  using binary_t = Json::binary_t;

  DefinitionsSax(AlertDefinitions& target, ByteMode mode)
      : target_(target), mode_(mode) {}

  bool null() {
    if (Current() == Slot::Combination) {
      combination_.reset();
      return Done();
    }
    return Mismatch("null");
  }
  bool boolean(bool /*value*/) { return Mismatch("a boolean"); }
  bool number_integer(number_integer_t /*value*/) {
    if (Current() == Slot::Combination) {
      return Fail(Path() + ": expected " + Expected(Slot::Combination) +
                  ", found a negative number");
    }
    return Mismatch("a number");
  }
  bool number_unsigned(number_unsigned_t value) {
    if (Current() != Slot::Combination) return Mismatch("a number");
    if (value > std::numeric_limits<std::uint32_t>::max()) {
      return Fail(Path() + ": expected " + Expected(Slot::Combination) +
                  ", found a larger number");
    }
    combination_ = static_cast<std::uint32_t>(value);
    return Done();
  }
  bool number_float(number_float_t /*value*/, const string_t& /*text*/) {
    return Mismatch("a fractional number");
  }
  bool binary(binary_t& /*value*/) { return Mismatch("binary data"); }

  bool string(string_t& value) {
    const Slot slot = Current();
    std::string* field = nullptr;
    switch (slot) {
      case Slot::Name: field = &target_.definitions.back().name; break;
      case Slot::Detail: field = &target_.definitions.back().detail; break;
      case Slot::Key:
        field = &target_.definitions.back().params.back().key;
        break;
      case Slot::Value:
        field = &target_.definitions.back().params.back().values.emplace_back();
        break;
      default: return Mismatch("a string");
    }
    *field = std::move(value);
    if (mode_ == ByteMode::Latin1 && !DecodeLatin1InPlace(*field)) {
      return Fail(Path() +
                  ": holds a character above U+00FF, which stands for no "
                  "byte under --bytes latin1");
    }
    return Done();
  }

  bool start_object(std::size_t /*size*/) {
    switch (Current()) {
      case Slot::Root: Push(Frame::Kind::Root); return true;
      case Slot::Record:
        target_.definitions.emplace_back();
        ++added_;
        Push(Frame::Kind::Record);
        return true;
      case Slot::Param:
        target_.definitions.back().params.emplace_back();
        Push(Frame::Kind::Param);
        return true;
      default: return Mismatch("an object");
    }
  }

  bool key(string_t& name) {
    Frame& frame = frames_.back();
    const unsigned bit = MemberBit(frame.kind, name);
    frame.member = std::move(name);
    if (bit == 0) {
      return Fail(Path() + ": unknown member (expected " +
                  MemberList(frame.kind) + ")");
    }
    if ((frame.seen & bit) != 0) return Fail(Path() + ": given twice");
    frame.seen |= bit;
    return true;
  }

  bool end_object() {
    const Frame& frame = frames_.back();
    const unsigned all = frame.kind == Frame::Kind::Record ? 7U : 3U;
    if (frame.seen != all) {
      for (unsigned bit = 1; bit <= all; bit <<= 1) {
        if ((frame.seen & bit) != 0) continue;
        frames_.back().member.clear();
        return Fail(ObjectPath() + ": missing member \"" +
                    MemberName(frame.kind, bit) + "\"");
      }
    }
    frames_.pop_back();
    return Done();
  }

  bool start_array(std::size_t /*size*/) {
    switch (Current()) {
      case Slot::Definitions: Push(Frame::Kind::Definitions); return true;
      case Slot::Params: Push(Frame::Kind::Params); return true;
      case Slot::Values: Push(Frame::Kind::Values); return true;
      default: return Mismatch("an array");
    }
  }

  bool end_array() {
    frames_.pop_back();
    return Done();
  }

  bool parse_error(std::size_t /*position*/, const std::string& /*token*/,
                   const nlohmann::detail::exception& error) {
    // The message reads "[json.exception.parse_error.101] parse error at
    // line L, column C: ..."; keep it from "line".
    std::string message = error.what();
    const std::size_t at = message.find("line ");
    if (at != std::string::npos) message.erase(0, at);
    return Fail(message);
  }

  const std::string& error() const { return error_; }
  std::optional<std::uint32_t> combination() const { return combination_; }

 private:
  static unsigned MemberBit(Frame::Kind kind, const std::string& name) {
    switch (kind) {
      case Frame::Kind::Root:
        return name == "combination" ? 1U : name == "definitions" ? 2U : 0U;
      case Frame::Kind::Record:
        return name == "name" ? 1U
               : name == "detail" ? 2U
               : name == "params" ? 4U
                                  : 0U;
      case Frame::Kind::Param:
        return name == "key" ? 1U : name == "values" ? 2U : 0U;
      default: return 0;
    }
  }
  static const char* MemberName(Frame::Kind kind, unsigned bit) {
    switch (kind) {
      case Frame::Kind::Root: return bit == 1 ? "combination" : "definitions";
      case Frame::Kind::Record:
        return bit == 1 ? "name" : bit == 2 ? "detail" : "params";
      default: return bit == 1 ? "key" : "values";
    }
  }
  static const char* MemberList(Frame::Kind kind) {
    switch (kind) {
      case Frame::Kind::Root: return "\"combination\", \"definitions\"";
      case Frame::Kind::Record: return "\"name\", \"detail\", \"params\"";
      default: return "\"key\", \"values\"";
    }
  }

  Slot Current() const {
    if (frames_.empty()) return done_ ? Slot::Unknown : Slot::Root;
    const Frame& frame = frames_.back();
    switch (frame.kind) {
      case Frame::Kind::Root:
        return frame.member == "combination" ? Slot::Combination
                                             : Slot::Definitions;
      case Frame::Kind::Definitions: return Slot::Record;
      case Frame::Kind::Record:
        return frame.member == "name"     ? Slot::Name
               : frame.member == "detail" ? Slot::Detail
                                          : Slot::Params;
      case Frame::Kind::Params: return Slot::Param;
      case Frame::Kind::Param:
        return frame.member == "key" ? Slot::Key : Slot::Values;
      case Frame::Kind::Values: return Slot::Value;
    }
    return Slot::Unknown;
  }

  void Push(Frame::Kind kind) { frames_.push_back(Frame{kind, 0, {}, 0}); }

  // A value is complete: the enclosing array moves on to its next element.
  bool Done() {
    if (frames_.empty()) {
      done_ = true;
    } else if (frames_.back().kind == Frame::Kind::Definitions ||
               frames_.back().kind == Frame::Kind::Params ||
               frames_.back().kind == Frame::Kind::Values) {
      ++frames_.back().index;
    }
    return true;
  }

  std::string PathOf(std::size_t depth) const {
    std::string path;
    for (std::size_t i = 0; i < depth; ++i) {
      const Frame& frame = frames_[i];
      switch (frame.kind) {
        case Frame::Kind::Definitions:
        case Frame::Kind::Params:
        case Frame::Kind::Values:
          path += "[" + std::to_string(frame.index) + "]";
          break;
        default:
          if (frame.member.empty()) break;
          if (!path.empty()) path += '.';
          path += frame.member;
          break;
      }
    }
    return path;
  }
  std::string Path() const {
    const std::string path = PathOf(frames_.size());
    return path.empty() ? "(top level)" : path;
  }
  std::string ObjectPath() const { return Path(); }

  bool Mismatch(const char* found) {
    return Fail(Path() + ": expected " + Expected(Current()) + ", found " +
                found);
  }
  bool Fail(std::string message) {
    error_ = std::move(message);
    return false;
  }

  AlertDefinitions& target_;
  ByteMode mode_;
  std::vector<Frame> frames_;
  std::optional<std::uint32_t> combination_;
  std::string error_;
  std::size_t added_ = 0;
  bool done_ = false;
};

void AppendField(std::string& out, std::string_view bytes, ByteMode mode) {
  AppendJsonString(out, bytes, mode == ByteMode::Latin1);
}

}  // namespace

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

JsonReadResult ReadDefinitionsJson(const std::string& json, ByteMode mode,
                                   AlertDefinitions& target) {
  DefinitionsSax sax(target, mode);
  JsonReadResult result;
  result.ok = Json::sax_parse(json, &sax, Json::input_format_t::json, true);
  result.combination = sax.combination();
  if (!result.ok) result.error = sax.error();
  return result;
}

std::optional<BadField> FindUnwritableField(const AlertDefinitions& defs,
                                            ByteMode mode) {
  if (mode == ByteMode::Latin1) return std::nullopt;
  std::size_t r = 0;
  for (const AlertDefinition& record : defs.definitions) {
    if (auto bad = FirstNonUtf8(record.name)) {
      return BadField{RecordPath(r) + ".name", *bad};
    }
    if (auto bad = FirstNonUtf8(record.detail)) {
      return BadField{RecordPath(r) + ".detail", *bad};
    }
    std::size_t p = 0;
    for (const DefinitionParam& param : record.params) {
      if (auto bad = FirstNonUtf8(param.key)) {
        return BadField{ParamPath(r, p) + ".key", *bad};
      }
      std::size_t v = 0;
      for (const std::string& value : param.values) {
        if (auto bad = FirstNonUtf8(value)) {
          return BadField{ValuePath(r, p, v), *bad};
        }
        ++v;
      }
      ++p;
    }
    ++r;
  }
  return std::nullopt;
}

void WriteDefinitionsJson(std::string& out, const AlertDefinitions& defs,
                          std::optional<std::uint32_t> combination,
                          ByteMode mode,
                          const std::function<void(std::string&)>& flush) {
  constexpr std::size_t kFlushAt = std::size_t{1} << 20;
  out += "{\n  \"combination\": ";
  out += combination ? std::to_string(*combination) : "null";
  out += ",\n  \"definitions\": [";
  bool first_record = true;
  for (const AlertDefinition& record : defs.definitions) {
    out += first_record ? "\n" : ",\n";
    first_record = false;
    out += "    {\n      \"name\": ";
    AppendField(out, record.name, mode);
    out += ",\n      \"detail\": ";
    AppendField(out, record.detail, mode);
    out += ",\n      \"params\": [";
    bool first_param = true;
    for (const DefinitionParam& param : record.params) {
      out += first_param ? "\n" : ",\n";
      first_param = false;
      out += "        {\"key\": ";
      AppendField(out, param.key, mode);
      out += ", \"values\": [";
      bool first_value = true;
      for (const std::string& value : param.values) {
        if (!first_value) out += ", ";
        first_value = false;
        AppendField(out, value, mode);
      }
      out += "]}";
    }
    out += first_param ? "]\n    }" : "\n      ]\n    }";
    if (flush && out.size() >= kFlushAt) flush(out);
  }
  out += first_record ? "]\n}\n" : "\n  ]\n}\n";
}

}  // namespace vantrel_cli
