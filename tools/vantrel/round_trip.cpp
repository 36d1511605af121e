#include "round_trip.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <string_view>
#include <utility>

#include "io.h"

namespace vantrel_cli {
namespace {

struct Mark {
  std::string_view text;
  std::string_view effect;
};

// The marks that change a field of each kind when they appear in it, or
// when the field's own bytes run together with a neighbouring mark into
// one. The others ("--{--" in a name, "==" in a value, ...) are harmless
// there, because the reader does not look for them at that point.
constexpr std::array<Mark, 1> kNameMarks = {{
    {"--#--", "closes the name, so the name is cut there"},
}};
constexpr std::array<Mark, 1> kDetailMarks = {{
    {"--}--", "closes the detail block, so the detail is cut there"},
}};
constexpr std::array<Mark, 3> kKeyMarks = {{
    {"==",
     R"(separates key and values, so the key ends at the first "==" and the rest goes to the first value)"},
    {"--;--", "separates parameter items, so the item ends there"},
    {"--}--",
     "closes the params block, so the block ends there and the "
     "later parameters are lost"},
}};
constexpr std::array<Mark, 3> kValueMarks = {{
    {"--,--", "separates values, so the value is split there"},
    {"--;--",
     "separates parameter items, so the item ends there and the "
     "rest is read as a new item"},
    {"--}--",
     "closes the params block, so the block ends there and the "
     "later values and parameters are lost"},
}};
constexpr std::array<Mark, 2> kJoiners = {{
    {"@@OR@@",
     R"(is the or-joiner: the definition text is cut into conditions at every "@@OR@@")"},
    {"@@AND@@",
     R"(is the and-joiner: the definition text is cut there unless it also holds "@@OR@@")"},
}};
constexpr std::size_t kMarkSize = 5;  // every condition mark but "=="

// The causes found in one field: marks held whole, and marks formed together
// with the mark written before it (`before`) or after it (`after`).
template <std::size_t N>
std::vector<std::string> CausesIn(std::string_view field,
                                  const std::array<Mark, N>& marks,
                                  std::string_view before,
                                  std::string_view after) {
  std::vector<std::string> causes;
  for (const Mark& joiner : kJoiners) {
    if (field.find(joiner.text) != std::string_view::npos) {
      causes.push_back("holds " + Quote(joiner.text) + ", which " +
                       std::string(joiner.effect));
    }
  }
  const std::string written =
      std::string(before) + std::string(field) + std::string(after);
  for (const Mark& mark : marks) {
    const std::string effect = ", which " + std::string(mark.effect);
    if (field.find(mark.text) != std::string_view::npos) {
      causes.push_back("holds " + Quote(mark.text) + effect);
      continue;
    }
    // An occurrence that overlaps the field without being the mark written
    // before or after it.
    for (std::size_t at = written.find(mark.text); at != std::string::npos;
         at = written.find(mark.text, at + 1)) {
      if (at < before.size() + field.size() &&
          at + mark.text.size() > before.size()) {
        causes.push_back("forms " + Quote(mark.text) +
                         (at < before.size() ? " with the mark before it"
                                             : " with the mark after it") +
                         effect);
        break;
      }
    }
  }
  return causes;
}

template <typename T>
const T* At(const std::list<T>& list, std::size_t index) {
  if (index >= list.size()) return nullptr;
  return &*std::next(list.begin(), static_cast<std::ptrdiff_t>(index));
}

std::string CombinationText(std::optional<std::uint32_t> combination) {
  return combination ? std::to_string(*combination) : "null";
}

// What the library reads back from the text of `source`.
struct ReadBack {
  bool ok = false;
  AlertDefinitions defs{};
  std::optional<std::uint32_t> combination;
};

ReadBack WriteAndRead(Kind kind, AlertDefinitions& source) {
  std::string text;
  Write(kind, text, source);
  ReadBack back;
  back.ok = ParseText(kind, text, back.defs, back.combination);
  return back;
}

bool SameRecord(const AlertDefinition& a, const AlertDefinition& b) {
  return a.name == b.name && a.detail == b.detail &&
         std::equal(a.params.begin(), a.params.end(), b.params.begin(),
                    b.params.end(),
                    [](const DefinitionParam& x, const DefinitionParam& y) {
                      return x.key == y.key && x.values == y.values;
                    });
}

// A problem with one field, when the field has causes.
void AddField(std::vector<Problem>& problems, std::string path,
              const std::string& written, const std::string* read,
              const std::vector<std::string>& causes) {
  if (causes.empty()) return;
  std::string joined;
  for (const std::string& cause : causes) {
    joined += (joined.empty() ? "" : "; ") + cause;
  }
  problems.push_back(Problem{
      std::move(path), std::move(joined), written,
      read != nullptr ? std::optional<std::string>(*read) : std::nullopt});
}

void AddParam(std::size_t r, std::size_t p, const DefinitionParam& param,
              bool last_param, const DefinitionParam* got,
              std::vector<Problem>& problems) {
  const std::string path = ParamPath(r, p);
  std::vector<std::string> key_causes =
      CausesIn(param.key, kKeyMarks, p == 0 ? "--{--" : "--;--", "==");
  if (param.key.empty()) {
    key_causes.emplace_back(
        R"(is empty: the reader looks for "==" from the item's second byte, so the item is rejected or its key runs to a later "==")");
  }
  AddField(problems, path + ".key", param.key,
           got != nullptr ? &got->key : nullptr, key_causes);
  if (param.values.empty()) {
    problems.push_back(Problem{
        path + ".values",
        R"(no values: written as the key and "==" alone, which reads back as one empty value)",
        std::nullopt, std::nullopt});
  }
  std::size_t v = 0;
  for (const std::string& value : param.values) {
    const bool last_value = v + 1 == param.values.size();
    const std::string_view after = !last_value  ? kValueSeparator
                                   : last_param ? kCloseMark
                                                : kItemSeparator;
    AddField(problems, ValuePath(r, p, v), value,
             got != nullptr ? At(got->values, v) : nullptr,
             CausesIn(value, kValueMarks, v == 0 ? "==" : "--,--", after));
    ++v;
  }
}

// How record `r` comes back as a whole when written on its own.
std::string Shape(const AlertDefinition& record, const ReadBack& back) {
  if (!back.ok) {
    return R"(its condition text is rejected when read back (a parameter item without its own "=="))";
  }
  const std::size_t count = back.defs.definitions.size();
  if (count != 1)
    return "comes back as " + std::to_string(count) + " conditions";
  const std::size_t params = back.defs.definitions.front().params.size();
  if (params != record.params.size()) {
    return "comes back with " + std::to_string(params) +
           " parameters instead of " + std::to_string(record.params.size());
  }
  return "";
}

// The fields of record `r` that its condition text cannot carry, from its
// round trip on its own, `back`.
void CheckRecord(std::size_t r, const AlertDefinition& record,
                 const ReadBack& back, std::vector<Problem>& problems) {
  const std::size_t before = problems.size();
  const AlertDefinition* got =
      back.defs.definitions.empty() ? nullptr : &back.defs.definitions.front();
  const std::string path = RecordPath(r);
  AddField(problems, path + ".name", record.name,
           got != nullptr ? &got->name : nullptr,
           CausesIn(record.name, kNameMarks, "--#--", "--#--"));
  AddField(problems, path + ".detail", record.detail,
           got != nullptr ? &got->detail : nullptr,
           CausesIn(record.detail, kDetailMarks, "--{--", "--}--"));
  std::size_t p = 0;
  for (const DefinitionParam& param : record.params) {
    AddParam(r, p, param, p + 1 == record.params.size(),
             got != nullptr ? At(got->params, p) : nullptr, problems);
    ++p;
  }
  std::string shape = Shape(record, back);
  if (shape.empty() && problems.size() != before) return;
  if (shape.empty()) shape = "does not come back unchanged";
  problems.insert(problems.begin() + static_cast<std::ptrdiff_t>(before),
                  Problem{path, shape, std::nullopt, std::nullopt});
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
      const auto value =
          std::find_if(param.values.begin(), param.values.end(), holds);
      if (value != param.values.end()) {
        return ValuePath(r, p,
                         static_cast<std::size_t>(
                             std::distance(param.values.begin(), value)));
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
    return "only 0 and 1 are written as a joiner; " + std::to_string(*written) +
           " is written as two blanks, and a text without a joiner leaves "
           "combination untouched";
  }
  if (read) {
    const std::string_view joiner = *read == 0 ? kOrJoiner : kAndJoiner;
    if (auto path = FieldHolding(defs, joiner)) {
      return *path + " holds " + Quote(joiner) +
             ", which the reader takes for the joiner";
    }
  }
  if (written && count < 2) {
    return "a joiner is only written between two conditions, and there " +
           std::string(count == 1 ? "is one" : "are none");
  }
  return "the joiner of the text changes when it is read back";
}

// Why the number of conditions changes although every record survives on
// its own.
std::string CountCause(const AlertDefinitions& defs,
                       std::optional<std::uint32_t> combination,
                       const ReadBack& back) {
  std::string cause =
      std::to_string(defs.definitions.size()) + " conditions written, " +
      std::to_string(back.defs.definitions.size()) + " read back";
  if (defs.definitions.empty()) {
    return cause +
           ": no conditions are written as the empty text, which "
           "reads as one empty condition";
  }
  if (combination && *combination <= 1) {
    return back.ok ? cause : cause + ": the text is rejected when read back";
  }
  cause +=
      ": without a joiner the conditions run together into one "
      "condition text and the reader takes the first condition from it";
  if (!back.ok && defs.definitions.front().params.empty()) {
    cause +=
        "; here the text is rejected, because the first condition has "
        "no params block and the next condition's detail block is taken "
        "for it";
  } else if (!back.ok) {
    cause += "; here the text is rejected";
  }
  return cause;
}

// What the reader makes of the bytes after the last mark it used in a
// piece: the cause named for dropping them.
std::string DroppedTail(std::string_view rest, std::string_view joiner,
                        bool params, const std::string& condition) {
  if (joiner == kOrJoiner && rest.find(kAndJoiner) != kNone) {
    return R"(the text holds both joiners and is cut at "@@OR@@" only, so the conditions joined by "@@AND@@" after )" +
           condition + " are lost";
  }
  if (rest.find("--#--") != kNone) {
    return "another condition follows " + condition +
           " without a joiner and is lost" +
           (rest.find('\n') != kNone
                ? " (the text holds a line break: --batch lines reads one "
                  "rule per line)"
                : "");
  }
  const bool field_marks =
      rest.find("--}--") != kNone || rest.find("==") != kNone ||
      rest.find("--;--") != kNone || rest.find("--,--") != kNone;
  if (params && field_marks) {
    return R"(a parameter or value after a closing mark "--}--" inside a field of )" +
           condition + " is lost";
  }
  return "text after the last mark of " + condition + " is dropped";
}

// The blanks around the joiners and the marks that the writer adds to
// piece `i` of `count`.
void EdgeNotes(Span span, std::size_t i, std::size_t count, bool blank_before,
               bool blank_after, const ConditionMarks& m,
               std::vector<Cause>& causes) {
  const std::string condition = "condition " + std::to_string(i + 1);
  const std::size_t lead = span.offset + (blank_before ? 1 : 0);
  const std::string each_side = "; the writer puts one on each side";
  if (i > 0 && !blank_before) {
    causes.push_back(
        {"no blank after the joiner before " + condition + each_side,
         span.offset, 0});
  }
  if (i + 1 < count && !blank_after) {
    causes.push_back(
        {"no blank before the joiner after " + condition + each_side,
         span.offset + span.size, 0});
  }
  if (m.name_close == kNone) {
    causes.push_back(
        {condition + R"( has no name marks; "--#----#--" is written)", lead,
         0});
  }
  if (m.detail_close == kNone) {
    causes.push_back(
        {condition + R"( has no detail block; "--{----}--" is written)", lead,
         0});
  }
}

// The causes in piece `i` of a text that does not come back: the bytes the
// reader passes over (they are not written back), and the blanks and marks
// that the writer adds.
void PieceCauses(std::string_view text, const std::vector<Span>& pieces,
                 std::size_t i, std::vector<Cause>& causes) {
  const Span span = pieces[i];
  const std::string_view piece = text.substr(span.offset, span.size);
  const std::string condition = "condition " + std::to_string(i + 1);
  const auto add = [&](std::size_t from, std::size_t to, std::string what) {
    causes.push_back({std::move(what), span.offset + from, to - from});
  };
  const ConditionMarks m = FindMarks(piece);
  const bool name = m.name_close != kNone;
  const bool detail = m.detail_close != kNone;
  const bool params = m.params_close != kNone;
  if (!name && !detail && !params) {
    add(0, piece.size(),
        condition +
            " holds no complete name, detail or params marks: "
            "it reads as an empty condition, and its " +
            std::to_string(piece.size()) + " bytes are dropped");
    return;
  }
  const bool blank_before = i > 0 && piece.front() == ' ';
  const bool blank_after = i + 1 < pieces.size() && piece.back() == ' ';
  EdgeNotes(span, i, pieces.size(), blank_before, blank_after, m, causes);
  const std::size_t lead = blank_before ? 1 : 0;
  const std::size_t tail = piece.size() - (blank_after ? 1 : 0);
  const std::size_t start = name     ? m.name_open
                            : detail ? m.detail_open
                                     : m.params_open;
  if (start > lead) {
    add(lead, start,
        "text before the first mark of " + condition + " is dropped");
  }
  if (name && detail && m.detail_open > m.name_close + kMarkSize) {
    add(m.name_close + kMarkSize, m.detail_open,
        "text between the name and the detail block of " + condition +
            R"( is dropped (a name holding "--#--" ends there))");
  }
  if (detail && params && m.params_open > m.detail_close + kMarkSize) {
    add(m.detail_close + kMarkSize, m.params_open,
        "text between the detail and the params block of " + condition +
            R"( is dropped (a detail holding "--}--" ends there))");
  }
  std::size_t end = params   ? m.params_close + kMarkSize
                    : detail ? m.detail_close + kMarkSize
                             : m.name_close + kMarkSize;
  // A record without parameters is written with a second closing mark.
  if (!params && piece.substr(end, kMarkSize) == kCloseMark) end += kMarkSize;
  if (end < tail) {
    add(end, tail,
        DroppedTail(piece.substr(end, tail - end), JoinerOf(text), params,
                    condition));
  }
}

}  // namespace

