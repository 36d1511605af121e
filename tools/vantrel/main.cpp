// vantrel: reads alert definition texts into JSON, writes them from JSON and
// tells which rules come back unchanged through the library, one rule at a
// time or many in one run (--batch FORM).
//
// The tool is a host like any other: it links the shared library and uses
// only its four exports and the public header, through the rules library
// (tools/rules/), which makes every verdict from the library's own parse
// and write. This file holds the options only; commands.cpp runs them and
// exit_code.h lists the exit codes.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "commands.h"
#include "exit_code.h"
#include "files.h"

namespace {

using vantrel::cli::Command;
using vantrel::cli::Detect;
using vantrel::cli::ExitCode;
using vantrel::cli::Form;
using vantrel::cli::Options;

int Code(ExitCode code) { return static_cast<int>(code); }

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

void AddCommon(CLI::App& command, Options& o, const char* what) {
  AddChoice<vantrel::rules::Kind>(
      command, "--kind", o.kind,
      {{"func", vantrel::rules::Kind::Func},
       {"filter", vantrel::rules::Kind::Filter}},
      "Function or filter definition (the library treats both alike)",
      "func|filter (default: func)");
  AddChoice<vantrel::rules::ByteMode>(
      command, "--bytes", o.mode,
      {{"utf8", vantrel::rules::ByteMode::Utf8},
       {"latin1", vantrel::rules::ByteMode::Latin1}},
      "How field bytes map to JSON strings: utf8 (fields must be UTF-8) or "
      "latin1 (every byte is U+0000-U+00FF)",
      "utf8|latin1 (default: utf8)");
  command
      .add_option(
          "-o,--output", o.output,
          "Write to FILE instead of standard output. A regular FILE is "
          "replaced "
          "only when the command completes, keeping its mode; a link is "
          "followed; a device or FIFO is written directly")
      ->option_text("FILE");
  command.add_flag("-q,--quiet", o.quiet,
                   "Print no warnings or summary, and for check no report: "
                   "the exit code only");
  command
      .add_option("--max-causes", o.max_causes,
                  "Name at most N causes (or problems) per rule; the rest "
                  "are counted")
      ->check(CLI::Range(0, 1000000))
      ->option_text("N (default: 20)");
  command.add_option("file", o.file, what)->capture_default_str();
}

std::optional<Form> ParseForm(const std::string& value) {
  if (value == "lines") return Form::kLines;
  if (value == "tsv") return Form::kTsv;
  if (value == "jsonl") return Form::kJsonl;
  return std::nullopt;
}

// Flushes standard output; false when what was written did not all arrive
// (a full disk, a closed pipe).
bool StandardOutputWritten() {
  try {
    vantrel_cli::Output::FlushStandardOutput();
  } catch (const vantrel::rules::InputError&) {
    return false;
  }
  return true;
}

int Main(int argc, char** argv) {
  CLI::App app{
      "vantrel: read alert definition texts into JSON, write them from JSON, "
      "and check that rules come back unchanged through the library.\n"
      "Exit codes: 0 ok, 1 rejected, lossy or not written, 2 usage, input or "
      "output error.",
      "vantrel"};
  app.set_version_flag("--version", std::string("vantrel ") + VANTREL_VERSION);
  app.require_subcommand(0, 1);
  Options o;
  std::string batch;
  std::string to;

  CLI::App* parse = app.add_subcommand(
      "parse", "Read a definition text and print its records as JSON");
  AddCommon(*parse, o, "Definition text file, or - for standard input");
  parse->add_flag(
      "--partial", o.partial,
      "When a piece is rejected, still print the records read before it");
  CLI::App* format = app.add_subcommand(
      "format", "Read records as JSON and print their definition text");
  AddCommon(*format, o, "JSON file, or - for standard input");
  CLI::App* check = app.add_subcommand(
      "check",
      "Check that a text comes back byte for byte, or records field by field");
  AddCommon(*check, o, "Definition text or JSON file, or - for standard input");

  parse
      ->add_option("--batch", batch,
                   "Many rules, one per line: lines, tsv or jsonl")
      ->check(CLI::IsMember({"lines", "tsv", "jsonl"}))
      ->option_text("lines|tsv|jsonl");
  check
      ->add_option("--batch", batch,
                   "Many rules, one per line: lines, tsv or jsonl (texts, "
                   "or records)")
      ->check(CLI::IsMember({"lines", "tsv", "jsonl"}))
      ->option_text("lines|tsv|jsonl");
  CLI::Option* format_batch =
      format
          ->add_option("--batch", batch,
                       "Many rules: one JSON object per line, with \"id\" "
                       "and the records or the \"text\" to keep")
          ->check(CLI::IsMember({"jsonl"}))
          ->option_text("jsonl");
  format->add_option("--to", to, "Batch output: jsonl, lines or tsv")
      ->check(CLI::IsMember({"jsonl", "lines", "tsv"}))
      ->needs(format_batch)
      ->option_text("jsonl|lines|tsv (default: jsonl)");
  format
      ->add_flag("--newline", o.newline,
                 "End the text with a line break (none by default)")
      ->excludes(format_batch);
  format->add_flag(
      "--strict", o.strict,
      "Write no rule whose records would not read back as given (exit 1)");
  CLI::Option* check_batch = check->get_option("--batch");
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

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& help) {
    const int code = app.exit(help);
    if (!StandardOutputWritten()) {
      std::cerr << "vantrel: cannot write the help to standard output\n";
      return Code(ExitCode::kError);
    }
    return code;
  } catch (const CLI::CallForVersion& version) {
    const int code = app.exit(version);
    if (!StandardOutputWritten()) {
      std::cerr << "vantrel: cannot write the version to standard output\n";
      return Code(ExitCode::kError);
    }
    return code;
  } catch (const CLI::ParseError& error) {
    std::cerr << "vantrel: " << error.what()
              << "\nvantrel: run 'vantrel --help' for the usage\n";
    return Code(ExitCode::kError);
  }
  if (app.get_subcommands().empty()) {
    std::cerr << app.help()
              << "vantrel: give a subcommand: parse, format or check\n";
    return Code(ExitCode::kError);
  }
  o.command = parse->parsed()    ? Command::kParse
              : format->parsed() ? Command::kFormat
                                 : Command::kCheck;
  if (!batch.empty()) o.batch = ParseForm(batch);
  if (!to.empty()) o.to = *ParseForm(to);
  const std::string name =
      std::string("vantrel ") + vantrel::cli::CommandName(o.command);
  // Standard output keeps what was written before a failure (a batch's
  // rows up to it); a file named by -o is replaced only by a complete
  // answer, and otherwise left as it was.
  const bool to_file = !o.output.empty() && o.output != "-";
  std::optional<vantrel::cli::Output> output;
  std::string message;
  try {
    vantrel::cli::Input input(o.file);
    output.emplace(o.output);
    const vantrel::cli::Result result =
        vantrel::cli::RunCommand(o, input, *output, std::cerr);
    if (result.complete || !to_file) output->Commit();
    return Code(result.code);
  } catch (const vantrel::rules::InputError& error) {
    message = error.what();
  } catch (const std::bad_alloc&) {
    message = "out of memory";
  } catch (const std::length_error& error) {
    message = error.what();
  }
  // (Only a batch's: its output holds whole rows, released one by one; a
  // single rule's answer is all or nothing.)
  if (output && !to_file && o.batch) {
    try {
      output->Commit();
    } catch (const vantrel::rules::InputError&) {
      // The failure that ended the command is the one to tell.
    }
  }
  std::cerr << name << ": " << message << "\n";
  return Code(ExitCode::kError);
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  try {
    return Main(argc, argv);
  } catch (const std::exception& error) {
    for (const char* part : {"vantrel: ", error.what(), "\n"}) {
      static_cast<void>(std::fputs(part, stderr));
    }
  }
  return Code(ExitCode::kError);
}
