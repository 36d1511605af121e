#include "commands.h"

#include <unistd.h>

#include <array>
#include <chrono>
#include <utility>

#include "reports.h"
#include "text.h"

namespace vantrel::cli {
namespace {

using rules::Combination;
using rules::InputError;
using rules::Report;
using rules::Status;

// What became of one rule. kKept: format wrote a rule's stored text as it
// was, because the rule came as text, not as records.
enum class Verdict { kOk, kLossy, kRejected, kError, kKept };
constexpr std::array<const char*, 5> kVerdictNames = {"ok", "lossy", "rejected",
                                                      "error", "kept"};

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

// One rule as read: its id (null for a single rule), the input line it
// came from (0 for a single rule), and its text and/or records.
// As RuleLine, which it holds, for the json destructor's allocation.
// NOLINTNEXTLINE(bugprone-exception-escape)
struct Rule {
  std::size_t line = 0;
  rules::RuleLine in;
};

// What a command made of one rule.
struct Outcome {
  Verdict verdict = Verdict::kOk;
  std::optional<rules::TextCheck> text;
  std::optional<rules::RecordsCheck> records;
  // parse: the records read (with --partial also those of a rejected text).
  AlertDefinitions defs{};
  Combination combination;
  bool has_records = false;
  // format: the text to output.
  std::optional<std::string> written;
};

Outcome Run(const Options& o, Rule& rule) {
  Outcome out;
  const rules::RuleLine& in = rule.in;
  switch (o.command) {
    case Command::kParse: {
      if (!in.text) {
        throw InputError(R"(parse reads rule texts: the line has no "text")");
      }
      out.text = rules::CheckText(o.kind, *in.text, o.max_causes, &out.defs,
                                  &out.combination);
      out.verdict = VerdictOf(out.text->status);
      out.has_records = out.verdict != Verdict::kRejected || o.partial;
      return out;
    }
    case Command::kCheck:
      if (in.UsesText()) {
        out.text = rules::CheckText(o.kind, *in.text, o.max_causes);
        out.verdict = VerdictOf(out.text->status);
      } else {
        out.records = rules::CheckRecords(o.kind, rule.in.defs, in.combination,
                                          o.max_causes);
        out.verdict = VerdictOf(out.records->status);
      }
      return out;
    case Command::kFormat:
      if (in.UsesText()) {
        out.verdict = Verdict::kKept;
        out.written = *in.text;
        return out;
      }
      out.records = rules::CheckRecords(o.kind, rule.in.defs, in.combination,
                                        o.max_causes);
      out.verdict = VerdictOf(out.records->status);
      if (!o.strict || out.verdict == Verdict::kOk) {
        out.written.emplace();
        rules::WriteRecords(o.kind, *out.written, rule.in.defs, in.combination);
      }
      return out;
  }
  return out;
}

// The JSON line of an outcome, "id" first.
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
  } else if (out.records) {
    report = rules::RecordsReport(*out.records, o.mode, head);
    if (out.verdict == Verdict::kOk) report.erase("problems");
  } else {
    report = std::move(head);
    report["status"] = kVerdictNames.at(static_cast<std::size_t>(out.verdict));
  }
  // A rule that a parse did not read whole keeps its text, so that a
  // migration that formats the batch again writes it unchanged.
  std::string row = rules::Dump(report);
  row.pop_back();  // the closing brace, to add members after it
  const auto member = [&](const char* name, const std::string& json) {
    row.append(",\"").append(name).append("\":").append(json);
  };
  if (o.command == Command::kParse && out.verdict != Verdict::kOk) {
    member("text", rules::JsonString(*rule.in.text, o.mode, "text"));
  }
  if (o.command == Command::kFormat && out.written) {
    member("text", rules::JsonString(*out.written, o.mode, "text"));
  }
  if (out.has_records) {
    row += ',';
    rules::AppendRecordMembers(row, out.defs, out.combination, o.mode);
  }
  return row + "}\n";
}

std::string ErrorRow(const Rule& rule, const std::string& message) {
  return rules::Dump(Report{{"id", rule.in.id},
                            {"status", "error"},
                            {"line", rule.line},
                            {"message", message}}) +
         "\n";
}

// The id of a batch rule as text for a message: 7, "r1".
std::string IdText(const Rule& rule) {
  return rule.in.id.is_null() ? "(none)" : rules::Dump(rule.in.id);
}

