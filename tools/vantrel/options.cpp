// The command line: every option of every command, and the help. The
// commands themselves are run by commands.cpp.
#include "options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <string_view>
#include <utility>

#include "files.h"

namespace vantrel::cli {
namespace {

using rules::EditStep;

// A choice among names: the option's value is checked against the names
// (so "--bytes 1" is refused) and stored by name.
template <typename T>
CLI::Option* AddChoice(CLI::App& command, const std::string& flags, T& target,
                       const std::vector<std::pair<std::string, T>>& choices,
                       const std::string& help, const std::string& shown) {
  std::vector<std::string> names(choices.size());
  std::transform(choices.begin(), choices.end(), names.begin(),
                 [](const auto& choice) { return choice.first; });
  return command
      .add_option_function<std::string>(
          flags,
          [&target, choices](const std::string& value) {
            const auto chosen = std::find_if(
                choices.begin(), choices.end(),
                [&](const auto& choice) { return choice.first == value; });
            if (chosen != choices.end()) target = chosen->second;
          },
          help)
      ->check(CLI::IsMember(names))
      ->option_text(shown);
}

// A whole number from 0 to `most`, said so when it is not one.
CLI::Validator WholeNumber(std::size_t most) {
  return {[most](const std::string& value) -> std::string {
            const bool digits =
                !value.empty() && value.size() <= 7 &&
                value.find_first_not_of("0123456789") == std::string::npos;
            if (digits && std::stoul(value) <= most) return "";
            return "expected a whole number from 0 to " + std::to_string(most) +
                   ", found " + rules::Excerpt(value);
          },
          "", ""};
}

const std::vector<std::pair<std::string, Form>>& Forms() {
  static const std::vector<std::pair<std::string, Form>> forms = {
      {"lines", Form::kLines}, {"tsv", Form::kTsv}, {"jsonl", Form::kJsonl}};
  return forms;
}

void AddCommon(CLI::App& command, Options& o, const char* what) {
  AddChoice<rules::Kind>(
      command, "--kind", o.kind,
      {{"func", rules::Kind::Func}, {"filter", rules::Kind::Filter}},
      "Function or filter definition (the library treats both alike)",
      "func|filter (default: func)");
  AddChoice<rules::ByteMode>(
      command, "--bytes", o.mode,
      {{"utf8", rules::ByteMode::Utf8}, {"latin1", rules::ByteMode::Latin1}},
      "How field bytes map to JSON strings: utf8 (fields must be UTF-8) or "
      "latin1 (every byte is U+0000-U+00FF)",
      "utf8|latin1 (default: utf8)");
  command
      .add_option("-o,--output", o.output,
                  "Write to FILE instead of standard output. A regular FILE "
                  "is replaced only when the command completes with every "
                  "rule in it, keeping its mode; a link is followed; a "
                  "device or FIFO is written directly; /dev/stdout and "
                  "/dev/fd/N are written through the descriptor")
      ->option_text("FILE");
  command.add_flag("-q,--quiet", o.quiet,
                   "Print no warnings or summary, and for check no report: "
                   "the exit code only");
  command
      .add_option("--max-causes", o.max_causes,
                  "Name at most N causes (or problems) per rule; the rest "
                  "are counted")
      ->check(WholeNumber(1000000))
      ->option_text("N (default: 20)");
  command.add_option("file", o.file, what)->capture_default_str();
}

CLI::Option* AddBatch(CLI::App& command, Options& o, const std::string& help,
                      const std::vector<std::pair<std::string, Form>>& forms,
                      const std::string& shown) {
  return command
      .add_option_function<std::string>(
          "--batch",
          [&o, forms](const std::string& value) {
            for (const auto& form : forms) {
              if (form.first == value) o.batch = form.second;
            }
          },
          help)
      ->check(CLI::IsMember([&forms] {
        std::vector<std::string> names(forms.size());
        std::transform(forms.begin(), forms.end(), names.begin(),
                       [](const auto& form) { return form.first; });
        return names;
      }()))
      ->option_text(shown);
}

void AddSummary(CLI::App& command, Options& o) {
  AddChoice<bool>(command, "--summary", o.summary_json,
                  {{"text", false}, {"json", true}},
                  "The batch summary on standard error: a line of text, or "
                  "one JSON object",
                  "text|json (default: text)");
}

// An edit step with two or three arguments; steps keep the order in which
// they are given, whatever their kind.
void AddStep(CLI::App& command, Options& o, const std::string& flag,
             EditStep::Op op, const std::string& help,
             const std::string& shown) {
  const bool keyed = op == EditStep::Op::kReplaceValue;
  command
      .add_option_function<std::vector<std::string>>(
          flag,
          [&o, op, keyed](const std::vector<std::string>& args) {
            EditStep step;
            step.op = op;
            std::size_t at = 0;
            if (keyed) step.key = args.at(at++);
            step.from = args.at(at++);
            step.to = args.at(at);
            o.steps.push_back(std::move(step));
          },
          help)
      ->expected(keyed ? 3 : 2)
      ->allow_extra_args(false)
      ->trigger_on_parse()
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->option_text(shown);
}

// The distance of two option names in single-byte edits, for suggestions.
std::size_t Distance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1,
                         diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// "did you mean --rename-key?" for the first unknown option of `args` that
// is close to an option of `command`.
std::string Suggestion(const CLI::App& command,
                       const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) continue;
    const std::string name = arg.substr(0, arg.find('='));
    std::string best;
    std::size_t best_distance = 3;
    for (const CLI::Option* option : command.get_options()) {
      for (const std::string& known : option->get_lnames()) {
        const std::size_t d = Distance(name, "--" + known);
        if (d < best_distance) {
          best_distance = d;
          best = "--" + known;
        }
      }
    }
    if (!best.empty()) {
      return "vantrel: " + rules::Excerpt(name) + ": did you mean " + best +
             "?\n";
    }
  }
  return "";
}

