#include "batch.h"

#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>

#include "render.h"
#include "rule.h"
#include "text.h"

namespace vantrel::cli {
namespace {

using rules::InputError;
using rules::Report;

// "3072 rules..." on a terminal, once a second, for a batch that runs longer
// than a second.
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

bool Blank(const std::string& line) {
  return line.find_first_not_of(" \t\r") == std::string::npos;
}

// False when `bytes` cannot be one line of a batch: it holds an LF.
bool FitsOneLine(std::string_view bytes) {
  return bytes.find('\n') == std::string_view::npos;
}

// A row with its line ending: CR LF when the row itself ends in a CR, which
// a reader would otherwise take for half of the line ending.
std::string Ended(std::string row) {
  row += !row.empty() && row.back() == '\r' ? "\r\n" : "\n";
  return row;
}

// Reads `line` of a batch in form `form` into `rule`.
void ReadRule(const Options& o, Form form, const std::string& line,
              Rule& rule) {
  if (form == Form::kLines) {
    rule.in.id = rule.line;
    rule.in.text = line;
    return;
  }
  if (form == Form::kTsv) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) {
      throw InputError("no TAB between the id and the text");
    }
    const std::string_view id = std::string_view(line).substr(0, tab);
    // edit writes the id back as it was, so it needs no JSON form; its
    // reports show it as text.
    rule.in.id = o.command == Command::kEdit
                     ? Report(rules::ReportText(id, o.mode))
                     : Report::parse(rules::JsonString(id, o.mode, "the id"));
    rule.in.text = line.substr(tab + 1);
    return;
  }
  rules::ReadRuleLine(line, o.mode, rule.in);
}

// The raw text of an error row that parse wrote for a line it could not
// read (its id is null, which no rule line may have), or nullopt. Only rows
// that begin as parse writes them are looked at, so no other line is read
// twice.
std::optional<std::string> ErrorRowText(const std::string& line,
                                        rules::ByteMode mode) {
  if (line.rfind(R"({"id":null,"status":"error",)", 0) != 0) {
    return std::nullopt;
  }
  const Report row = Report::parse(line, nullptr, false);
  if (!row.is_object()) return std::nullopt;
  const auto text = row.find("text");
  if (text == row.end() || !text->is_string()) return std::nullopt;
  return rules::FieldBytes(text->get<std::string>(), mode, "text");
}

// The row of an edit: in the input's form, the line as it was unless the
// rule was rewritten.
std::string EditRow(const Options& o, Form form, const std::string& line,
                    const Rule& rule, const Outcome& out) {
  if (out.verdict != Verdict::kRewritten) return Ended(line);
  switch (form) {
    case Form::kLines:
      return Ended(*out.written);
    case Form::kTsv:
      return Ended(line.substr(0, line.find('\t') + 1) + *out.written);
    case Form::kJsonl:
      return "{\"id\":" + rules::Dump(rule.in.id) +
             ",\"text\":" + rules::JsonString(*out.written, o.mode, "text") +
             "}\n";
  }
  return Ended(line);
}

// The row of format in the lines or TSV form, or nullopt and why the rule
// cannot stand there.
std::optional<std::string> PlainRow(const Options& o, const Rule& rule,
                                    const Outcome& out, std::string& why) {
  if (!out.written) {
    why = out.reason.empty() ? "--strict writes no lossy rule"
                             : "--strict writes no lossy rule: " + out.reason;
    return std::nullopt;
  }
  if (!FitsOneLine(*out.written)) {
    why = "its text holds a line break, which one line cannot carry";
    return std::nullopt;
  }
  if (o.to == Form::kLines) return Ended(*out.written);
  const std::string id =
      rule.in.id.is_string()
          ? rules::FieldBytes(rule.in.id.get<std::string>(), o.mode, "the id")
          : rules::Dump(rule.in.id);
  if (id.find_first_of("\t\n") != std::string::npos) {
    why = "its id holds a TAB or a line break";
    return std::nullopt;
  }
  return Ended(id + "\t" + *out.written);
}

// One batch: its options, where it goes, and what it has counted.
class Batch {
 public:
  Batch(const Options& o, Output& output, std::ostream& messages)
      : o_(o),
        form_(*o.batch),
        out_form_(o.command == Command::kFormat ? o.to : form_),
        output_(output),
        messages_(messages),
        progress_(o.command, messages, o.quiet) {
    limits_.single_line =
        o.command == Command::kEdit
            ? form_ != Form::kJsonl
            : o.command == Command::kFormat && o.to != Form::kJsonl;
    if (!o.report.empty()) report_.emplace(o.report);
  }