// Reads line `number` of a batch in form `form` into `rule`.
void ReadRule(const Options& o, Form form, std::string& line, Rule& rule) {
  if (form == Form::kLines) {
    rule.in.id = rule.line;
    rule.in.text = std::move(line);
    return;
  }
  if (form == Form::kTsv) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) {
      throw InputError("no TAB between the id and the text");
    }
    rule.in.id = Report::parse(rules::JsonString(
        std::string_view(line).substr(0, tab), o.mode, "the id"));
    rule.in.text = line.substr(tab + 1);
    return;
  }
  rules::ReadRuleLine(line, o.mode, rule.in);
}

bool Blank(const std::string& line) {
  return line.find_first_not_of(" \t\r") == std::string::npos;
}

// A batch's counts, and the line on standard error that says them.
struct Summary {
  std::array<std::size_t, 5> verdicts{};
  std::size_t rules = 0;
  std::size_t missing = 0;  // rules that are not in the output
  rules::CauseTally causes;

  void Add(const Outcome& out) {
    ++rules;
    ++verdicts.at(static_cast<std::size_t>(out.verdict));
    if (out.text) causes.Add(out.text->causes);
    if (out.records) causes.Add(out.records->counts);
  }
  std::string Text(Command command) const {
    const std::string name = std::string("vantrel ") + CommandName(command);
    std::string text = name + ": " + std::to_string(rules) +
                       (rules == 1 ? " rule: " : " rules: ");
    for (std::size_t v = 0; v < 4; ++v) {
      text += (v == 0 ? "" : ", ") + std::to_string(verdicts.at(v)) + " " +
              kVerdictNames.at(v);
    }
    if (command == Command::kFormat) {
      text += ", " + std::to_string(verdicts[4]) + " kept as text";
    }
    if (missing > 0) {
      text += "; " + std::to_string(missing) + " not in the output";
    }
    text += "\n";
    const std::string tally = causes.Text();
    if (!tally.empty()) text += name + ": causes: " + tally + "\n";
    return text;
  }
  ExitCode Code() const {
    if (verdicts[static_cast<std::size_t>(Verdict::kError)] > 0) {
      return ExitCode::kError;
    }
    const bool changed =
        verdicts[static_cast<std::size_t>(Verdict::kLossy)] +
            verdicts[static_cast<std::size_t>(Verdict::kRejected)] + missing >
        0;
    return changed ? ExitCode::kNotUnchanged : ExitCode::kOk;
  }
};

// "rule 3 rules read..." on a terminal, once a second, for a batch that
// runs longer than a second.
class Progress {
 public:
  Progress(Command command, std::ostream& messages, bool quiet)
      : command_(command),
        messages_(messages),
        on_(!quiet && isatty(STDERR_FILENO) == 1),
        last_(std::chrono::steady_clock::now()) {}
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  Progress(Progress&&) = delete;
  Progress& operator=(Progress&&) = delete;
  ~Progress() { Clear(); }
  void Tick(std::size_t rules) {
    if (!on_ || rules % 1024 != 0) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::seconds(1)) return;
    last_ = now;
    messages_ << "\rvantrel " << CommandName(command_) << ": " << rules
              << " rules..." << std::flush;
    shown_ = true;
  }
  void Clear() {
    if (!shown_) return;
    messages_ << "\r\033[K" << std::flush;
    shown_ = false;
  }

 private:
  Command command_;
  std::ostream& messages_;
  bool on_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point last_;
};

// The line of a format batch in the lines or TSV form, or the reason why
// the rule cannot stand there.
std::optional<std::string> PlainLine(const Options& o, const Rule& rule,
                                     const Outcome& out, std::string& why) {
  if (!out.written) {
    why = "it is lossy and --strict writes no lossy rule";
    return std::nullopt;
  }
  const bool tsv = o.to == Form::kTsv;
  if (out.written->find_first_of(tsv ? "\t\r\n" : "\r\n") !=
      std::string::npos) {
    why = std::string("its text holds a line break") +
          (tsv ? " or a TAB" : "") + ", which this form cannot carry";
    return std::nullopt;
  }
  if (!tsv) return *out.written + "\n";
  std::string id =
      rule.in.id.is_string()
          ? rules::FieldBytes(rule.in.id.get<std::string>(), o.mode, "the id")
          : rules::Dump(rule.in.id);
  if (id.find_first_of("\t\r\n") != std::string::npos) {
    why = "its id holds a TAB or a line break";
    return std::nullopt;
  }
  return id + "\t" + *out.written + "\n";
}

