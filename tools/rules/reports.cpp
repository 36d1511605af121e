#include "reports.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "text.h"

namespace vantrel::rules {
namespace {

// A window of `bytes` around the first difference, for the JSON report.
Report Window(std::string_view bytes, std::size_t at, ByteMode mode) {
  const std::string_view shown = Around(bytes, at);
  Report part;
  part["from"] = shown.empty()
                     ? at
                     : static_cast<std::size_t>(shown.data() - bytes.data());
  part["bytes"] = ReportText(shown, mode);
  part["size"] = bytes.size();
  return part;
}

std::string WindowLine(std::string_view bytes, std::size_t at) {
  const std::string_view shown = Around(bytes, at);
  const std::size_t from =
      shown.empty() ? at
                    : static_cast<std::size_t>(shown.data() - bytes.data());
  return (from > 0 ? "..." : "") + Quote(shown) +
         (from + shown.size() < bytes.size() ? "..." : "");
}

std::string More(std::size_t more, const char* what) {
  return "  ... and " + std::to_string(more) + " more " + what + "\n";
}

}  // namespace

Report TextReport(const TextCheck& check, std::string_view text, ByteMode mode,
                  Report head) {
  Report report = std::move(head);
  report["status"] = StatusName(check.status);
  if (check.status == Status::kRejected) {
    const Rejection& r = check.rejection;
    report["piece"] = r.piece;
    report["offset"] = r.offset;
    if (r.item != 0) {
      report["item"] = r.item;
      report["item_offset"] = r.item_offset;
    }
    report["message"] = Describe(r, text);
    return report;
  }
  report["conditions"] = check.conditions;
  if (check.status == Status::kOk) return report;
  report["difference"] = {
      {"offset", check.difference},
      {"text", Window(text, check.difference, mode)},
      {"written", Window(check.written, check.difference, mode)}};
  Report causes = Report::array();
  std::transform(check.causes.kept().begin(), check.causes.kept().end(),
                 std::back_inserter(causes), [](const Cause& cause) {
                   return Report{{"cause", cause.what},
                                 {"kind", CauseKindName(cause.kind)},
                                 {"offset", cause.offset},
                                 {"size", cause.size}};
                 });
  report["causes"] = std::move(causes);
  if (check.causes.more() > 0) report["more_causes"] = check.causes.more();
  return report;
}

std::string TextReportJson(const TextCheck& check, std::string_view text,
                           ByteMode mode) {
  return Dump(TextReport(check, text, mode, Report::object()), 2) + "\n";
}

std::string RecordsReportJson(const RecordsCheck& check, ByteMode mode) {
  return Dump(RecordsReport(check, mode, Report::object()), 2) + "\n";
}

std::string TextReportLines(const TextCheck& check, std::string_view text) {
  const std::string conditions =
      std::to_string(check.conditions) +
      (check.conditions == 1 ? " condition" : " conditions");
  if (check.status == Status::kOk) {
    return "ok: the text comes back byte for byte (" + conditions + ")\n";
  }
  if (check.status == Status::kRejected) {
    return "rejected: " + Describe(check.rejection, text) + "\n";
  }
  std::string out =
      "lossy: the text does not come back byte for byte (" + conditions +
      " read)\n  first difference at byte " + std::to_string(check.difference) +
      " (the text has " + std::to_string(text.size()) +
      " bytes, written back " + std::to_string(check.written.size()) +
      ")\n  text:    " + WindowLine(text, check.difference) +
      "\n  written: " + WindowLine(check.written, check.difference) + "\n";
  for (const Cause& cause : check.causes.kept()) {
    out += cause.size <= 1
               ? "  at byte " + std::to_string(cause.offset)
               : "  bytes " + std::to_string(cause.offset) + " to " +
                     std::to_string(cause.offset + cause.size - 1);
    out += ": " + cause.what + "\n";
  }
  if (check.causes.more() > 0) out += More(check.causes.more(), "causes");
  return out;
}

Report RecordsReport(const RecordsCheck& check, ByteMode mode, Report head) {
  Report report = std::move(head);
  report["status"] = StatusName(check.status);
  Report list = Report::array();
  for (const Problem& problem : check.problems) {
    Report item = {{"path", problem.path},
                   {"cause", problem.cause},
                   {"kind", CauseKindName(problem.kind)}};
    for (const auto& [name, value] :
         {std::pair{"written", &problem.written},
          std::pair{"read_back", &problem.read_back}}) {
      if (!*value) continue;
      if (problem.path == "combination") {
        item[name] = Report::parse(**value);
      } else {
        item[name] = ReportText(
            std::string_view(**value).substr(0, kExcerptBytes), mode);
        if ((*value)->size() > kExcerptBytes) {
          item[std::string(name) + "_bytes"] = (*value)->size();
        }
      }
    }
    list.push_back(std::move(item));
  }
  report["problems"] = std::move(list);
  if (check.more > 0) report["more_problems"] = check.more;
  return report;
}

std::string RecordsReportLines(const RecordsCheck& check, std::size_t records) {
  if (check.status == Status::kOk) {
    return "ok: all " + std::to_string(records) +
           " conditions and the combination come back unchanged\n";
  }
  std::string out;
  for (const Problem& problem : check.problems) {
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
  if (check.more > 0) out += More(check.more, "problems");
  const std::size_t total = check.problems.size() + check.more;
  return out + std::to_string(total) + (total == 1 ? " problem" : " problems") +
         ": this definition does not survive writing and reading back\n";
}

void CauseTally::Add(const std::array<std::size_t, kCauseKinds>& counts) {
  for (std::size_t k = 0; k < kCauseKinds; ++k) counts_.at(k) += counts.at(k);
}

std::string CauseTally::Text() const {
  std::string text;
  for (std::size_t k = 0; k < kCauseKinds; ++k) {
    if (counts_.at(k) == 0) continue;
    text += (text.empty() ? "" : ", ") + std::to_string(counts_.at(k)) + " " +
            CauseKindName(static_cast<CauseKind>(k));
  }
  return text;
}

}  // namespace vantrel::rules
