#include "round_trip.h"

#include <iterator>
#include <string_view>
#include <utility>

#include "definitions_json.h"
#include "text_scan.h"

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

std::string Quote(std::string_view text) {
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
      causes.push_back("holds " + Quote(joiner.text) + ", which " +
                       joiner.effect);
    }
  }
  const std::string written =
      std::string(before) + std::string(field) + std::string(after);
  for (const Mark& mark : marks) {
    if (field.find(mark.text) != std::string_view::npos) {
      causes.push_back("holds " + Quote(mark.text) + ", which " + mark.effect);
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
      causes.push_back(std::string("forms ") + Quote(mark.text) +
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

CheckReport CheckRoundTrip(Kind kind, AlertDefinitions& defs,
                           std::optional<std::uint32_t> combination) {
  CheckReport report;

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
      CheckRecord(r, record, back, report.problems);
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
    report.problems.push_back(
        Problem{"definitions", cause, std::nullopt, std::nullopt});
  }
  if (back.combination != combination) {
    report.problems.push_back(
        Problem{"combination", CombinationCause(defs, combination,
                                                back.combination),
                CombinationText(combination),
                CombinationText(back.combination)});
  }
  return report;
}

}  // namespace vantrel_cli