bool Parse(Kind kind, const std::string& text, AlertDefinitions& target) {
  return kind == Kind::Func ? GetFuncDefinition(text, target)
                            : GetFilterDefinition(text, target);
}

void Write(Kind kind, std::string& text, AlertDefinitions& source) {
  if (kind == Kind::Func) {
    SetFuncDefinition(text, source);
  } else {
    SetFilterDefinition(text, source);
  }
}

bool ParseText(Kind kind, const std::string& text, AlertDefinitions& target,
               std::optional<std::uint32_t>& combination) {
  target.combination = kNoJoiner;
  const bool ok = Parse(kind, text, target);
  combination.reset();
  if (target.combination <= 1) combination = target.combination;
  return ok;
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
    if (!back.ok || back.defs.definitions.size() != 1 ||
        !SameRecord(record, back.defs.definitions.front())) {
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
  if (records_survive &&
      (!back.ok || back.defs.definitions.size() != defs.definitions.size())) {
    problems.push_back(Problem{"definitions",
                               CountCause(defs, combination, back),
                               std::nullopt, std::nullopt});
  }
  if (back.combination != combination) {
    problems.push_back(Problem{
        "combination", CombinationCause(defs, combination, back.combination),
        CombinationText(combination), CombinationText(back.combination)});
  }
  return problems;
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
  const std::vector<Span> pieces = Pieces(text);
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    PieceCauses(text, pieces, i, check.causes);
  }
  return check;
}

