#include "commands.h"

#include <string>
#include <utility>

#include "batch.h"
#include "render.h"
#include "rule.h"
#include "text.h"

namespace vantrel::cli {
namespace {

using rules::InputError;
using rules::Status;

bool LooksLikeJson(const std::string& input) {
  const std::size_t first = input.find_first_not_of(" \t\r\n");
  return first != std::string::npos &&
         (input[first] == '{' || input[first] == '[');
}

// The exit code of a single rule.
ExitCode SingleCode(Verdict verdict) {
  const bool ok = verdict == Verdict::kOk || verdict == Verdict::kRewritten ||
                  verdict == Verdict::kUnchanged;
  return CodeOf(ok ? 0 : 1, 0);
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
// input looks like (or is said to be) JSON; a text otherwise. `ending`
// gets the line break that ended the file (edit writes it back).
Rule ReadSingle(const Options& o, Input& input, std::string& ending) {
  Rule rule;
  const std::string in = input.ReadAll();
  const bool guessed = o.command == Command::kCheck &&
                       o.detect == Detect::kAuto && LooksLikeJson(in);
  const bool json =
      o.command == Command::kFormat ||
      (o.command == Command::kCheck && (o.detect == Detect::kJson || guessed));
  if (!json) {
    // One final LF or CRLF ends a file; a CR alone is part of the rule.
    const std::string_view text = WithoutFinalLineBreak(in);
    ending = in.substr(text.size());
    rule.in.text = std::string(text);
    return rule;
  }
  try {
    rule.in.combination = rules::ReadRecordsJson(in, o.mode, rule.in.defs);
  } catch (const InputError& error) {
    throw InputError(input.label() + ": " + error.what() +
                     (guessed ? " (it starts like JSON; --input text checks "
                                "it as a rule text)"
                              : ""));
  }
  rule.in.has_records = true;
  return rule;
}

Result SingleParse(const Options& o, const Rule& rule, const Outcome& out,
                   const std::string& label, Output& output,
                   std::ostream& messages) {
  const ExitCode code = SingleCode(out.verdict);
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
  const ExitCode code = SingleCode(out.verdict);
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

// edit of one rule: the file's text, rewritten or as it was, with the line
// break that ended the file.
Result SingleEdit(const Options& o, const Rule& rule, const Outcome& out,
                  const std::string& ending, Output& output,
                  std::ostream& messages) {
  output.Write(*out.written);
  output.Write(ending);
  if (!o.report.empty() && out.verdict != Verdict::kRewritten &&
      out.verdict != Verdict::kUnchanged) {
    Output report(o.report);
    report.Write(ReportRow(rule, out.verdict, out.reason));
    report.Commit();
  }
  if (o.summary_json) {
    Summary summary;
    summary.Add(out);
    messages << summary.Json(o.command);
  } else if (!o.quiet) {
    messages << "vantrel edit: " << VerdictName(out.verdict)
             << (out.reason.empty() ? "" : ": ") << out.reason << "\n";
  }
  return Result{SingleCode(out.verdict), true};
}

Result RunSingle(const Options& o, Input& input, Output& output,
                 std::ostream& messages) {
  std::string ending;
  Rule rule = ReadSingle(o, input, ending);
  const Outcome out = Run(o, rule);
  Result result;
  switch (o.command) {
    case Command::kParse:
      result = SingleParse(o, rule, out, input.label(), output, messages);
      break;
    case Command::kFormat:
      result = SingleFormat(o, out, output, messages);
      break;
    case Command::kCheck:
      if (!o.quiet) output.Write(SingleCheckReport(o, rule, out));
      result = Result{SingleCode(out.verdict), true};
      break;
    case Command::kEdit:
      result = SingleEdit(o, rule, out, ending, output, messages);
      break;
  }
  if (result.complete) output.Commit();
  return result;
}

}  // namespace

Result RunCommand(const Options& options, Input& input, Output& output,
                  std::ostream& messages) {
  return options.batch ? RunBatch(options, input, output, messages)
                       : RunSingle(options, input, output, messages);
}

}  // namespace vantrel::cli