// One line of a batch, read and run, and its JSON row when `row` is given.
// An input error costs that line only: its outcome is an error and `error`
// says why.
Outcome RunLine(const Options& o, Form form, std::string& line, Rule& rule,
                std::string* row, std::string& error) {
  try {
    ReadRule(o, form, line, rule);
    Outcome out = Run(o, rule);
    if (row != nullptr) *row = Row(o, rule, out);
    return out;
  } catch (const InputError& e) {
    error = e.what();
    Outcome out;
    out.verdict = Verdict::kError;
    return out;
  }
}

// Writes the line of a format batch in the lines or TSV form. A rule that
// cannot stand there is left out and counted; in the lines form, where
// line N of the output is rule N or nothing, it ends the batch.
void WritePlain(const Options& o, const Rule& rule, const Outcome& out,
                std::string why, Output& output, std::ostream& messages,
                Summary& summary, Progress& progress) {
  std::optional<std::string> text;
  if (why.empty()) text = PlainLine(o, rule, out, why);
  if (text) {
    output.Write(*text);
    output.Release();
    if (o.quiet || !out.records) return;
    for (const rules::Problem& problem : out.records->problems) {
      messages << "vantrel format: id " << IdText(rule)
               << ": warning: " << problem.path << ": " << problem.cause
               << "\n";
    }
    return;
  }
  progress.Clear();
  if (o.to == Form::kLines) {
    throw InputError("line " + std::to_string(rule.line) + " (id " +
                     IdText(rule) + ") cannot be written as a line: " + why +
                     "; nothing more is written");
  }
  ++summary.missing;
  if (!o.quiet) {
    messages << "vantrel format: line " << rule.line << " (id " << IdText(rule)
             << ") is not in the output: " << why << "\n";
  }
}

Result RunBatch(const Options& o, Input& input, Output& output,
                std::ostream& messages) {
  const Form form = *o.batch;
  const bool plain = o.command == Command::kFormat && o.to != Form::kJsonl;
  // A quiet check answers with its exit code only (its rows are still made:
  // a rule whose report the byte mode cannot carry is an error).
  const bool rows = !plain && !(o.quiet && o.command == Command::kCheck);
  Summary summary;
  Progress progress(o.command, messages, o.quiet);
  std::string line;
  std::size_t number = 0;
  while (input.NextLine(line)) {
    ++number;
    if (form != Form::kLines && Blank(line)) continue;
    Rule rule;
    rule.line = number;
    std::string row;
    std::string error;
    const Outcome out =
        RunLine(o, form, line, rule, plain ? nullptr : &row, error);
    summary.Add(out);
    progress.Tick(summary.rules);
    if (plain) {
      WritePlain(o, rule, out, error, output, messages, summary, progress);
    } else if (rows) {
      output.Write(error.empty() ? row : ErrorRow(rule, error));
      output.Release();  // a whole row: standard output may have it
    }
  }
  progress.Clear();
  // Everything is written before the summary is told.
  output.Commit();
  if (!o.quiet) messages << summary.Text(o.command);
  return Result{summary.Code(), true};
}

bool LooksLikeJson(const std::string& input) {
  const std::size_t first = input.find_first_not_of(" \t\r\n");
  return first != std::string::npos &&
         (input[first] == '{' || input[first] == '[');
}

ExitCode CodeOf(Verdict verdict) {
  return verdict == Verdict::kOk ? ExitCode::kOk : ExitCode::kNotUnchanged;
}

void WriteRecords(const Options& o, const Outcome& out, Output& output) {
  // Every field is checked before the first byte goes out, so that a field
  // the byte mode cannot carry leaves no half document behind.
  rules::CheckRecordsEncodable(out.defs, o.mode);
  std::string json;
  rules::WriteRecordsJson(json, out.defs, out.combination, o.mode,
                          [&](std::string& chunk) {
                            output.Write(chunk);
                            chunk.clear();
                          });
  output.Write(json);
}

