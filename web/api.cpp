// The WebAssembly module's C interface: what the inspector page (and Node)
// calls through web/vantrel.js. Every answer is made by the rules library
// and rendered by its renderers, so that each is byte for byte what the
// `vantrel` tool prints for the same rule:
//
//   vt_check          vantrel check --json --input text
//   vt_check_records  vantrel check --json --input json
//   vt_parse          vantrel parse (records JSON), or {"error": ...} with
//                     the tool's message where it writes no records (a
//                     rejected text, a field the byte mode cannot carry)
//   vt_format         vantrel format (the text, without a final newline)
//   vt_explain        the role and byte span of every part of a text
//
// Each takes the input's bytes (pointer and length), the kind (0 func,
// 1 filter) and the byte mode (0 utf8, 1 latin1), and returns a malloc'd
// buffer: a 32-bit status (0 done, 1 an error whose message follows), a
// 32-bit size, then that many bytes. The caller frees it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "library.h"
#include "records_check.h"
#include "records_json.h"
#include "reference/located_reader.h"
#include "reference/marks.h"
#include "reports.h"
#include "text.h"
#include "text_check.h"

namespace vantrel::web {
namespace {

namespace ref = vantrel_reference;
using rules::ByteMode;
using rules::InputError;
using rules::Kind;

constexpr std::uint32_t kDone = 0;
constexpr std::uint32_t kError = 1;

// The roles of explain, in the order web/vantrel.js names them.
enum class Role : std::uint8_t {
  kMark,
  kName,
  kDetail,
  kKey,
  kValue,
  kJoiner,
  kDropped,
  kRejected
};

struct Part {
  Role role;
  std::size_t start;
  std::size_t end;
};

Kind KindOf(int kind) { return kind == 1 ? Kind::Filter : Kind::Func; }
ByteMode ModeOf(int mode) {
  return mode == 1 ? ByteMode::Latin1 : ByteMode::Utf8;
}

// The result buffer; nullptr when even that cannot be allocated.
std::uint8_t* Result(std::uint32_t status, std::string_view bytes) {
  if (bytes.size() > std::numeric_limits<std::uint32_t>::max() - 8) {
    return nullptr;
  }
  auto* out = static_cast<std::uint8_t*>(std::malloc(bytes.size() + 8));
  if (out == nullptr) return nullptr;
  const auto size = static_cast<std::uint32_t>(bytes.size());
  std::memcpy(out, &status, 4);
  std::memcpy(out + 4, &size, 4);
  if (!bytes.empty()) std::memcpy(out + 8, bytes.data(), bytes.size());
  return out;
}

// A message of the rules library with the tool's option that helps.
std::string Hinted(std::string message) {
  if (message.find("latin1 byte mode") != std::string::npos) {
    message += " (--bytes latin1)";
  }
  return message;
}

// parse's answer where the tool writes no records: {"error": message}.
std::string ErrorJson(const std::string& message) {
  return rules::Dump(rules::Report{{"error", message}}) + "\n";
}

// Runs `make` and wraps its answer, or the message of the error that ended
// it, as the tool would print it.
template <typename Make>
std::uint8_t* Answer(Make make) {
  try {
    return Result(kDone, make());
  } catch (const InputError& error) {
    // The tool's hint names its option; the page's is the same setting.
    return Result(kError, Hinted(error.what()));
  } catch (const std::bad_alloc&) {
    return Result(kError, "out of memory");
  } catch (const std::exception& error) {
    return Result(kError, error.what());
  }
}

std::string Bytes(const std::uint8_t* data, std::size_t size) {
  return size == 0 ? std::string()
                   : std::string(reinterpret_cast<const char*>(data), size);
}

// One final LF or CRLF ends a file and is not part of the rule, as the tool
// reads a single rule.
std::string RuleText(const std::uint8_t* data, std::size_t size) {
  const std::string bytes = Bytes(data, size);
  return std::string(rules::WithoutFinalLineBreak(bytes));
}

// The parts of a text as the located reader finds them: the marks and
// fields of every condition read, the joiners between them, the bytes the
// check names as dropped and the rejected item.
std::vector<Part> Parts(const std::string& text,
                        const rules::TextCheck& check) {
  constexpr std::size_t kMark = ref::kNameMark.size();
  std::vector<Part> parts;
  const auto add = [&parts](Role role, std::size_t start, std::size_t end) {
    parts.push_back(Part{role, start, end});
  };
  ref::Pieces pieces(text);
  const std::size_t joiner = pieces.joiner().size();
  ref::Span piece;
  std::size_t read = 0;
  const std::size_t limit = check.status == rules::Status::kRejected
                                ? check.rejection.piece
                                : std::numeric_limits<std::size_t>::max();
  while (read < limit && pieces.Next(piece)) {
    ++read;
    const ref::LocatedCondition c = ref::LocateCondition(text, piece);
    if (c.has_name()) {
      add(Role::kMark, c.name_open, c.name_open + kMark);
      add(Role::kName, c.name().offset, c.name().end());
      add(Role::kMark, c.name_close, c.name_close + kMark);
    }
    if (c.has_detail()) {
      add(Role::kMark, c.detail_open, c.detail_open + kMark);
      add(Role::kDetail, c.detail().offset, c.detail().end());
      add(Role::kMark, c.detail_close, c.detail_close + kMark);
    }
    if (c.has_params()) {
      add(Role::kMark, c.params_open, c.params_open + kMark);
      for (const ref::LocatedParam& p : c.params) {
        if (p.key_separator == ref::kNone) {
          add(Role::kRejected, p.item.offset, p.item.end());
          continue;
        }
        add(Role::kKey, p.key.offset, p.key.end());
        add(Role::kMark, p.key_separator,
            p.key_separator + ref::kKeySeparator.size());
        for (std::size_t v = 0; v < p.values.size(); ++v) {
          add(Role::kValue, p.values[v].offset, p.values[v].end());
          if (v + 1 < p.values.size()) {
            add(Role::kMark, p.values[v].end(), p.values[v + 1].offset);
          }
        }
        if (!p.last) add(Role::kMark, p.item.end(), p.item.end() + kMark);
      }
      add(Role::kMark, c.params_close, c.params_close + kMark);
    }
    if (c.rejected && c.params.empty()) {
      add(Role::kRejected, check.rejection.offset, check.rejection.offset);
    }
    if (pieces.joiner_after() != ref::kNone) {
      add(Role::kJoiner, pieces.joiner_after(), pieces.joiner_after() + joiner);
    }
  }
  if (check.status == rules::Status::kLossy) {
    for (const rules::Cause& cause : check.causes.kept()) {
      if (cause.size > 0) {
        add(Role::kDropped, cause.offset, cause.offset + cause.size);
      }
    }
  }
  // Where parts overlap (a closing mark found inside its opening one, a
  // name read to the end of its piece across the bytes dropped), each byte
  // shows the part of the highest rank: dropped bytes, then the rejected
  // item, marks, joiners, and the fields last.
  const auto rank = [](Role role) {
    switch (role) {
      case Role::kDropped:
        return 4;
      case Role::kRejected:
        return 3;
      case Role::kMark:
        return 2;
      case Role::kJoiner:
        return 1;
      default:
        return 0;
    }
  };
  std::stable_sort(parts.begin(), parts.end(),
                   [&rank](const Part& a, const Part& b) {
                     return rank(a.role) < rank(b.role);
                   });
  constexpr std::uint32_t kNoPart = std::numeric_limits<std::uint32_t>::max();
  std::vector<std::uint32_t> owner(text.size(), kNoPart);
  std::vector<Part> shown;
  std::vector<Part> points;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const Part& part = parts[i];
    if (part.role == Role::kRejected && part.start == part.end) {
      points.push_back(part);  // a rejected item with no bytes
    }
    for (std::size_t at = part.start; at < part.end && at < text.size(); ++at) {
      owner[at] = static_cast<std::uint32_t>(i);
    }
  }
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = at + 1;
    while (end < text.size() && owner[end] == owner[at]) ++end;
    if (owner[at] != kNoPart)
      shown.push_back(Part{parts[owner[at]].role, at, end});
    at = end;
  }
  std::stable_sort(
      shown.begin(), shown.end(), [](const Part& a, const Part& b) {
        if (a.start != b.start) return a.start < b.start;
        return a.start == a.end && b.start != b.end;  // a point first
      });
  return shown;
}

