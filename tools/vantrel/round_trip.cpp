#include "round_trip.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>

#include "io.h"
#include "records_json.h"

namespace vantrel_cli {
namespace {

struct Mark {
  std::string_view text;
  const char* effect;
};

// The marks that change a field of each kind when they appear in it, or
// when the field's own bytes run together with a neighbouring mark into
// one. The others ("--{--" in a name, "==" in a value, ...) are harmless
// there, because the reader does not look for them at that point.
constexpr Mark kNameMarks[] = {
    {"--#--", "closes the name, so the name is cut there"},
};
constexpr Mark kDetailMarks[] = {
    {"--}--", "closes the detail block, so the detail is cut there"},
};
constexpr Mark kKeyMarks[] = {
    {"==", "separates key and values, so the key ends at the first \"==\" "
           "and the rest goes to the first value"},
    {"--;--", "separates parameter items, so the item ends there"},
    {"--}--", "closes the params block, so the block ends there and the "
              "later parameters are lost"},
};
constexpr Mark kValueMarks[] = {
    {"--,--", "separates values, so the value is split there"},
    {"--;--", "separates parameter items, so the item ends there and the "
              "rest is read as a new item"},
    {"--}--", "closes the params block, so the block ends there and the "
              "later values and parameters are lost"},
};
constexpr Mark kJoiners[] = {
    {"@@OR@@", "is the or-joiner: the definition text is cut into "
               "conditions at every \"@@OR@@\""},
    {"@@AND@@", "is the and-joiner: the definition text is cut there "
                "unless it also holds \"@@OR@@\""},
};

std::string InQuotes(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

// The causes found in one field: marks held whole, and marks formed together
// with the mark written before it (`before`) or after it (`after`).
template <std::size_t N>
std::vector<std::string> CausesIn(std::string_view field,
                                  const Mark (&marks)[N],
                                  std::string_view before,
                                  std::string_view after) {
  std::vector<std::string> causes;
  for (const Mark& joiner : kJoiners) {
    if (field.find(joiner.text) != std::string_view::npos) {
      causes.push_back("holds " + InQuotes(joiner.text) + ", which " +
                       joiner.effect);
    }
  }
  const std::string written =
      std::string(before) + std::string(field) + std::string(after);
  for (const Mark& mark : marks) {
    if (field.find(mark.text) != std::string_view::npos) {
      causes.push_back("holds " + InQuotes(mark.text) + ", which " + mark.effect);
      continue;
    }
    // An occurrence that overlaps the field without being the mark written
    // before or after it.
    for (std::size_t at = written.find(mark.text);
         at != std::string::npos; at = written.find(mark.text, at + 1)) {
      const bool overlaps = at < before.size() + field.size() &&
                            at + mark.text.size() > before.size();
      if (!overlaps) continue;
      const bool at_start = at < before.size();
      causes.push_back(std::string("forms ") + InQuotes(mark.text) +
                       (at_start ? " with the mark before it"
                                 : " with the mark after it") +
                       ", which " + mark.effect);
      break;
    }
  }
  return causes;
}

std::string Join(const std::vector<std::string>& parts) {
  std::string joined;
  for (const std::string& part : parts) {
    if (!joined.empty()) joined += "; ";
    joined += part;
  }
  return joined;
}

template <typename T>
const T* At(const std::list<T>& list, std::size_t index) {
  if (index >= list.size()) return nullptr;
  return &*std::next(list.begin(), static_cast<std::ptrdiff_t>(index));
}

std::string CombinationText(std::optional<std::uint32_t> combination) {
  return combination ? std::to_string(*combination) : "null";
}

// What the library reads back from the text of `source` written with
// `combination`.
struct ReadBack {
  bool ok = false;
  AlertDefinitions defs{};
  std::optional<std::uint32_t> combination;
};

ReadBack WriteAndRead(Kind kind, const AlertDefinitions& source) {
  std::string text;
  Write(kind, text, source);
  ReadBack back;
  back.defs.combination = kNoJoiner;
  back.ok = Parse(kind, text, back.defs);
  if (back.defs.combination <= 1) back.combination = back.defs.combination;
  return back;
}

bool SameRecords(const AlertDefinition& a, const AlertDefinition& b) {
  if (a.name != b.name || a.detail != b.detail) return false;
  if (a.params.size() != b.params.size()) return false;
  auto pb = b.params.begin();
  for (const DefinitionParam& pa : a.params) {
    if (pa.key != pb->key || pa.values != pb->values) return false;
    ++pb;
  }
  return true;
}

// Reports the fields of record `r` that the condition text cannot carry,
// from its isolated round trip `back`.
void CheckRecord(std::size_t r, const AlertDefinition& record,
                 const ReadBack& back, std::vector<Problem>& problems) {
  const std::size_t before = problems.size();
  const AlertDefinition* got =
      back.defs.definitions.empty() ? nullptr : &back.defs.definitions.front();
  const std::string path = RecordPath(r);

  auto field = [&](std::string sub_path, const std::string& written,
                   const std::string* read, std::vector<std::string> causes) {
    if (causes.empty()) return;
    problems.push_back(Problem{std::move(sub_path), Join(causes), written,
                               read ? std::optional<std::string>(*read)
                                    : std::nullopt});
  };

  field(path + ".name", record.name, got ? &got->name : nullptr,
        CausesIn(record.name, kNameMarks, "--#--", "--#--"));
  field(path + ".detail", record.detail, got ? &got->detail : nullptr,
        CausesIn(record.detail, kDetailMarks, "--{--", "--}--"));
  std::size_t p = 0;
  for (const DefinitionParam& param : record.params) {
    const DefinitionParam* got_param = got ? At(got->params, p) : nullptr;
    const std::string param_path = ParamPath(r, p);
    std::vector<std::string> key_causes =
        CausesIn(param.key, kKeyMarks, p == 0 ? "--{--" : "--;--", "==");
    if (param.key.empty()) {
      key_causes.push_back(
          "is empty: the reader looks for \"==\" from the item's second "
          "byte, so the item is rejected or its key runs to a later \"==\"");
    }
    field(param_path + ".key", param.key,
          got_param ? &got_param->key : nullptr, std::move(key_causes));
    if (param.values.empty()) {
      problems.push_back(Problem{
          param_path + ".values",
          "no values: written as the key and \"==\" alone, which reads back "
          "as one empty value",
          std::nullopt, std::nullopt});
    }
    const bool last_param = p + 1 == record.params.size();
    std::size_t v = 0;
    for (const std::string& value : param.values) {
      const bool last_value = v + 1 == param.values.size();
      const std::string* got_value =
          got_param ? At(got_param->values, v) : nullptr;
      field(ValuePath(r, p, v), value, got_value,
            CausesIn(value, kValueMarks, v == 0 ? "==" : "--,--",
                     !last_value  ? "--,--"
                     : last_param ? "--}--"
                                  : "--;--"));
      ++v;
    }
    ++p;
  }

  // How the record as a whole comes back.
  std::string shape;
  if (!back.ok) {
    shape = "its condition text is rejected when read back (a parameter "
            "item without its own \"==\")";
  } else if (back.defs.definitions.size() != 1) {
    shape = "comes back as " + std::to_string(back.defs.definitions.size()) +
            " conditions";
  } else if (got->params.size() != record.params.size()) {
    shape = "comes back with " + std::to_string(got->params.size()) +
            " parameters instead of " + std::to_string(record.params.size());
  }
  if (!shape.empty() || problems.size() == before) {
    if (shape.empty()) shape = "does not come back unchanged";
    problems.insert(problems.begin() + static_cast<std::ptrdiff_t>(before),
                    Problem{path, shape, std::nullopt, std::nullopt});
  }
}

// The first field holding `joiner`, for telling why a combination changed.
std::optional<std::string> FieldHolding(const AlertDefinitions& defs,
                                        std::string_view joiner) {
  const auto holds = [&](const std::string& s) {
    return s.find(joiner) != std::string::npos;
  };
  std::size_t r = 0;
  for (const AlertDefinition& record : defs.definitions) {
    if (holds(record.name)) return RecordPath(r) + ".name";
    if (holds(record.detail)) return RecordPath(r) + ".detail";
    std::size_t p = 0;
    for (const DefinitionParam& param : record.params) {
      if (holds(param.key)) return ParamPath(r, p) + ".key";
      std::size_t v = 0;
      for (const std::string& value : param.values) {
        if (holds(value)) return ValuePath(r, p, v);
        ++v;
      }
      ++p;
    }
    ++r;
  }
  return std::nullopt;
}

std::string CombinationCause(const AlertDefinitions& defs,
                             std::optional<std::uint32_t> written,
                             std::optional<std::uint32_t> read) {
  const std::size_t count = defs.definitions.size();
  if (written && *written > 1) {
    return "only 0 and 1 are written as a joiner; " +
           std::to_string(*written) +
           " is written as two blanks, and a text without a joiner leaves "
           "combination untouched";
  }
  if (read) {
    const std::string_view joiner = *read == 0 ? kOrJoiner : kAndJoiner;
    if (auto path = FieldHolding(defs, joiner)) {
      return *path + " holds " + InQuotes(joiner) +
             ", which the reader takes for the joiner";
    }
  }
  if (written && count < 2) {
    return "a joiner is only written between two conditions, and there " +
           std::string(count == 1 ? "is one" : "are none");
  }
  return "the joiner of the text changes when it is read back";
}


// The reasons found for a text that does not come back: the bytes the
// reader passes over (they are not written back), and the blanks and marks
// that the writer adds.
std::vector<Cause> FindCauses(std::string_view text) {
  std::vector<Cause> causes;
  const std::string_view joiner = JoinerOf(text);
  const std::vector<Span> pieces = Pieces(text);
  constexpr std::size_t kMark = 5;  // the length of every condition mark
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    const Span span = pieces[i];
    const std::string_view piece = text.substr(span.offset, span.size);
    const std::string condition = "condition " + std::to_string(i + 1);
    const auto add = [&](std::size_t from, std::size_t to, std::string what) {
      if (to > from) causes.push_back({std::move(what), span.offset + from, to - from});
    };
    const auto note = [&](std::size_t at, std::string what) {
      causes.push_back({std::move(what), span.offset + at, 0});
    };
    const ConditionMarks m = FindMarks(piece);
    const bool name = m.name_close != kNone;
    const bool detail = m.detail_close != kNone;
    const bool params = m.params_close != kNone;
    if (!name && !detail && !params) {
      note(0, condition + " holds no complete name, detail or params marks: "
                          "it reads as an empty condition, and its " +
                  std::to_string(piece.size()) + " bytes are dropped");
      continue;
    }
    std::size_t lead = 0;
    std::size_t tail = piece.size();
    if (i > 0 && piece[0] == ' ') {
      lead = 1;
    } else if (i > 0) {
      note(0, "no blank after the joiner before " + condition +
                  "; the writer puts one on each side");
    }
    if (i + 1 < pieces.size() && piece.back() == ' ') {
      --tail;
    } else if (i + 1 < pieces.size()) {
      note(piece.size(), "no blank before the joiner after " + condition +
                             "; the writer puts one on each side");
    }
    if (!name) note(lead, condition + " has no name marks; \"--#----#--\" is written");
    if (!detail) note(lead, condition + " has no detail block; \"--{----}--\" is written");
    const std::size_t start =
        name ? m.name_open : detail ? m.detail_open : m.params_open;
    add(lead, start, "text before the first mark of " + condition + " is dropped");
    if (name && detail) {
      add(m.name_close + kMark, m.detail_open,
          "text between the name and the detail block of " + condition +
              " is dropped (a name holding \"--#--\" ends there)");
    }
    if (detail && params) {
      add(m.detail_close + kMark, m.params_open,
          "text between the detail and the params block of " + condition +
              " is dropped (a detail holding \"--}--\" ends there)");
    }
    std::size_t end = params   ? m.params_close + kMark
                      : detail ? m.detail_close + kMark
                               : m.name_close + kMark;
    // A record without parameters is written with a second closing mark.
    if (!params && piece.substr(end, kMark) == "--}--") end += kMark;
    if (end >= tail) continue;
    const std::string_view rest = piece.substr(end, tail - end);
    std::string what = "text after the last mark of " + condition + " is dropped";
    if (joiner == kOrJoiner && rest.find(kAndJoiner) != kNone) {
      what = "the text holds both joiners and is cut at \"@@OR@@\" only, so "
             "the conditions joined by \"@@AND@@\" after " + condition +
             " are lost";
    } else if (rest.find("--#--") != kNone) {
      what = "another condition follows " + condition +
             " without a joiner and is lost";
      if (rest.find('\n') != kNone) {
        what += " (the text holds a line break: --batch lines reads one rule "
                "per line)";
      }
    } else if (params && (rest.find("--}--") != kNone ||
                          rest.find("==") != kNone ||
                          rest.find("--;--") != kNone ||
                          rest.find("--,--") != kNone)) {
      what = "a parameter or value after a closing mark \"--}--\" inside a "
             "field of " + condition + " is lost";
    }
    add(end, tail, what);
  }
  return causes;
}

}  // namespace

bool Parse(Kind kind, const std::string& text, AlertDefinitions& target) {
  return kind == Kind::Func ? GetFuncDefinition(text, target)
                            : GetFilterDefinition(text, target);
}

void Write(Kind kind, std::string& text, const AlertDefinitions& source) {
  // The exports take the source by non-const reference but only read it.
  auto& readable = const_cast<AlertDefinitions&>(source);
  if (kind == Kind::Func) {
    SetFuncDefinition(text, readable);
  } else {
    SetFilterDefinition(text, readable);
  }
}

std::vector<Problem> CheckRecords(Kind kind, AlertDefinitions& defs,
                                  std::optional<std::uint32_t> combination) {
  std::vector<Problem> problems;

  // Each record on its own: what the condition text does to its fields.
  std::size_t r = 0;
  bool records_survive = true;
  for (const AlertDefinition& record : defs.definitions) {
    AlertDefinitions alone{};
    alone.definitions.push_back(record);
    alone.combination = kNoJoiner;
    const ReadBack back = WriteAndRead(kind, alone);
    const bool same = back.ok && back.defs.definitions.size() == 1 &&
                      SameRecords(record, back.defs.definitions.front());
    if (!same) {
      records_survive = false;
      CheckRecord(r, record, back, problems);
    }
    ++r;
  }

  // The whole definition: the number of conditions and the combination.
  // The records are written in place (not copied), with the combination
  // under test put into the object for the call and taken out again.
  const std::uint32_t kept = defs.combination;
  defs.combination = combination ? *combination : kNoJoiner;
  const ReadBack back = WriteAndRead(kind, defs);
  defs.combination = kept;
  const std::size_t written = defs.definitions.size();
  const std::size_t read = back.defs.definitions.size();
  if (records_survive && (!back.ok || read != written)) {
    std::string cause = std::to_string(written) + " conditions written, " +
                        std::to_string(read) + " read back";
    if (written == 0) {
      cause += ": no conditions are written as the empty text, which reads "
               "as one empty condition";
    } else if (!combination || *combination > 1) {
      cause += ": without a joiner the conditions run together into one "
               "condition text and the reader takes the first condition "
               "from it";
      if (!back.ok && defs.definitions.front().params.empty()) {
        cause += "; here the text is rejected, because the first condition "
                 "has no params block and the next condition's detail block "
                 "is taken for it";
      } else if (!back.ok) {
        cause += "; here the text is rejected";
      }
    } else if (!back.ok) {
      cause += ": the text is rejected when read back";
    }
    problems.push_back(
        Problem{"definitions", cause, std::nullopt, std::nullopt});
  }
  if (back.combination != combination) {
    problems.push_back(
        Problem{"combination", CombinationCause(defs, combination,
                                                back.combination),
                CombinationText(combination),
                CombinationText(back.combination)});
  }
  return problems;
}

bool ParseText(Kind kind, const std::string& text, AlertDefinitions& target,
               std::optional<std::uint32_t>& combination) {
  target.combination = kNoJoiner;
  const bool ok = Parse(kind, text, target);
  combination.reset();
  if (target.combination <= 1) combination = target.combination;
  return ok;
}

TextCheck CheckText(Kind kind, const std::string& text) {
  TextCheck check;
  AlertDefinitions defs{};
  std::optional<std::uint32_t> combination;
  if (!ParseText(kind, text, defs, combination)) {
    check.status = TextCheck::Status::Rejected;
    check.rejection = LocateRejection(text, defs.definitions.size());
    return check;
  }
  check.conditions = defs.definitions.size();
  Write(kind, check.written, defs);
  if (check.written == text) {
    check.written.clear();
    return check;
  }
  check.status = TextCheck::Status::Lossy;
  check.difference = static_cast<std::size_t>(
      std::mismatch(text.begin(), text.end(), check.written.begin(),
                    check.written.end())
          .first -
      text.begin());
  check.causes = FindCauses(text);
  return check;
}

std::string TextReportLines(const TextCheck& check, std::string_view text) {
  const std::string conditions = std::to_string(check.conditions) +
                                 (check.conditions == 1 ? " condition" : " conditions");
  if (check.status == TextCheck::Status::Ok) {
    return "ok: the text comes back byte for byte (" + conditions + ")\n";
  }
  const auto window = [](std::string_view bytes, std::size_t at) {
    const std::string_view shown = Around(bytes, at);
    const std::size_t from = shown.empty() ? at : static_cast<std::size_t>(shown.data() - bytes.data());
    return (from > 0 ? "..." : "") + Quote(shown) +
           (from + shown.size() < bytes.size() ? "..." : "");
  };
  std::string out = "lossy: the text does not come back byte for byte (" +
                    conditions + " read)\n  first difference at byte " +
                    std::to_string(check.difference) + " (the text has " +
                    std::to_string(text.size()) + " bytes, written back " +
                    std::to_string(check.written.size()) + ")\n  text:    " +
                    window(text, check.difference) + "\n  written: " +
                    window(check.written, check.difference) + "\n";
  for (const Cause& cause : check.causes) {
    out += cause.size <= 1 ? "  at byte " + std::to_string(cause.offset)
                           : "  bytes " + std::to_string(cause.offset) + " to " +
                                 std::to_string(cause.offset + cause.size - 1);
    out += ": " + cause.what + "\n";
  }
  return out;
}

Report TextReport(const TextCheck& check, std::string_view text,
                  ByteMode mode, Report head) {
  Report report = std::move(head);
  if (check.status == TextCheck::Status::Rejected) {
    const Rejection& r = check.rejection;
    report["status"] = "rejected";
    report["piece"] = r.piece;
    report["offset"] = r.offset;
    if (r.item != 0) {
      report["item"] = r.item;
      report["item_offset"] = r.item_span.offset;
    }
    report["message"] = Describe(r, text);
    return report;
  }
  report["status"] = check.status == TextCheck::Status::Ok ? "ok" : "lossy";
  report["conditions"] = check.conditions;
  if (check.status == TextCheck::Status::Ok) return report;
  const auto window = [&](std::string_view bytes) {
    const std::string_view shown = Around(bytes, check.difference);
    Report part;
    part["from"] = shown.empty() ? check.difference : static_cast<std::size_t>(shown.data() - bytes.data());
    part["bytes"] = ReportString(shown, mode);
    part["size"] = bytes.size();
    return part;
  };
  report["difference"] = {{"offset", check.difference},
                          {"text", window(text)},
                          {"written", window(check.written)}};
  Report causes = Report::array();
  for (const Cause& cause : check.causes) {
    causes.push_back({{"cause", cause.what},
                      {"offset", cause.offset},
                      {"size", cause.size}});
  }
  report["causes"] = std::move(causes);
  return report;
}

std::string RecordsReportLines(const std::vector<Problem>& problems,
                               std::size_t records) {
  if (problems.empty()) {
    return "ok: all " + std::to_string(records) +
           " conditions and the combination come back unchanged\n";
  }
  std::string out;
  for (const Problem& problem : problems) {
    out += problem.path + ": " + problem.cause + "\n";
    const bool number = problem.path == "combination";
    const auto show = [&](const std::optional<std::string>& value) {
      if (!value) return std::string("(nothing)");
      return number ? *value : Excerpt(*value);
    };
    if (problem.written || problem.read_back) {
      out += "  written:   " + show(problem.written) + "\n";
      out += "  read back: " + show(problem.read_back) + "\n";
    }
  }
  return out + std::to_string(problems.size()) +
         " problem(s): this definition does not survive writing and "
         "reading back\n";
}

Report RecordsReport(const std::vector<Problem>& problems, ByteMode mode,
                     Report head) {
  Report report = std::move(head);
  report["status"] = problems.empty() ? "ok" : "lossy";
  report["survives"] = problems.empty();
  Report list = Report::array();
  for (const Problem& problem : problems) {
    Report item = {{"path", problem.path}, {"cause", problem.cause}};
    for (const auto& [name, value] : {std::pair{"written", &problem.written},
                                      std::pair{"read_back", &problem.read_back}}) {
      if (!*value) {
        item[name] = nullptr;
      } else if (problem.path == "combination") {
        item[name] = Report::parse(**value);
      } else {
        item[name] = ReportString(std::string_view(**value).substr(0, kExcerptBytes), mode);
        if ((*value)->size() > kExcerptBytes) {
          item[std::string(name) + "_bytes"] = (*value)->size();
        }
      }
    }
    list.push_back(std::move(item));
  }
  report["problems"] = std::move(list);
  return report;
}

}  // namespace vantrel_cli
