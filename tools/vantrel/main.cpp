// vantrel: reads alert definition texts into JSON, writes them from JSON and
// tells which rules survive a round trip through the library.
//
// The tool is a host like any other: it links the shared library and uses
// only its four exports and the public header.
//
// Exit codes: 0 success; 1 a rejected piece (parse, check) or a rule that
// does not survive (check); 2 bad usage, unreadable input, bad JSON or
// bytes that the chosen --bytes mode cannot carry.

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>
#include <vantrel/alert_definitions.h>

#include "definitions_json.h"
#include "round_trip.h"
#include "text_scan.h"

namespace {

using vantrel_cli::ByteMode;
using vantrel_cli::Kind;

constexpr int kOk = 0;
constexpr int kRejected = 1;
constexpr int kFailure = 2;

// An error that ends the command with exit code 2 and its message.
struct InputError {
  std::string message;
};

std::string FileLabel(const std::string& path) {
  return path == "-" ? "standard input" : path;
}

// Reads all of a file (or standard input for "-") into one string. A
// regular file is read in one go into a string sized from its length, so a
// large file costs its size once.
std::string ReadInput(const std::string& path) {
  std::FILE* file = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    throw InputError{"cannot open " + path + ": " + std::strerror(errno)};
  }
  struct Closer {
    std::FILE* file;
    ~Closer() {
      if (file != stdin) std::fclose(file);
    }
  } closer{file};

  struct stat info {};
  if (fstat(fileno(file), &info) != 0) {
    throw InputError{"cannot read " + FileLabel(path) + ": " +
                     std::strerror(errno)};
  }
  if (S_ISDIR(info.st_mode)) {
    throw InputError{FileLabel(path) + " is a directory, not a file"};
  }
  std::string text;
  if (S_ISREG(info.st_mode) && info.st_size > 0) {
    text.resize(static_cast<std::size_t>(info.st_size));
    text.resize(std::fread(text.data(), 1, text.size(), file));
  }
  // Pipes, and files that grew meanwhile: read on to the end.
  char buffer[1 << 16];
  for (;;) {
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
    text.append(buffer, got);
    if (got < sizeof buffer) break;
  }
  if (std::ferror(file)) {
    throw InputError{"cannot read " + FileLabel(path) + ": " +
                     std::strerror(errno)};
  }
  return text;
}

void WriteOut(const std::string& bytes) {
  if (!bytes.empty() &&
      std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size()) {
    throw InputError{std::string("cannot write the output: ") +
                     std::strerror(errno)};
  }
}

void Release(std::string& text) {
  text.clear();
  text.shrink_to_fit();
}

// Reports the first piece that a failed parse rejected. The target was
// empty, so the number of records read is the index of that piece.
std::string DescribeRejection(const std::string& text,
                              std::size_t records_read) {
  const auto piece = vantrel_cli::PieceAt(text, records_read);
  if (!piece) return "the text is rejected";
  std::string message = "piece " + std::to_string(records_read + 1) +
                        " (at byte " + std::to_string(piece->offset) +
                        ") is rejected";
  const std::string_view piece_text =
      std::string_view(text).substr(piece->offset, piece->size);
  const auto item = vantrel_cli::FindRejectedItem(piece_text);
  if (!item) return message;
  message += ": its parameter item " + std::to_string(item->number) +
             " (at byte " + std::to_string(piece->offset + item->span.offset) +
             ") has no \"==\" of its own: " +
             vantrel_cli::Display(
                 piece_text.substr(item->span.offset, item->span.size));
  return message;
}

void RequireWritable(const AlertDefinitions& defs, ByteMode mode) {
  if (auto bad = vantrel_cli::FindUnwritableField(defs, mode)) {
    throw InputError{bad->path + " holds bytes that are not UTF-8 (first at "
                     "byte " + std::to_string(bad->offset) +
                     " of the field); use --bytes latin1 to carry every byte "
                     "as U+0000 to U+00FF"};
  }
}

void PrintJson(const AlertDefinitions& defs,
               std::optional<std::uint32_t> combination, ByteMode mode) {
  std::string out;
  vantrel_cli::WriteDefinitionsJson(out, defs, combination, mode,
                                    [](std::string& chunk) {
                                      WriteOut(chunk);
                                      chunk.clear();
                                    });
  WriteOut(out);
}