// Flushes standard output; false when what was written did not all arrive
// (a full disk, a closed pipe).
bool StandardOutputWritten() {
  try {
    Output::FlushStandardOutput();
  } catch (const rules::InputError&) {
    return false;
  }
  return true;
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
    case Command::kEdit:
      return "edit";
  }
  return "";
}

std::optional<ExitCode> ReadOptions(int argc, char** argv, Options& o,
                                    std::ostream& messages) {
  CLI::App app{
      "vantrel: read alert definition texts into JSON, write them from JSON, "
      "check that rules come back unchanged through the library, and edit "
      "stored rules without losing one.\n"
      "Exit codes: 0 every rule ok (or rewritten or unchanged), 1 some rule "
      "not ok but every rule in the output, 2 usage, input or output error "
      "or a rule left out (a file named by -o is then left as it was).\n"
      "The inspector, a page that shows what the library makes of a rule: "
      VANTREL_INSPECTOR " (open it in a browser; installed by builds "
      "with Emscripten).",
      "vantrel"};
  app.set_version_flag("--version", std::string("vantrel ") + VANTREL_VERSION);
  app.require_subcommand(0, 1);

  CLI::App* parse = app.add_subcommand(
      "parse", "Read a definition text and print its records as JSON");
  AddCommon(*parse, o, "Definition text file, or - for standard input");
  parse->add_flag(
      "--partial", o.partial,
      "When a piece is rejected, still print the records read before it");
  AddBatch(*parse, o, "Many rules, one per line: lines, tsv or jsonl", Forms(),
           "lines|tsv|jsonl");
  AddSummary(*parse, o);

  CLI::App* format = app.add_subcommand(
      "format", "Read records as JSON and print their definition text");
  AddCommon(*format, o, "JSON file, or - for standard input");
  CLI::Option* format_batch =
      AddBatch(*format, o,
               "Many rules: one JSON object per line, with \"id\" and the "
               "records and/or the \"text\" they were read from",
               {{"jsonl", Form::kJsonl}}, "jsonl");
  AddChoice<Form>(*format, "--to", o.to, Forms(),
                  "Batch output: jsonl, lines or tsv",
                  "jsonl|lines|tsv (default: jsonl)")
      ->needs(format_batch);
  format
      ->add_flag("--newline", o.newline,
                 "End the text with a line break (none by default)")
      ->excludes(format_batch);
  format->add_flag(
      "--strict", o.strict,
      "Write no rule whose records would not read back as given (exit 1)");
  format
      ->add_option("--report", o.report,
                   "Batch: write each rule that is not rewritten or "
                   "unchanged to FILE as a JSON line")
      ->needs(format_batch)
      ->option_text("FILE");
  AddSummary(*format, o);

  CLI::App* check = app.add_subcommand(
      "check",
      "Check that a text comes back byte for byte, or records field by field");
  AddCommon(*check, o, "Definition text or JSON file, or - for standard input");
  CLI::Option* check_batch = AddBatch(
      *check, o,
      "Many rules, one per line: lines, tsv or jsonl (texts, or records)",
      Forms(), "lines|tsv|jsonl");
  AddChoice<Detect>(*check, "--input", o.detect,
                    {{"auto", Detect::kAuto},
                     {"text", Detect::kText},
                     {"json", Detect::kJson}},
                    "What the input is: text, json, or auto (JSON when its "
                    "first non-blank byte is '{' or '[')",
                    "auto|text|json (default: auto)")
      ->excludes(check_batch);
  check->add_flag("--json", o.json_report, "Print the report as JSON")
      ->excludes(check_batch);
  AddSummary(*check, o);

  CLI::App* edit = app.add_subcommand(
      "edit",
      "Edit stored rules: rewrite each rule that reads back whole and still "
      "does after the edit, and keep every other rule's bytes");
  AddCommon(*edit, o,
            "Rule file (one rule, or a batch), or - for standard "
            "input");
  AddStep(*edit, o, "--rename-key", EditStep::Op::kRenameKey,
          "Rename the parameter key OLD to NEW", "OLD NEW");
  AddStep(*edit, o, "--replace-value", EditStep::Op::kReplaceValue,
          "Replace the value OLD of key KEY (* for any key) with NEW",
          "KEY OLD NEW");
  AddStep(*edit, o, "--rename-condition", EditStep::Op::kRenameCondition,
          "Rename the condition named OLD to NEW", "OLD NEW");
  AddBatch(*edit, o,
           "Many rules, one per line: lines, tsv or jsonl (rows with \"id\" "
           "and \"text\"); the output has the same form",
           Forms(), "lines|tsv|jsonl");
  edit->add_option("--report", o.report,
                   "Write each rule that is not rewritten or unchanged to "
                   "FILE as a JSON line: id, line, status, reason")
      ->option_text("FILE");
  AddSummary(*edit, o);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& help) {
    const int code = app.exit(help);
    if (!StandardOutputWritten()) {
      messages << "vantrel: cannot write the help to standard output\n";
      return ExitCode::kError;
    }
    return static_cast<ExitCode>(code);
  } catch (const CLI::CallForVersion& version) {
    const int code = app.exit(version);
    if (!StandardOutputWritten()) {
      messages << "vantrel: cannot write the version to standard output\n";
      return ExitCode::kError;
    }
    return static_cast<ExitCode>(code);
  } catch (const CLI::ParseError& error) {
    messages << "vantrel: " << error.what() << "\n";
    for (const CLI::App* command : {parse, format, check, edit}) {
      if (command->parsed()) {
        messages << Suggestion(*command, command->remaining());
      }
    }
    if (!parse->parsed() && !format->parsed() && !check->parsed() &&
        !edit->parsed()) {
      messages << Suggestion(app, app.remaining());
    }
    messages << "vantrel: run 'vantrel --help' for the usage\n";
    return ExitCode::kError;
  }
  if (app.get_subcommands().empty()) {
    messages << app.help()
             << "vantrel: give a subcommand: parse, format, check or edit\n";
    return ExitCode::kError;
  }
  o.command = parse->parsed()    ? Command::kParse
              : format->parsed() ? Command::kFormat
              : edit->parsed()   ? Command::kEdit
                                 : Command::kCheck;
  if (o.command == Command::kEdit && o.steps.empty()) {
    messages << "vantrel edit: give an edit: --rename-key OLD NEW, "
                "--replace-value KEY OLD NEW or --rename-condition OLD NEW\n";
    return ExitCode::kError;
  }
  return std::nullopt;
}

}  // namespace vantrel::cli
