#include "records_check.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>

#include "records_json.h"
#include "reference/located_reader.h"
#include "reference/located_writer.h"
#include "reference/marks.h"
#include "text.h"

namespace vantrel::rules {
namespace {

namespace ref = vantrel_reference;
using ref::kNone;
using ref::Span;

// "1 value", "2 values".
std::string Count(std::size_t count, const char* what) {
  return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

// The marks, and what the reader does when it takes one at a place.
enum class Role {
  kNameOpen,
  kNameClose,
  kDetailOpen,
  kDetailClose,
  kParamsOpen,
  kParamsClose,
  kItemSeparator,
  kKeySeparator,
  kValueSeparator,
};

std::string_view MarkOf(Role role) {
  switch (role) {
    case Role::kNameOpen:
    case Role::kNameClose:
      return ref::kNameMark;
    case Role::kDetailOpen:
    case Role::kParamsOpen:
      return ref::kOpenMark;
    case Role::kDetailClose:
    case Role::kParamsClose:
      return ref::kCloseMark;
    case Role::kItemSeparator:
      return ref::kItemSeparator;
    case Role::kKeySeparator:
      return ref::kKeySeparator;
    case Role::kValueSeparator:
      return ref::kValueSeparator;
  }
  return "";
}

const char* EffectOf(Role role) {
  switch (role) {
    case Role::kNameOpen:
      return "opens the name";
    case Role::kNameClose:
      return "closes the name, so the name is cut there";
    case Role::kDetailOpen:
      return "opens the detail block";
    case Role::kDetailClose:
      return "closes the detail block, so the detail is cut there";
    case Role::kParamsOpen:
      return "opens the params block";
    case Role::kParamsClose:
      return "closes the params block, so the block ends there and the later "
             "values and parameters are lost";
    case Role::kItemSeparator:
      return "separates parameter items, so the item ends there and the rest "
             "is read as a new item";
    case Role::kKeySeparator:
      return R"(separates key and values, so the key ends there and the rest goes to the first value)";
    case Role::kValueSeparator:
      return "separates values, so the value is split there";
  }
  return "";
}

struct Mark {
  std::size_t offset = 0;
  Role role = Role::kNameOpen;
  friend bool operator<(const Mark& a, const Mark& b) {
    return a.offset != b.offset ? a.offset < b.offset : a.role < b.role;
  }
};

// The marks the reader takes in one condition, in text order.
std::vector<Mark> ReaderMarks(const ref::LocatedCondition& c) {
  std::vector<Mark> marks;
  const auto add = [&](std::size_t at, Role role) {
    if (at != kNone) marks.push_back(Mark{at, role});
  };
  if (c.has_name()) {
    add(c.name_open, Role::kNameOpen);
    add(c.name_close, Role::kNameClose);
  }
  if (c.has_detail()) {
    add(c.detail_open, Role::kDetailOpen);
    add(c.detail_close, Role::kDetailClose);
  }
  if (c.has_params()) {
    add(c.params_open, Role::kParamsOpen);
    add(c.params_close, Role::kParamsClose);
  }
  for (const ref::LocatedParam& param : c.params) {
    add(param.key_separator, Role::kKeySeparator);
    for (std::size_t v = 0; v + 1 < param.values.size(); ++v) {
      add(param.values[v].end(), Role::kValueSeparator);
    }
    if (!param.last) add(param.item.end(), Role::kItemSeparator);
  }
  std::sort(marks.begin(), marks.end());
  return marks;
}

// The marks the writer puts into one condition, in text order.
std::vector<Mark> WrittenMarks(const ref::WrittenCondition& w) {
  std::vector<Mark> marks;
  marks.push_back({w.condition.offset, Role::kNameOpen});
  marks.push_back({w.name.end(), Role::kNameClose});
  marks.push_back({w.name.end() + ref::kNameMark.size(), Role::kDetailOpen});
  marks.push_back({w.detail.end(), Role::kDetailClose});
  if (!w.params.empty()) {
    marks.push_back(
        {w.detail.end() + ref::kCloseMark.size(), Role::kParamsOpen});
    for (std::size_t p = 0; p < w.params.size(); ++p) {
      const ref::WrittenParam& param = w.params[p];
      marks.push_back({param.key_separator, Role::kKeySeparator});
      for (std::size_t v = 0; v + 1 < param.values.size(); ++v) {
        marks.push_back({param.values[v].end(), Role::kValueSeparator});
      }
      if (p + 1 < w.params.size()) {
        marks.push_back({w.params[p + 1].key.offset - 5, Role::kItemSeparator});
      }
    }
  }
  marks.push_back({w.condition.end() - 5, Role::kParamsClose});
  std::sort(marks.begin(), marks.end());
  return marks;
}

// One condition as written and as the reader reads it.
struct Condition {
  const ref::WrittenCondition* written = nullptr;
  std::vector<Mark> reader;
  std::vector<Mark> writer;

  // The first mark the reader takes that the writer did not put there and
  // that overlaps `field`: why the field changes.
  std::optional<std::string> CauseIn(Span field) const {
    auto at = std::lower_bound(
        reader.begin(), reader.end(),
        Mark{field.offset > 6 ? field.offset - 6 : 0, Role::kNameOpen});
    for (; at != reader.end() && at->offset < field.end() + 1; ++at) {
      const std::size_t size = MarkOf(at->role).size();
      if (at->offset + size <= field.offset ||
          (at->offset >= field.end() && field.size != 0) ||
          (field.size == 0 && at->offset > field.offset)) {
        continue;
      }
      if (std::binary_search(writer.begin(), writer.end(), *at)) continue;
      const std::string mark = Quote(MarkOf(at->role));
      const char* effect = EffectOf(at->role);
      if (at->offset >= field.offset && at->offset + size <= field.end()) {
        return "holds " + mark + ", which " + effect;
      }
      return "forms " + mark +
             (at->offset < field.offset ? " with the mark before it"
                                        : " with the mark after it") +
             ", which " + effect;
    }
    return std::nullopt;
  }
};

class Explainer {
 public:
  Explainer(std::size_t limit, RecordsCheck& check)
      : limit_(limit), check_(check) {}

  void Add(CauseKind kind, std::string path, std::string cause,
           std::optional<std::string> written = std::nullopt,
           std::optional<std::string> read_back = std::nullopt) {
    ++check_.counts.at(static_cast<std::size_t>(kind));
    if (check_.problems.size() >= limit_) {
      ++check_.more;
      return;
    }
    check_.problems.push_back(Problem{kind, std::move(path), std::move(cause),
                                      std::move(written),
                                      std::move(read_back)});
  }

 private:
  std::size_t limit_;
  RecordsCheck& check_;
};

// A field that changed: its path, both forms, and the mark to blame.
void FieldProblem(Explainer& out, const Condition& c, std::string path,
                  Span span, const std::string& written,
                  const std::string& read_back) {
  std::optional<std::string> cause = c.CauseIn(span);
  out.Add(cause ? CauseKind::kMarkInField : CauseKind::kOther, std::move(path),
          cause ? *cause : "does not come back unchanged", written, read_back);
}

void CompareParam(Explainer& out, const Condition& c, std::size_t r,
                  std::size_t p, const DefinitionParam& written,
                  const DefinitionParam& got) {
  const ref::WrittenParam& laid = c.written->params[p];
  const std::string path = ParamPath(r, p);
  if (written.key != got.key) {
    if (written.key.empty()) {
      out.Add(
          CauseKind::kEmptyKey, path + ".key",
          R"(is empty: the reader looks for "==" from the item's second byte, so its key runs to a later "==")",
          written.key, got.key);
    } else {
      FieldProblem(out, c, path + ".key", laid.key, written.key, got.key);
    }
  }
  auto value = written.values.begin();
  auto back = got.values.begin();
  for (std::size_t v = 0;
       value != written.values.end() && back != got.values.end();
       ++v, ++value, ++back) {
    if (*value != *back) {
      FieldProblem(out, c, ValuePath(r, p, v), laid.values[v], *value, *back);
    }
  }
  if (written.values.size() == got.values.size()) return;
  if (written.values.empty()) {
    out.Add(
        CauseKind::kNoValues, path + ".values",
        R"(no values: written as the key and "==" alone, which reads back as one empty value)");
    return;
  }
  const Span item{laid.key.offset, laid.values.back().end() - laid.key.offset};
  const std::optional<std::string> cause = c.CauseIn(item);
  out.Add(cause ? CauseKind::kMarkInField : CauseKind::kOther, path + ".values",
          Count(written.values.size(), "value") + " written, " +
              std::to_string(got.values.size()) + " read back" +
              (cause ? ": the item " + *cause : std::string()));
}

void CompareRecord(Explainer& out, const Condition& c, std::size_t r,
                   const AlertDefinition& written, const AlertDefinition& got) {
  const std::string path = RecordPath(r);
  if (written.name != got.name) {
    FieldProblem(out, c, path + ".name", c.written->name, written.name,
                 got.name);
  }
  if (written.detail != got.detail) {
    FieldProblem(out, c, path + ".detail", c.written->detail, written.detail,
                 got.detail);
  }
  auto param = written.params.begin();
  auto back = got.params.begin();
  for (std::size_t p = 0;
       param != written.params.end() && back != got.params.end();
       ++p, ++param, ++back) {
    CompareParam(out, c, r, p, *param, *back);
  }
  if (written.params.size() != got.params.size()) {
    const Span block{c.written->detail.end(),
                     c.written->condition.end() - c.written->detail.end()};
    const std::optional<std::string> cause = c.CauseIn(block);
    out.Add(cause ? CauseKind::kMarkInField : CauseKind::kOther,
            path + ".params",
            Count(written.params.size(), "parameter") + " written, " +
                std::to_string(got.params.size()) + " read back" +
                (cause ? ": the params block " + *cause : std::string()));
  }
}

// The field of the written text that holds byte `at`, as a path.
std::string FieldAt(const ref::WrittenDefinition& w, std::size_t at) {
  const auto after =
      std::upper_bound(w.conditions.begin(), w.conditions.end(), at,
                       [](std::size_t offset, const ref::WrittenCondition& c) {
                         return offset < c.condition.offset;
                       });
  if (after == w.conditions.begin()) return "";
  const auto& c = *std::prev(after);
  const std::size_t r =
      static_cast<std::size_t>(std::distance(w.conditions.begin(), after)) - 1;
  const auto inside = [at](Span span) {
    return at >= span.offset && at < span.end();
  };
  if (inside(c.name)) return RecordPath(r) + ".name";
  if (inside(c.detail)) return RecordPath(r) + ".detail";
  for (std::size_t p = 0; p < c.params.size(); ++p) {
    const Span key = c.params[p].key;
    // An empty key is where its item, and the "==" after it, begin.
    if (inside(key) || (key.size == 0 && at == key.offset)) {
      return ParamPath(r, p) + ".key";
    }
    const auto& values = c.params[p].values;
    const auto value = std::upper_bound(
        values.begin(), values.end(), at,
        [](std::size_t offset, Span span) { return offset < span.offset; });
    if (value != values.begin() && inside(*std::prev(value))) {
      return ValuePath(
          r, p,
          static_cast<std::size_t>(std::distance(values.begin(), value)) - 1);
    }
  }
  return RecordPath(r);
}

std::string CombinationText(Combination combination) {
  return combination ? std::to_string(*combination) : "null";
}

// The definition as written (`text`, laid out as `laid`) and as read back.
struct RoundTrip {
  const AlertDefinitions& defs;
  const ref::WrittenDefinition& laid;
  const std::string& text;
  const AlertDefinitions& back;
};

// Compares the conditions that the reader cuts where the writer put them
// with the records they came from, and gives the field holding the first
// joiner that the writer did not put there ("" when there is none).
std::string CompareConditions(Explainer& out, const RoundTrip& trip) {
  const ref::WrittenDefinition& laid = trip.laid;
  const std::string_view joiner = ref::Joiner(trip.text);
  std::string joiner_field;
  ref::Pieces pieces(trip.text);
  ref::Span piece;
  std::size_t r = 0;
  auto record = trip.defs.definitions.begin();
  auto got = trip.back.definitions.begin();
  for (; pieces.Next(piece) && got != trip.back.definitions.end(); ++r, ++got) {
    // Piece r holds written condition r while it starts where the writer
    // put condition r; a cut anywhere but at a written joiner is a joiner
    // inside a field, and the pieces after it hold other bytes.
    const std::size_t start = r == 0 ? 0
                              : r - 1 < laid.joiners.size()
                                  ? laid.joiners[r - 1] + laid.joiner.size()
                                  : kNone;
    if (piece.offset != start || r >= laid.conditions.size() ||
        record == trip.defs.definitions.end()) {
      break;
    }
    const std::size_t cut = pieces.joiner_after();
    const bool unexpected =
        cut != kNone && (joiner != laid.joiner || r >= laid.joiners.size() ||
                         laid.joiners[r] != cut);
    if (unexpected) joiner_field = FieldAt(laid, cut);
    // A cut inside the condition is what changes it; one after it leaves
    // the condition whole in its piece.
    if (unexpected && cut < laid.conditions[r].condition.end()) break;
    Condition c;
    c.written = &laid.conditions[r];
    c.reader = ReaderMarks(ref::LocateCondition(trip.text, piece));
    c.writer = WrittenMarks(*c.written);
    CompareRecord(out, c, r, *record, *got);
    ++record;
    if (unexpected) break;
  }
  if (!joiner.empty() && joiner != laid.joiner && joiner_field.empty()) {
    joiner_field = FieldAt(laid, trip.text.find(joiner));
  }
  return joiner_field;
}

// Why the written text is rejected when read back.
void RejectionProblem(Explainer& out, Kind kind, const RoundTrip& trip) {
  const TextCheck located = CheckText(kind, trip.text, 1);
  const Rejection& rejection = located.rejection;
  const std::string path = rejection.item != 0
                               ? FieldAt(trip.laid, rejection.item_offset)
                               : RecordPath(rejection.piece - 1);
  const bool empty_key =
      rejection.item_size >= 2 && path.size() > 4 &&
      path.compare(path.size() - 4, 4, ".key") == 0 &&
      trip.text.compare(rejection.item_offset, ref::kKeySeparator.size(),
                        ref::kKeySeparator) == 0;
  out.Add(
      empty_key ? CauseKind::kEmptyKey : CauseKind::kRejectedItem, path,
      (empty_key
           ? R"(is empty: the reader looks for "==" from the item's second byte, so the item has no "==" of its own; )"
           : "") +
          std::string("the written text is rejected when read back: ") +
          Describe(rejection, trip.text));
}

void CountProblem(Explainer& out, const RoundTrip& trip) {
  const std::size_t written_count = trip.defs.definitions.size();
  const std::size_t read_count = trip.back.definitions.size();
  std::string cause = Count(written_count, "condition") + " written, " +
                      std::to_string(read_count) + " read back";
  if (written_count == 0) {
    cause +=
        ": no conditions are written as the empty text, which reads as one "
        "empty condition";
  } else if (trip.laid.joiner.empty() && written_count > 1) {
    cause +=
        ": without a joiner the conditions run together into one condition "
        "text and the reader takes the first condition from it";
  }
  out.Add(CauseKind::kConditionCount, "definitions", cause);
}

void CombinationProblem(Explainer& out, const RoundTrip& trip,
                        Combination combination, Combination back_combination,
                        const std::string& joiner_field) {
  const std::size_t written_count = trip.defs.definitions.size();
  std::string cause;
  if (combination && *combination > 1) {
    cause = "only 0 and 1 are written as a joiner; " +
            std::to_string(*combination) +
            " is written as two blanks, and a text without a joiner leaves "
            "combination untouched";
  } else if (!joiner_field.empty()) {
    cause = joiner_field + " holds " + Quote(ref::Joiner(trip.text)) +
            ", which the reader takes for the joiner";
  } else if (combination && written_count < 2) {
    cause = "a joiner is only written between two conditions, and there " +
            std::string(written_count == 1 ? "is one" : "are none");
  } else {
    cause = "the joiner of the text changes when it is read back";
  }
  out.Add(CauseKind::kCombination, "combination", cause,
          CombinationText(combination), CombinationText(back_combination));
}

}  // namespace

bool SameRecords(const AlertDefinitions& a, const AlertDefinitions& b) {
  return std::equal(
      a.definitions.begin(), a.definitions.end(), b.definitions.begin(),
      b.definitions.end(),
      [](const AlertDefinition& x, const AlertDefinition& y) {
        return x.name == y.name && x.detail == y.detail &&
               std::equal(
                   x.params.begin(), x.params.end(), y.params.begin(),
                   y.params.end(),
                   [](const DefinitionParam& p, const DefinitionParam& q) {
                     return p.key == q.key && p.values == q.values;
                   });
      });
}

RecordsCheck CheckRecords(Kind kind, AlertDefinitions& defs,
                          Combination combination, std::size_t max_problems) {
  RecordsCheck check;
  std::string text;
  WriteRecords(kind, text, defs, combination);
  AlertDefinitions back{};
  Combination back_combination;
  const bool accepted = ParseText(kind, text, back, back_combination);
  if (accepted && SameRecords(defs, back) && back_combination == combination) {
    return check;
  }
  check.status = Status::kLossy;

  // Where the writer put everything, and how the reader cuts the text.
  const std::uint32_t kept = defs.combination;
  defs.combination = combination ? *combination : 2;
  const ref::WrittenDefinition laid = ref::LayOut(defs);
  defs.combination = kept;
  Explainer out(max_problems, check);
  const RoundTrip trip{defs, laid, text, back};
  const std::string joiner_field = CompareConditions(out, trip);
  if (!joiner_field.empty()) {
    out.Add(CauseKind::kJoinerInField, joiner_field,
            "holds " + Quote(ref::Joiner(text)) +
                ", which the reader takes for the joiner, so the definition "
                "text is cut there");
  }
  if (!accepted) RejectionProblem(out, kind, trip);
  if (accepted && defs.definitions.size() != back.definitions.size()) {
    CountProblem(out, trip);
  }
  if (back_combination != combination) {
    CombinationProblem(out, trip, combination, back_combination, joiner_field);
  }
  if (check.problems.empty() && check.more == 0) {
    out.Add(CauseKind::kOther, "definitions",
            "the records do not come back unchanged");
  }
  return check;
}

}  // namespace vantrel::rules