struct CommonOptions {
  std::string file = "-";
  std::string kind = "func";
  std::string bytes = "utf8";
  Kind Which() const { return kind == "filter" ? Kind::Filter : Kind::Func; }
  ByteMode Mode() const {
    return bytes == "latin1" ? ByteMode::Latin1 : ByteMode::Utf8;
  }
};

void AddCommon(CLI::App& command, CommonOptions& options, const char* what) {
  command.add_option("--kind", options.kind,
                     "Function or filter definition (the library treats "
                     "both alike)")
      ->check(CLI::IsMember({"func", "filter"}))
      ->capture_default_str();
  command.add_option("--bytes", options.bytes,
                     "How field bytes map to JSON strings: utf8 (fields must "
                     "be UTF-8) or latin1 (every byte is U+0000-U+00FF)")
      ->check(CLI::IsMember({"utf8", "latin1"}))
      ->capture_default_str();
  command.add_option("file", options.file, what)->capture_default_str();
}

int RunParse(const CommonOptions& options, bool partial) {
  std::string text = ReadInput(options.file);
  AlertDefinitions defs{};
  defs.combination = vantrel_cli::kNoJoiner;
  const bool ok = vantrel_cli::Parse(options.Which(), text, defs);
  std::optional<std::uint32_t> combination;
  if (defs.combination <= 1) combination = defs.combination;
  if (!ok) {
    std::cerr << "vantrel parse: "
              << DescribeRejection(text, defs.definitions.size()) << "\n";
    if (!partial) return kRejected;
  }
  Release(text);
  RequireWritable(defs, options.Mode());
  PrintJson(defs, combination, options.Mode());
  return ok ? kOk : kRejected;
}

int RunFormat(const CommonOptions& options, bool newline) {
  std::string json = ReadInput(options.file);
  AlertDefinitions defs{};
  const auto read =
      vantrel_cli::ReadDefinitionsJson(json, options.Mode(), defs);
  if (!read.ok) throw InputError{FileLabel(options.file) + ": " + read.error};
  Release(json);
  defs.combination = read.combination ? *read.combination
                                      : vantrel_cli::kNoJoiner;
  std::string text;
  vantrel_cli::Write(options.Which(), text, defs);
  defs.definitions.clear();
  if (newline) text += '\n';
  WriteOut(text);
  return kOk;
}

bool LooksLikeJson(const std::string& input) {
  const std::size_t first = input.find_first_not_of(" \t\r\n");
  return first != std::string::npos && input[first] == '{';
}

void PrintReport(const vantrel_cli::CheckReport& report, std::size_t records,
                 bool json, ByteMode mode) {
  if (json) {
    std::string out = "{\n  \"survives\": ";
    out += report.survives() ? "true" : "false";
    out += ",\n  \"problems\": [";
    bool first = true;
    for (const auto& problem : report.problems) {
      out += first ? "\n    {" : ",\n    {";
      first = false;
      out += "\"path\": \"" + problem.path + "\", \"cause\": ";
      vantrel_cli::AppendJsonString(out, problem.cause, false);
      const bool is_number = problem.path == "combination";
      for (const auto& [name, value] :
           {std::pair{"written", &problem.written},
            std::pair{"read_back", &problem.read_back}}) {
        out += ", \"";
        out += name;
        out += "\": ";
        if (!*value) {
          out += "null";
        } else if (is_number) {
          out += **value;
        } else {
          vantrel_cli::AppendJsonString(out, **value,
                                        mode == ByteMode::Latin1);
        }
      }
      out += "}";
    }
    out += first ? "]\n}\n" : "\n  ]\n}\n";
    WriteOut(out);
    return;
  }
  std::string out;
  if (report.survives()) {
    out = "ok: all " + std::to_string(records) +
          " conditions and the combination come back unchanged\n";
  }
  for (const auto& problem : report.problems) {
    out += problem.path + ": " + problem.cause + "\n";
    const bool is_number = problem.path == "combination";
    const auto show = [&](const std::optional<std::string>& value) {
      if (!value) return std::string("(nothing)");
      return is_number ? *value : vantrel_cli::Display(*value, 200);
    };
    if (problem.written || problem.read_back) {
      out += "  written:   " + show(problem.written) + "\n";
      out += "  read back: " + show(problem.read_back) + "\n";
    }
  }
  if (!report.survives()) {
    out += std::to_string(report.problems.size()) +
           " problem(s): this definition does not survive writing and "
           "reading back\n";
  }
  WriteOut(out);
}