  void Line(const std::string& line, std::size_t number) {
    Rule rule;
    rule.line = number;
    std::optional<std::string> row;
    Outcome out;
    std::string why;
    try {
      std::optional<std::string> raw;
      if (o_.command == Command::kFormat) raw = ErrorRowText(line, o_.mode);
      if (!raw) ReadRule(o_, form_, line, rule);
      if (raw) {
        rule.in.text = std::move(raw);
        row = PassedThrough(rule, out, why);
      } else if (o_.command == Command::kFormat && rule.in.status &&
                 *rule.in.status == "error") {
        row = PassedThrough(rule, out, why);
      } else {
        out = Run(o_, rule, limits_);
        row = Render(line, rule, out, why);
      }
    } catch (const InputError& e) {
      out = Outcome{};
      out.verdict = Verdict::kError;
      out.reason = e.what();
      row = ErrorRendering(line, rule, out.reason, why);
    }
    summary_.Add(out);
    progress_.Tick(summary_.rules);
    if (report_ && out.verdict != Verdict::kOk &&
        out.verdict != Verdict::kRewritten &&
        out.verdict != Verdict::kUnchanged) {
      report_->Write(ReportRow(rule, out.verdict, out.reason));
    }
    if (!row) {
      LeftOut(rule, why);
      return;
    }
    if (!o_.quiet && out.records && out.written) Warnings(rule, out);
    if (o_.quiet && o_.command == Command::kCheck) return;
    output_.Write(*row);
    output_.Release();  // a whole row: standard output may have it
  }

  // A blank line of a JSON Lines batch holds no rule: an edit keeps it in
  // its place, the other commands pass over it.
  void BlankLine(const std::string& line) {
    if (o_.command == Command::kEdit) {
      output_.Write(Ended(line));
      output_.Release();
    }
  }

  Result Finish() {
    progress_.Clear();
    if (report_) report_->Commit();
    const bool complete = summary_.left_out == 0;
    // Everything is written before the summary is told.
    if (complete) output_.Commit();
    if (o_.summary_json) {
      messages_ << summary_.Json(o_.command);
    } else if (!o_.quiet) {
      messages_ << summary_.Text(o_.command);
      const std::size_t named =
          summary_.verdicts.at(static_cast<std::size_t>(Verdict::kKept)) +
          summary_.verdicts.at(static_cast<std::size_t>(Verdict::kRefused));
      if (named > 0 && !report_) {
        messages_ << "vantrel " << CommandName(o_.command)
                  << ": --report FILE names each rule that is kept or "
                     "refused, and why\n";
      }
    }
    return Result{summary_.Code(o_.command), complete};
  }

 private:
  std::optional<std::string> Render(const std::string& line, const Rule& rule,
                                    const Outcome& out, std::string& why) {
    switch (o_.command) {
      case Command::kParse:
      case Command::kCheck:
        return Row(o_, rule, out);
      case Command::kEdit:
        return EditRow(o_, form_, line, rule, out);
      case Command::kFormat:
        if (o_.to == Form::kJsonl) {
          if (!out.written) {
            why = "--strict writes no lossy rule: " + out.reason;
            return std::nullopt;
          }
          return TextRow(o_, rule, out);
        }
        return PlainRow(o_, rule, out, why);
    }
    return std::nullopt;
  }

  // A row that parse could not read, formatted: its raw bytes go out as
  // they came in. Without them (bytes --bytes utf8 could not carry) the row
  // is left out.
  std::optional<std::string> PassedThrough(const Rule& rule, Outcome& out,
                                           std::string& why) const {
    out.verdict = Verdict::kError;
    out.reason = "line " + std::to_string(rule.line) +
                 " is an error row of a line that could not be read";
    if (!rule.in.text) {
      why =
          "the error row has no \"text\" to pass through (--bytes latin1 "
          "carries every byte)";
      return std::nullopt;
    }
    if (!FitsOneLine(*rule.in.text)) {
      why = "the text of the error row holds a line break";
      return std::nullopt;
    }
    return Ended(*rule.in.text);
  }

  // The row of a line that could not be read: a JSON error row for parse
  // and check; the line as it was where the output has the input's form.
  std::optional<std::string> ErrorRendering(const std::string& line,
                                            const Rule& rule,
                                            const std::string& message,
                                            std::string& why) const {
    if (o_.command == Command::kParse || o_.command == Command::kCheck) {
      return ErrorRow(o_, rule, message, line);
    }
    if (out_form_ == form_) return Ended(line);
    why = "it cannot be read: " + message;
    return std::nullopt;
  }

  void LeftOut(const Rule& rule, const std::string& why) {
    ++summary_.left_out;
    if (o_.quiet) return;
    progress_.Clear();
    messages_ << "vantrel " << CommandName(o_.command) << ": line " << rule.line
              << " (id " << IdText(rule) << ") is not in the output: " << why
              << "\n";
  }

  void Warnings(const Rule& rule, const Outcome& out) {
    for (const rules::Problem& problem : out.records->problems) {
      messages_ << "vantrel format: id " << IdText(rule)
                << ": warning: " << problem.path << ": " << problem.cause
                << "\n";
    }
  }

  const Options& o_;
  Form form_;
  Form out_form_;
  rules::RewriteLimits limits_;
  Output& output_;
  std::ostream& messages_;
  std::optional<Output> report_;
  Summary summary_;
  Progress progress_;
};

}  // namespace

Result RunBatch(const Options& o, Input& input, Output& output,
                std::ostream& messages) {
  Batch batch(o, output, messages);
  std::string line;
  std::size_t number = 0;
  while (input.NextLine(line)) {
    ++number;
    if (*o.batch == Form::kJsonl && Blank(line)) {
      batch.BlankLine(line);
      continue;
    }
    batch.Line(line, number);
  }
  return batch.Finish();
}

}  // namespace vantrel::cli