// The one rule of a single run: records for format, and for check when the
// input looks like (or is said to be) JSON; a text otherwise.
Rule ReadSingle(const Options& o, Input& input) {
  Rule rule;
  const std::string in = input.ReadAll();
  const bool json = o.command == Command::kFormat ||
                    (o.command == Command::kCheck &&
                     (o.detect == Detect::kJson ||
                      (o.detect == Detect::kAuto && LooksLikeJson(in))));
  if (!json) {
    // One final LF or CRLF ends a file; a CR alone is part of the rule.
    rule.in.text = std::string(WithoutFinalLineBreak(in));
    return rule;
  }
  try {
    rule.in.combination = rules::ReadRecordsJson(in, o.mode, rule.in.defs);
  } catch (const InputError& error) {
    throw InputError(input.label() + ": " + error.what());
  }
  rule.in.has_records = true;
  return rule;
}

Result SingleParse(const Options& o, const Rule& rule, const Outcome& out,
                   const std::string& label, Output& output,
                   std::ostream& messages) {
  const ExitCode code = CodeOf(out.verdict);
  const rules::TextCheck& check = *out.text;
  if (!o.quiet && check.status == Status::kRejected) {
    messages << "vantrel parse: " << Describe(check.rejection, *rule.in.text)
             << "\n";
  } else if (!o.quiet && check.status == Status::kLossy) {
    messages << "vantrel parse: warning: the text does not come back byte "
                "for byte (first difference at byte "
             << check.difference << "); vantrel check tells why\n";
  }
  if (!out.has_records) return Result{code, false};
  try {
    WriteRecords(o, out, output);
  } catch (const InputError& error) {
    throw InputError(label + ": " + error.what());
  }
  return Result{code, true};
}

Result SingleFormat(const Options& o, const Outcome& out, Output& output,
                    std::ostream& messages) {
  const ExitCode code = CodeOf(out.verdict);
  if (!o.quiet) {
    for (const rules::Problem& problem : out.records->problems) {
      messages << "vantrel format: " << (o.strict ? "" : "warning: ")
               << problem.path << ": " << problem.cause << "\n";
    }
    if (out.records->more > 0) {
      messages << "vantrel format: and " << out.records->more
               << " more problems (--max-causes N shows more)\n";
    }
  }
  if (!out.written) {
    if (!o.quiet) {
      messages << "vantrel format: nothing written: the text would not read "
                  "back as given (--strict)\n";
    }
    return Result{code, false};
  }
  output.Write(*out.written);
  if (o.newline) output.Write("\n");
  return Result{code, true};
}

// The report of a single check: of the text, or of the records.
std::string SingleCheckReport(const Options& o, const Rule& rule,
                              const Outcome& out) {
  if (out.text) {
    if (!o.json_report) return rules::TextReportLines(*out.text, *rule.in.text);
    return rules::Dump(rules::TextReport(*out.text, *rule.in.text, o.mode,
                                         Report::object()),
                       2) +
           "\n";
  }
  if (!o.json_report) {
    return rules::RecordsReportLines(*out.records,
                                     rule.in.defs.definitions.size());
  }
  return rules::Dump(
             rules::RecordsReport(*out.records, o.mode, Report::object()), 2) +
         "\n";
}

Result RunSingle(const Options& o, Input& input, Output& output,
                 std::ostream& messages) {
  Rule rule = ReadSingle(o, input);
  const Outcome out = Run(o, rule);
  switch (o.command) {
    case Command::kParse:
      return SingleParse(o, rule, out, input.label(), output, messages);
    case Command::kFormat:
      return SingleFormat(o, out, output, messages);
    case Command::kCheck:
      if (!o.quiet) output.Write(SingleCheckReport(o, rule, out));
      return Result{CodeOf(out.verdict), true};
  }
  return Result{CodeOf(out.verdict), true};
}

}  // namespace

const char* CommandName(Command command) {
  switch (command) {
    case Command::kParse:
      return "parse";
    case Command::kFormat:
      return "format";
    case Command::kCheck:
      return "check";
  }
  return "";
}

Result RunCommand(const Options& options, Input& input, Output& output,
                  std::ostream& messages) {
  return options.batch ? RunBatch(options, input, output, messages)
                       : RunSingle(options, input, output, messages);
}

}  // namespace vantrel::cli