int RunCheck(const CommonOptions& options, const std::string& input_kind,
             bool json_report) {
  std::string input = ReadInput(options.file);
  const bool is_json = input_kind == "json" ||
                       (input_kind == "auto" && LooksLikeJson(input));
  AlertDefinitions defs{};
  std::optional<std::uint32_t> combination;
  if (is_json) {
    const auto read =
        vantrel_cli::ReadDefinitionsJson(input, options.Mode(), defs);
    if (!read.ok) {
      throw InputError{FileLabel(options.file) + ": " + read.error};
    }
    combination = read.combination;
  } else {
    defs.combination = vantrel_cli::kNoJoiner;
    if (!vantrel_cli::Parse(options.Which(), input, defs)) {
      std::cerr << "vantrel check: "
                << DescribeRejection(input, defs.definitions.size()) << "\n";
      return kRejected;
    }
    if (defs.combination <= 1) combination = defs.combination;
  }
  Release(input);
  const auto report =
      vantrel_cli::CheckRoundTrip(options.Which(), defs, combination);
  if (json_report) {
    AlertDefinitions shown{};
    for (const auto& problem : report.problems) {
      if (problem.path == "combination") continue;
      for (const auto* value : {&problem.written, &problem.read_back}) {
        if (*value) {
          shown.definitions.emplace_back().name = **value;
        }
      }
    }
    RequireWritable(shown, options.Mode());
  }
  PrintReport(report, defs.definitions.size(), json_report, options.Mode());
  return report.survives() ? kOk : kRejected;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "vantrel: read alert definition texts into JSON, write them from JSON, "
      "and check which rules survive writing and reading back.\n"
      "Exit codes: 0 ok, 1 rejected or lossy, 2 usage or input error."};
  app.require_subcommand(1);

  CommonOptions parse_options;
  bool partial = false;
  CLI::App* parse = app.add_subcommand(
      "parse", "Read a definition text and print its records as JSON");
  AddCommon(*parse, parse_options, "Definition text file, or - for stdin");
  parse->add_flag("--partial", partial,
                  "When a piece is rejected, still print the records read "
                  "before it");

  CommonOptions format_options;
  bool newline = false;
  CLI::App* format = app.add_subcommand(
      "format", "Read records as JSON and print their definition text");
  AddCommon(*format, format_options, "JSON file, or - for stdin");
  format->add_flag("--newline", newline,
                   "End the text with a line break (none by default)");

  CommonOptions check_options;
  std::string input_kind = "auto";
  bool json_report = false;
  CLI::App* check = app.add_subcommand(
      "check",
      "Write the records and read them back; report what does not survive");
  AddCommon(*check, check_options,
            "Definition text or JSON file, or - for stdin");
  check->add_option("--input", input_kind,
                    "What the input is: text, json, or auto (JSON when it "
                    "starts with '{')")
      ->check(CLI::IsMember({"auto", "text", "json"}))
      ->capture_default_str();
  check->add_flag("--json", json_report, "Print the report as JSON");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error);
    return code == 0 ? kOk : kFailure;
  }

  const char* command = parse->parsed()    ? "parse"
                        : format->parsed() ? "format"
                                           : "check";
  try {
    int code = kOk;
    if (parse->parsed()) {
      code = RunParse(parse_options, partial);
    } else if (format->parsed()) {
      code = RunFormat(format_options, newline);
    } else {
      code = RunCheck(check_options, input_kind, json_report);
    }
    if (std::fflush(stdout) != 0) {
      throw InputError{std::string("cannot write the output: ") +
                       std::strerror(errno)};
    }
    return code;
  } catch (const InputError& error) {
    std::cerr << "vantrel " << command << ": " << error.message << "\n";
    return kFailure;
  } catch (const std::bad_alloc&) {
    std::cerr << "vantrel " << command << ": out of memory\n";
    return kFailure;
  } catch (const std::length_error& error) {
    std::cerr << "vantrel " << command << ": " << error.what() << "\n";
    return kFailure;
  }
}
