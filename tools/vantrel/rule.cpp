#include "rule.h"

#include <utility>

namespace vantrel::cli {
namespace {

using rules::InputError;
using rules::RewriteStatus;
using rules::Status;

constexpr std::array<const char*, kVerdicts> kVerdictNames = {
    "ok",        "lossy", "rejected", "rewritten",
    "unchanged", "kept",  "refused",  "error"};

Verdict VerdictOf(Status status) {
  switch (status) {
    case Status::kOk:
      return Verdict::kOk;
    case Status::kLossy:
      return Verdict::kLossy;
    case Status::kRejected:
      return Verdict::kRejected;
  }
  return Verdict::kError;
}

Verdict VerdictOf(RewriteStatus status) {
  switch (status) {
    case RewriteStatus::kRewritten:
      return Verdict::kRewritten;
    case RewriteStatus::kUnchanged:
      return Verdict::kUnchanged;
    case RewriteStatus::kKept:
      return Verdict::kKept;
    case RewriteStatus::kRefused:
      return Verdict::kRefused;
  }
  return Verdict::kError;
}

void Take(Outcome& out, rules::RewriteResult result) {
  out.verdict = VerdictOf(result.status);
  out.written = std::move(result.text);
  out.reason = std::move(result.reason);
}

// format: records edited elsewhere, against the text they were read from
// when the row has one; a row of a text only keeps it unless the text does
// not read back whole, which is said.
void Format(const Options& o, Rule& rule, rules::RewriteLimits limits,
            Outcome& out) {
  rules::RuleLine& in = rule.in;
  if (in.status && !VerdictNamed(*in.status)) {
    throw InputError("status: " + rules::Excerpt(*in.status) +
                     " is not a status the tool writes");
  }
  if (in.text && in.has_records) {
    Take(out, rules::Decide(o.kind, *in.text, in.defs, in.combination, limits));
    return;
  }
  if (in.text) {
    Take(out, rules::Rewrite(o.kind, *in.text,
                             [](AlertDefinitions&, rules::Combination&) {}));
    return;
  }
  // New records, with no stored text to keep.
  out.records =
      rules::CheckRecords(o.kind, in.defs, in.combination, o.max_causes);
  out.verdict =
      out.records->status == Status::kOk ? Verdict::kOk : Verdict::kLossy;
  if (!out.records->problems.empty()) {
    const rules::Problem& problem = out.records->problems.front();
    out.reason = problem.path + " " + problem.cause;
  }
  if (o.strict && out.verdict != Verdict::kOk) {
    out.verdict = Verdict::kRefused;
    return;
  }
  out.written.emplace();
  rules::WriteRecords(o.kind, *out.written, in.defs, in.combination);
}

}  // namespace

const char* VerdictName(Verdict verdict) {
  return kVerdictNames.at(static_cast<std::size_t>(verdict));
}

std::optional<Verdict> VerdictNamed(const std::string& name) {
  for (std::size_t v = 0; v < kVerdicts; ++v) {
    if (name == kVerdictNames.at(v)) return static_cast<Verdict>(v);
  }
  return std::nullopt;
}

Outcome Run(const Options& o, Rule& rule, rules::RewriteLimits limits) {
  Outcome out;
  rules::RuleLine& in = rule.in;
  switch (o.command) {
    case Command::kParse:
      if (!in.text) {
        throw InputError(R"(parse reads rule texts: the line has no "text")");
      }
      out.text = rules::CheckText(o.kind, *in.text, o.max_causes, &out.defs,
                                  &out.combination);
      out.verdict = VerdictOf(out.text->status);
      out.has_records = out.verdict != Verdict::kRejected || o.partial;
      return out;
    case Command::kCheck:
      if (in.UsesText()) {
        out.text = rules::CheckText(o.kind, *in.text, o.max_causes);
        out.verdict = VerdictOf(out.text->status);
      } else {
        out.records =
            rules::CheckRecords(o.kind, in.defs, in.combination, o.max_causes);
        out.verdict = VerdictOf(out.records->status);
      }
      return out;
    case Command::kFormat:
      Format(o, rule, limits, out);
      return out;
    case Command::kEdit:
      if (!in.text) {
        throw InputError(R"(edit rewrites rule texts: the line has no "text")");
      }
      // A lambda of one reference: held by the std::function without an
      // allocation, and the steps are not copied for each rule.
      Take(out, rules::Rewrite(
                    o.kind, *in.text,
                    [&o](AlertDefinitions& defs, rules::Combination&) {
                      rules::ApplySteps(o.steps, defs);
                    },
                    limits));
      return out;
  }
  return out;
}

}  // namespace vantrel::cli