std::string TextReportLines(const TextCheck& check, std::string_view text) {
  const std::string conditions =
      std::to_string(check.conditions) +
      (check.conditions == 1 ? " condition" : " conditions");
  if (check.status == TextCheck::Status::Ok) {
    return "ok: the text comes back byte for byte (" + conditions + ")\n";
  }
  const auto window = [](std::string_view bytes, std::size_t at) {
    const std::string_view shown = Around(bytes, at);
    const std::size_t from =
        shown.empty() ? at
                      : static_cast<std::size_t>(shown.data() - bytes.data());
    return (from > 0 ? "..." : "") + Quote(shown) +
           (from + shown.size() < bytes.size() ? "..." : "");
  };
  std::string out =
      "lossy: the text does not come back byte for byte (" + conditions +
      " read)\n  first difference at byte " + std::to_string(check.difference) +
      " (the text has " + std::to_string(text.size()) +
      " bytes, written back " + std::to_string(check.written.size()) +
      ")\n  text:    " + window(text, check.difference) +
      "\n  written: " + window(check.written, check.difference) + "\n";
  for (const Cause& cause : check.causes) {
    out += cause.size <= 1
               ? "  at byte " + std::to_string(cause.offset)
               : "  bytes " + std::to_string(cause.offset) + " to " +
                     std::to_string(cause.offset + cause.size - 1);
    out += ": " + cause.what + "\n";
  }
  return out;
}

Report TextReport(const TextCheck& check, std::string_view text, ByteMode mode,
                  Report head) {
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
    part["from"] = shown.empty()
                       ? check.difference
                       : static_cast<std::size_t>(shown.data() - bytes.data());
    part["bytes"] = ReportString(shown, mode);
    part["size"] = bytes.size();
    return part;
  };
  report["difference"] = {{"offset", check.difference},
                          {"text", window(text)},
                          {"written", window(check.written)}};
  Report causes = Report::array();
  std::transform(check.causes.begin(), check.causes.end(),
                 std::back_inserter(causes), [](const Cause& cause) {
                   return Report{{"cause", cause.what},
                                 {"offset", cause.offset},
                                 {"size", cause.size}};
                 });
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
    for (const auto& [name, value] :
         {std::pair{"written", &problem.written},
          std::pair{"read_back", &problem.read_back}}) {
      if (!*value) {
        item[name] = nullptr;
      } else if (problem.path == "combination") {
        item[name] = Report::parse(**value);
      } else {
        item[name] = ReportString(
            std::string_view(**value).substr(0, kExcerptBytes), mode);
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
