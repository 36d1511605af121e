#include "render.h"

#include <initializer_list>
#include <utility>
#include <vector>

#include "text.h"

namespace vantrel::cli {
namespace {

using rules::Report;

// The verdicts a command's summary counts, in its order.
std::vector<Verdict> Counted(Command command) {
  switch (command) {
    case Command::kParse:
    case Command::kCheck:
      return {Verdict::kOk, Verdict::kLossy, Verdict::kRejected,
              Verdict::kError};
    case Command::kEdit:
      return {Verdict::kRewritten, Verdict::kUnchanged, Verdict::kKept,
              Verdict::kRefused, Verdict::kError};
    case Command::kFormat:
      // ok and lossy: rows of records with no stored text.
      return {Verdict::kOk,   Verdict::kRewritten, Verdict::kUnchanged,
              Verdict::kKept, Verdict::kRefused,   Verdict::kLossy,
              Verdict::kError};
  }
  return {};
}

// The id as JSON for a report: as read, a string cut to kExcerptBytes.
Report IdJson(const Rule& rule) {
  if (!rule.in.id.is_string()) return rule.in.id;
  const auto& id = rule.in.id.get_ref<const std::string&>();
  if (id.size() <= rules::kExcerptBytes) return id;
  return rules::Excerpt(id);
}

}  // namespace

std::string Row(const Options& o, const Rule& rule, const Outcome& out) {
  // Most rows of a check say only this; written directly, without a report
  // object, they cost little more than the library's own round trip.
  if (o.command == Command::kCheck && out.verdict == Verdict::kOk) {
    return "{\"id\":" + rules::Dump(rule.in.id) + ",\"status\":\"ok\"}\n";
  }
  Report head = {{"id", rule.in.id}};
  Report report;
  if (out.text) {
    report = rules::TextReport(*out.text, *rule.in.text, o.mode, head);
    if (out.verdict == Verdict::kOk) report.erase("conditions");
  } else {
    report = rules::RecordsReport(*out.records, o.mode, head);
    if (out.verdict == Verdict::kOk) report.erase("problems");
  }
  // A parse puts the text on every row, so that format can tell whether the
  // records it is given were read whole from it.
  std::string row = rules::Dump(report);
  row.pop_back();  // the closing brace, to add members after it
  if (o.command == Command::kParse) {
    row.append(",\"text\":")
        .append(rules::JsonString(*rule.in.text, o.mode, "text"));
  }
  if (out.has_records) {
    row += ',';
    rules::AppendRecordMembers(row, out.defs, out.combination, o.mode);
  }
  return row + "}\n";
}

std::string TextRow(const Options& o, const Rule& rule, const Outcome& out) {
  std::string row = R"({"id":)" + rules::Dump(rule.in.id) + R"(,"status":")" +
                    VerdictName(out.verdict) + "\"";
  if (!out.reason.empty()) row += ",\"reason\":" + rules::Dump(out.reason);
  return row + ",\"text\":" + rules::JsonString(*out.written, o.mode, "text") +
         "}\n";
}

std::string ErrorRow(const Options& o, const Rule& rule,
                     const std::string& message, std::string_view raw) {
  Report report{{"id", rule.in.id},
                {"status", "error"},
                {"line", rule.line},
                {"message", message}};
  std::string row = rules::Dump(report);
  if (o.command == Command::kParse &&
      (o.mode == rules::ByteMode::Latin1 ||
       rules::FirstNonUtf8(raw) == std::string_view::npos)) {
    row.pop_back();
    row += ",\"text\":" + rules::JsonString(raw, o.mode, "text") + "}";
  }
  return row + "\n";
}

std::string ReportRow(const Rule& rule, Verdict verdict,
                      const std::string& reason) {
  // The reason is printable ASCII already: every piece of input in it is
  // excerpted.
  return rules::Dump(Report{{"id", IdJson(rule)},
                            {"line", rule.line},
                            {"status", VerdictName(verdict)},
                            {"reason", reason}}) +
         "\n";
}

std::string Hinted(std::string message) {
  if (message.find("latin1 byte mode") != std::string::npos) {
    message += " (--bytes latin1)";
  }
  return message;
}

std::string IdText(const Rule& rule) {
  if (rule.in.id.is_null()) return "(none)";
  if (!rule.in.id.is_string()) return rules::Dump(rule.in.id);
  return rules::Excerpt(rule.in.id.get_ref<const std::string&>());
}

void Summary::Add(const Outcome& out) {
  ++rules;
  ++verdicts.at(static_cast<std::size_t>(out.verdict));
  if (out.text) causes.Add(out.text->causes);
  if (out.records) causes.Add(out.records->counts);
}

std::size_t Summary::NotOk(Command command) const {
  const auto count = [this](std::initializer_list<Verdict> which) {
    std::size_t n = 0;
    for (const Verdict v : which) n += verdicts.at(static_cast<std::size_t>(v));
    return n;
  };
  switch (command) {
    case Command::kParse:
      return 0;  // every row carries its status, the error rows too
    case Command::kCheck:
      return count({Verdict::kLossy, Verdict::kRejected, Verdict::kError});
    case Command::kFormat:
    case Command::kEdit:
      return count({Verdict::kKept, Verdict::kRefused, Verdict::kLossy,
                    Verdict::kError});
  }
  return 0;
}

ExitCode Summary::Code(Command command) const {
  return CodeOf(NotOk(command), left_out);
}

std::string Summary::Text(Command command) const {
  const std::string name = std::string("vantrel ") + CommandName(command);
  std::string text = name + ": " + std::to_string(rules) +
                     (rules == 1 ? " rule: " : " rules: ");
  bool first = true;
  for (const Verdict v : Counted(command)) {
    text += (first ? "" : ", ") +
            std::to_string(verdicts.at(static_cast<std::size_t>(v))) + " " +
            VerdictName(v);
    first = false;
  }
  if (left_out > 0) {
    text += "; " + std::to_string(left_out) +
            " not in the output, so it is not written";
  }
  text += "\n";
  const std::string tally = causes.Text();
  if (!tally.empty()) text += name + ": causes: " + tally + "\n";
  if (rules == 0) text += name + ": the input holds no rules\n";
  return text;
}

std::string Summary::Json(Command command) const {
  Report report{{"command", CommandName(command)}, {"rules", rules}};
  for (const Verdict v : Counted(command)) {
    report[VerdictName(v)] = verdicts.at(static_cast<std::size_t>(v));
  }
  report["left_out"] = left_out;
  report["exit_code"] = static_cast<int>(Code(command));
  return rules::Dump(report) + "\n";
}

std::string SingleCheckReport(const Options& o, const Rule& rule,
                              const Outcome& out) {
  if (out.text) {
    if (!o.json_report) return rules::TextReportLines(*out.text, *rule.in.text);
    return rules::TextReportJson(*out.text, *rule.in.text, o.mode);
  }
  if (!o.json_report) {
    return rules::RecordsReportLines(*out.records,
                                     rule.in.defs.definitions.size());
  }
  return rules::RecordsReportJson(*out.records, o.mode);
}

}  // namespace vantrel::cli