// {"status":"lossy","parts":[role,start,end,...]} and the text written.
std::string Explain(const std::string& text, Kind kind) {
  const rules::TextCheck check =
      rules::CheckText(kind, text, std::numeric_limits<std::size_t>::max());
  std::string json = std::string(R"({"status":")") +
                     rules::StatusName(check.status) + R"(","parts":[)";
  bool first = true;
  for (const Part& part : Parts(text, check)) {
    json += (first ? "" : ",") +
            std::to_string(static_cast<unsigned>(part.role)) + "," +
            std::to_string(part.start) + "," + std::to_string(part.end);
    first = false;
  }
  json += "]}";
  std::string out(4, '\0');
  const auto size = static_cast<std::uint32_t>(json.size());
  std::memcpy(out.data(), &size, 4);
  out += json;
  if (check.status == rules::Status::kOk) {
    out += text;
  } else if (check.status == rules::Status::kLossy) {
    out += check.written;
  }
  return out;
}

}  // namespace
}  // namespace vantrel::web

extern "C" {

using vantrel::rules::InputError;
using vantrel::web::Answer;
using vantrel::web::Bytes;
using vantrel::web::ErrorJson;
using vantrel::web::KindOf;
using vantrel::web::ModeOf;
using vantrel::web::RuleText;

std::uint8_t* vt_check(const std::uint8_t* data, std::size_t size, int kind,
                       int mode) {
  return Answer([&] {
    const std::string text = RuleText(data, size);
    return vantrel::rules::TextReportJson(
        vantrel::rules::CheckText(KindOf(kind), text), text, ModeOf(mode));
  });
}

std::uint8_t* vt_check_records(const std::uint8_t* data, std::size_t size,
                               int kind, int mode) {
  return Answer([&] {
    AlertDefinitions defs{};
    const vantrel::rules::Combination combination =
        vantrel::rules::ReadRecordsJson(Bytes(data, size), ModeOf(mode), defs);
    return vantrel::rules::RecordsReportJson(
        vantrel::rules::CheckRecords(KindOf(kind), defs, combination),
        ModeOf(mode));
  });
}

std::uint8_t* vt_parse(const std::uint8_t* data, std::size_t size, int kind,
                       int mode) {
  return Answer([&] {
    const std::string text = RuleText(data, size);
    AlertDefinitions defs{};
    vantrel::rules::Combination combination;
    const vantrel::rules::TextCheck check =
        vantrel::rules::CheckText(KindOf(kind), text, 0, &defs, &combination);
    if (check.status == vantrel::rules::Status::kRejected) {
      return ErrorJson(vantrel::rules::Describe(check.rejection, text));
    }
    try {
      vantrel::rules::CheckRecordsEncodable(defs, ModeOf(mode));
    } catch (const InputError& error) {
      return ErrorJson(vantrel::web::Hinted(error.what()));
    }
    std::string json;
    std::string chunks;
    vantrel::rules::WriteRecordsJson(json, defs, combination, ModeOf(mode),
                                     [&chunks](std::string& chunk) {
                                       chunks += chunk;
                                       chunk.clear();
                                     });
    return chunks + json;
  });
}

std::uint8_t* vt_format(const std::uint8_t* data, std::size_t size, int kind,
                        int mode) {
  return Answer([&] {
    AlertDefinitions defs{};
    const vantrel::rules::Combination combination =
        vantrel::rules::ReadRecordsJson(Bytes(data, size), ModeOf(mode), defs);
    std::string text;
    vantrel::rules::WriteRecords(KindOf(kind), text, defs, combination);
    return text;
  });
}

std::uint8_t* vt_explain(const std::uint8_t* data, std::size_t size, int kind,
                         int /*mode*/) {
  return Answer([&] {
    return vantrel::web::Explain(RuleText(data, size), KindOf(kind));
  });
}

}  // extern "C"
