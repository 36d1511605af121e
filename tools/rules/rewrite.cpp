#include "rewrite.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <utility>

#include "records_check.h"
#include "text.h"
#include "text_check.h"

namespace vantrel::rules {
namespace {

bool HasLineBreak(std::string_view bytes) {
  return bytes.find('\n') != std::string_view::npos;
}

// The path of the first field that holds an LF ("definitions[0].name"),
// nullopt when none does.
std::optional<std::string> LineBreakField(const AlertDefinitions& defs) {
  std::size_t d = 0;
  for (const AlertDefinition& def : defs.definitions) {
    const std::string at = "definitions[" + std::to_string(d++) + "]";
    if (HasLineBreak(def.name)) return at + ".name";
    if (HasLineBreak(def.detail)) return at + ".detail";
    std::size_t p = 0;
    for (const DefinitionParam& param : def.params) {
      const std::string param_at = at + ".params[" + std::to_string(p++) + "]";
      if (HasLineBreak(param.key)) return param_at + ".key";
      std::size_t v = 0;
      for (const std::string& value : param.values) {
        if (HasLineBreak(value)) {
          return param_at + ".values[" + std::to_string(v) + "]";
        }
        ++v;
      }
    }
  }
  return std::nullopt;
}

// Why `text`, which does not read back whole, is kept: the rejection, or the
// first difference and the first cause the reader names.
std::string KeptReason(Kind kind, const std::string& text) {
  const TextCheck check = CheckText(kind, text, 1);
  if (check.status == Status::kRejected) {
    return "the text is rejected: " + Describe(check.rejection, text);
  }
  std::string reason =
      "the text does not read back whole (it differs at byte " +
      std::to_string(check.difference) + ")";
  if (!check.causes.kept().empty()) {
    reason += ": " + check.causes.kept().front().what;
  }
  return reason;
}

// Why edited records that do not read back are refused: the first field that
// changes, by its path, and the mark to blame.
std::string RefusedReason(Kind kind, AlertDefinitions& edited,
                          Combination combination) {
  const RecordsCheck check = CheckRecords(kind, edited, combination, 1);
  if (check.problems.empty()) {
    return "the edited records do not read back unchanged";
  }
  const Problem& problem = check.problems.front();
  return "the edited records do not read back unchanged: " + problem.path +
         " " + problem.cause;
}

// The decision once `original` is known to read back whole as `read`.
RewriteResult DecideEdited(Kind kind, const std::string& original,
                           const AlertDefinitions& read,
                           Combination read_combination,
                           AlertDefinitions& edited, Combination combination,
                           RewriteLimits limits) {
  RewriteResult result;
  if (combination == read_combination && SameRecords(read, edited)) {
    result.status = RewriteStatus::kUnchanged;
    result.text = original;
    return result;
  }
  std::string text;
  WriteRecords(kind, text, edited, combination);
  AlertDefinitions back{};
  Combination back_combination;
  const bool accepted = ParseText(kind, text, back, back_combination);
  if (!accepted || back_combination != combination ||
      !SameRecords(edited, back)) {
    result.status = RewriteStatus::kRefused;
    result.text = original;
    result.reason = RefusedReason(kind, edited, combination);
    return result;
  }
  if (limits.single_line && HasLineBreak(text)) {
    result.status = RewriteStatus::kRefused;
    result.text = original;
    result.reason = "the edited records hold a line break (" +
                    LineBreakField(edited).value_or("definitions") +
                    "), which one line of the output cannot carry";
    return result;
  }
  result.status = RewriteStatus::kRewritten;
  result.text = std::move(text);
  return result;
}

// Reads `text` into `defs` and `combination`: true when it reads back whole
// (accepted, and written back byte for byte).
bool ReadsBackWhole(Kind kind, const std::string& text, AlertDefinitions& defs,
                    Combination& combination) {
  if (!ParseText(kind, text, defs, combination)) return false;
  std::string written;
  WriteRecords(kind, written, defs, combination);
  return written == text;
}

RewriteResult Kept(Kind kind, const std::string& text) {
  RewriteResult result;
  result.status = RewriteStatus::kKept;
  result.text = text;
  result.reason = KeptReason(kind, text);
  return result;
}

}  // namespace

const char* RewriteStatusName(RewriteStatus status) {
  switch (status) {
    case RewriteStatus::kRewritten:
      return "rewritten";
    case RewriteStatus::kUnchanged:
      return "unchanged";
    case RewriteStatus::kKept:
      return "kept";
    case RewriteStatus::kRefused:
      return "refused";
  }
  return "unchanged";
}

RewriteResult Rewrite(Kind kind, const std::string& text, const Edit& edit,
                      RewriteLimits limits) {
  AlertDefinitions read{};
  Combination read_combination;
  if (!ReadsBackWhole(kind, text, read, read_combination)) {
    return Kept(kind, text);
  }
  AlertDefinitions edited = read;
  Combination combination = read_combination;
  edit(edited, combination);
  return DecideEdited(kind, text, read, read_combination, edited, combination,
                      limits);
}

RewriteResult Decide(Kind kind, const std::string& original,
                     AlertDefinitions& edited, Combination combination,
                     RewriteLimits limits) {
  AlertDefinitions read{};
  Combination read_combination;
  if (!ReadsBackWhole(kind, original, read, read_combination)) {
    return Kept(kind, original);
  }
  return DecideEdited(kind, original, read, read_combination, edited,
                      combination, limits);
}

void ApplySteps(const std::vector<EditStep>& steps, AlertDefinitions& defs) {
  for (const EditStep& step : steps) {
    for (AlertDefinition& def : defs.definitions) {
      if (step.op == EditStep::Op::kRenameCondition) {
        if (def.name == step.from) def.name = step.to;
        continue;
      }
      for (DefinitionParam& param : def.params) {
        if (step.op == EditStep::Op::kRenameKey) {
          if (param.key == step.from) param.key = step.to;
        } else if (step.key == kAnyKey || param.key == step.key) {
          std::replace(param.values.begin(), param.values.end(), step.from,
                       step.to);
        }
      }
    }
  }
}

Edit StepsEdit(std::vector<EditStep> steps) {
  return [steps = std::move(steps)](AlertDefinitions& defs, Combination&) {
    ApplySteps(steps, defs);
  };
}

}  // namespace vantrel::rules
