// vantrel: reads alert definition texts into JSON, writes them from JSON and
// tells which rules come back unchanged through the library, one rule at a
// time or many in one run (--batch).
//
// The tool is a host like any other: it links the shared library and uses
// only its four exports and the public header.
//
// Exit codes: 0 success; 1 a rejected piece (parse, check), a rule that does
// not come back unchanged (check, a batch), a record that would not read
// back (format --strict); 2 bad usage, unreadable input, bad JSON, bytes the
// --bytes mode cannot carry, an input line of a batch that cannot be read.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <iostream>
#include <map>
#include <string>

#include "batch.h"
#include "io.h"
#include "locate.h"
#include "records_json.h"
#include "round_trip.h"

namespace {

using namespace vantrel_cli;  // NOLINT(google-build-using-namespace)

enum class Detect { Auto, Text, Json };

struct Options : BatchOptions {
  std::string file = "-";
  std::string output_path;
  bool newline = false;
  bool json_report = false;
  bool format_batch = false;
  Detect detect = Detect::Auto;
};

bool LooksLikeJson(const std::string& input) {
  const std::size_t first = input.find_first_not_of(" \t\r\n");
  return first != std::string::npos &&
         (input[first] == '{' || input[first] == '[');
}

// One final LF or CRLF ends the file; it is not part of the rule.
void DropFinalLineBreak(std::string& text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (!text.empty() && text.back() == '\r') text.pop_back();
}

AlertDefinitions ReadRecords(const Input& input, const std::string& json,
                             const Options& o, Combination& combination) {
  AlertDefinitions defs{};
  try {
    combination = ReadRecordsJson(json, o.mode, defs);
  } catch (const InputError& error) {
    throw InputError(input.label() + ": " + error.what());
  }
  return defs;
}

int RunParse(const Options& o, Input& input, Output& output) {
  std::string text = input.ReadAll();
  AlertDefinitions defs{};
  Combination combination;
  const bool ok = ParseText(o.kind, text, defs, combination);
  if (!ok) {
    std::cerr << "vantrel parse: "
              << Describe(LocateRejection(text, defs.definitions.size()), text)
              << "\n";
    if (!o.partial) return 1;
  }
  text = std::string();
  std::string out;
  WriteRecordsJson(out, defs, combination, o.mode, [&](std::string& chunk) {
    output.Write(chunk);
    chunk.clear();
  });
  output.Write(out);
  return ok ? 0 : 1;
}

int RunFormat(const Options& o, Input& input, Output& output) {
  Combination combination;
  AlertDefinitions defs = ReadRecords(input, input.ReadAll(), o, combination);
  const std::vector<Problem> problems = CheckRecords(o.kind, defs, combination);
  for (const Problem& problem : problems) {
    std::cerr << "vantrel format: " << (o.strict ? "" : "warning: ")
              << problem.path << ": " << problem.cause << "\n";
  }
  if (o.strict && !problems.empty()) {
    std::cerr << "vantrel format: nothing written: the text would not read "
                 "back as given (--strict)\n";
    return 1;
  }
  defs.combination = combination ? *combination : kNoJoiner;
  std::string text;
  Write(o.kind, text, defs);
  if (o.newline) text += '\n';
  output.Write(text);
  return 0;
}

int RunCheck(const Options& o, Input& input, Output& output) {
  std::string in = input.ReadAll();
  if (o.detect == Detect::Json ||
      (o.detect == Detect::Auto && LooksLikeJson(in))) {
    Combination combination;
    AlertDefinitions defs = ReadRecords(input, in, o, combination);
    in = std::string();
    const std::vector<Problem> problems =
        CheckRecords(o.kind, defs, combination);
    output.Write(
        o.json_report
            ? Dump(RecordsReport(problems, o.mode, Report::object()), 2) + "\n"
            : RecordsReportLines(problems, defs.definitions.size()));
    return problems.empty() ? 0 : 1;
  }
  DropFinalLineBreak(in);
  const TextCheck check = CheckText(o.kind, in);
  if (o.json_report) {
    output.Write(Dump(TextReport(check, in, o.mode, Report::object()), 2) +
                 "\n");
  } else if (check.status == TextCheck::Status::Rejected) {
    std::cerr << "vantrel check: " << Describe(check.rejection, in) << "\n";
  } else {
    output.Write(TextReportLines(check, in));
  }
  return check.status == TextCheck::Status::Ok ? 0 : 1;
}

void AddCommon(CLI::App& command, Options& o, const char* what) {
  command
      .add_option(
          "--kind", o.kind,
          "Function or filter definition (the library treats both alike)")
      ->transform(CLI::CheckedTransformer(std::map<std::string, Kind>{
          {"func", Kind::Func}, {"filter", Kind::Filter}}))
      ->option_text("func|filter (default: func)");
  command
      .add_option("--bytes", o.mode,
                  "How field bytes map to JSON strings: utf8 (fields must be "
                  "UTF-8) or latin1 (every byte is U+0000-U+00FF)")
      ->transform(CLI::CheckedTransformer(std::map<std::string, ByteMode>{
          {"utf8", ByteMode::Utf8}, {"latin1", ByteMode::Latin1}}))
      ->option_text("utf8|latin1 (default: utf8)");
  command.add_option(
      "-o,--output", o.output_path,
      "Write to FILE instead of standard output; FILE is replaced "
      "only when the command completes");
  command.add_option("file", o.file, what)->capture_default_str();
}

const std::map<std::string, Form> kForms = {
    {"lines", Form::Lines}, {"tsv", Form::Tsv}, {"jsonl", Form::Jsonl}};

int Main(int argc, char** argv) {
  CLI::App app{
      "vantrel: read alert definition texts into JSON, write them from JSON, "
      "and check that rules come back unchanged through the library.\n"
      "Exit codes: 0 ok, 1 rejected or lossy, 2 usage or input error.",
      "vantrel"};
  app.set_version_flag("--version", std::string("vantrel ") + VANTREL_VERSION);
  Options o;

  CLI::App* parse = app.add_subcommand(
      "parse", "Read a definition text and print its records as JSON");
  AddCommon(*parse, o, "Definition text file, or - for stdin");
  parse->add_flag(
      "--partial", o.partial,
      "When a piece is rejected, still print the records read before it");
  CLI::App* format = app.add_subcommand(
      "format", "Read records as JSON and print their definition text");
  AddCommon(*format, o, "JSON file, or - for stdin");
  format->add_flag("--newline", o.newline,
                   "End the text with a line break (none by default)");
  format->add_flag(
      "--strict", o.strict,
      "Write nothing (exit 1) when a record would not read back as given");
  format->add_flag("--batch", o.format_batch,
                   "Read one JSON object of records per line (with \"id\")");
  format->add_option("--to", o.output, "Batch output: jsonl, lines or tsv")
      ->transform(CLI::CheckedTransformer(kForms))
      ->option_text("jsonl|lines|tsv (default: jsonl)");
  CLI::App* check = app.add_subcommand(
      "check",
      "Check that a text comes back byte for byte, or records field by field");
  AddCommon(*check, o, "Definition text or JSON file, or - for stdin");
  check
      ->add_option(
          "--input", o.detect,
          "What the input is: text, json, or auto (JSON when its first "
          "non-blank byte is '{' or '[')")
      ->transform(CLI::CheckedTransformer(
          std::map<std::string, Detect>{{"auto", Detect::Auto},
                                        {"text", Detect::Text},
                                        {"json", Detect::Json}}))
      ->option_text("auto|text|json (default: auto)");
  check->add_flag("--json", o.json_report, "Print the report as JSON");
  for (CLI::App* command : {parse, check}) {
    command
        ->add_option("--batch", o.input,
                     "Many rules, one per line: lines, tsv or jsonl")
        ->transform(CLI::CheckedTransformer(kForms))
        ->option_text("lines|tsv|jsonl");
  }
  const CLI::Option* parse_batch = parse->get_option("--batch");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error) == 0 ? 0 : 2;
  }
  if (app.get_subcommands().empty()) {
    std::cerr << app.help()
              << "vantrel: give a subcommand: parse, format or check\n";
    return 2;
  }
  const std::string name = app.get_subcommands().front()->get_name();
  const bool batch = o.format_batch || parse_batch->count() > 0 ||
                     check->get_option("--batch")->count() > 0;
  try {
    Input input(o.file);
    Output output(o.output_path);
    int code = 0;
    if (batch) {
      o.command = parse->parsed()    ? Command::Parse
                  : format->parsed() ? Command::Format
                                     : Command::Check;
      code = RunBatch(o, input, output, std::cerr);
    } else if (parse->parsed()) {
      code = RunParse(o, input, output);
    } else if (format->parsed()) {
      code = RunFormat(o, input, output);
    } else {
      code = RunCheck(o, input, output);
    }
    // A file is replaced only when the output is complete: exit 0, or exit 1
    // from a check or a batch, whose report names every rule. Standard
    // output gets what was written in any case.
    if (code == 0 || (code == 1 && (batch || check->parsed())) ||
        o.output_path.empty() || o.output_path == "-") {
      output.Commit();
    }
    return code;
  } catch (const InputError& error) {
    std::cerr << "vantrel " << name << ": " << error.what() << "\n";
  } catch (const std::bad_alloc&) {
    std::cerr << "vantrel " << name << ": out of memory\n";
  } catch (const std::length_error& error) {
    std::cerr << "vantrel " << name << ": " << error.what() << "\n";
  }
  return 2;
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
  return 2;
}
