#include "batch.h"

#include <array>
#include <ostream>
#include <utility>

namespace vantrel_cli {
namespace {

enum Status { kOk, kLossy, kRejected, kError };
constexpr std::array<const char*, 4> kStatusNames = {"ok", "lossy", "rejected",
                                                     "error"};

// The rule of one input line: its id (as JSON text) and its text or
// records.
struct Rule {
  std::string id;
  std::string text;
  AlertDefinitions defs{};
  Combination combination;
};

Rule ReadRule(const BatchOptions& options, std::string& line,
              std::size_t number) {
  Rule rule;
  rule.id = std::to_string(number);
  const Form form =
      options.command == Command::Format ? Form::Jsonl : options.input;
  if (form == Form::Lines) {
    rule.text = std::move(line);
    return rule;
  }
  if (form == Form::Tsv) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) {
      throw InputError("no TAB between the id and the text");
    }
    rule.id = Dump(Report(line.substr(0, tab)));
    rule.text = line.substr(tab + 1);
    return rule;
  }
  const Json object = ParseLine(line);
  if (!object.is_object()) throw InputError("expected a JSON object");
  const auto id = object.find("id");
  if (id == object.end() || !(id->is_string() || id->is_number_integer())) {
    throw InputError("id: expected a string or an integer");
  }
  rule.id = id->dump(-1, ' ', false, Json::error_handler_t::replace);
  if (options.command != Command::Format) {
    const auto text = object.find("text");
    if (text == object.end() || !text->is_string()) {
      throw InputError("text: expected a string");
    }
    rule.text = FieldBytes(text->get<std::string>(), options.mode, "text");
    return rule;
  }
  const auto status = object.find("status");
  if (status != object.end() && *status != "ok") {
    throw InputError(
        R"(status: only the records of a rule read whole ("ok") can be written, found )" +
        status->dump());
  }
  rule.combination =
      RecordsFromJson(object, options.mode, rule.defs, {"id", "status"});
  return rule;
}

Report IdHead(const std::string& id) { return {{"id", Report::parse(id)}}; }

Status Check(const BatchOptions& options, const Rule& rule, std::string& out) {
  const TextCheck check = CheckText(options.kind, rule.text);
  Report report = TextReport(check, rule.text, options.mode, IdHead(rule.id));
  if (check.status == TextCheck::Status::Ok) report.erase("conditions");
  out += Dump(report);
  // The statuses of a check come in the same order.
  return static_cast<Status>(check.status);
}

Status ParseRule(const BatchOptions& options, Rule& rule, std::string& out) {
  const bool ok =
      ParseText(options.kind, rule.text, rule.defs, rule.combination);
  Report report = IdHead(rule.id);
  report["status"] = "ok";
  if (!ok) {
    TextCheck check;
    check.status = TextCheck::Status::Rejected;
    check.rejection = LocateRejection(rule.text, rule.defs.definitions.size());
    report = TextReport(check, rule.text, options.mode, std::move(report));
  }
  out += Dump(report);
  if (!ok && !options.partial) return kRejected;
  out.back() = ',';
  AppendRecordMembers(out, rule.defs, rule.combination, options.mode);
  out += "}";
  return ok ? kOk : kRejected;
}

Status Format(const BatchOptions& options, Rule& rule, std::string& out,
              bool& skip, std::ostream& messages) {
  const std::vector<Problem> problems =
      CheckRecords(options.kind, rule.defs, rule.combination);
  for (const Problem& problem : problems) {
    messages << "vantrel format: id " << rule.id << ": "
             << (options.strict ? "" : "warning: ") << problem.path << ": "
             << problem.cause << "\n";
  }
  const Status status = problems.empty() ? kOk : kLossy;
  rule.defs.combination = rule.combination ? *rule.combination : kNoJoiner;
  std::string text;
  if (!options.strict || problems.empty()) Write(options.kind, text, rule.defs);
  if (options.output == Form::Jsonl) {
    Report report = RecordsReport(problems, options.mode, IdHead(rule.id));
    report.erase("survives");
    if (problems.empty()) report.erase("problems");
    if (!options.strict || problems.empty()) {
      report["text"] = Report::parse(JsonString(text, options.mode, "text"));
    }
    out += Dump(report);
    return status;
  }
  skip = options.strict && !problems.empty();
  if (skip) return status;
  const bool tsv = options.output == Form::Tsv;
  if (text.find_first_of(tsv ? "\t\r\n" : "\r\n") != std::string::npos) {
    throw InputError(std::string("the text holds a line break") +
                     (tsv ? " or a TAB" : "") +
                     ", which this form cannot carry");
  }
  if (tsv) {
    const Report parsed_id = Report::parse(rule.id);
    const std::string id =
        parsed_id.is_string() ? parsed_id.get<std::string>() : rule.id;
    if (id.find_first_of("\t\r\n") != std::string::npos) {
      throw InputError("the id holds a TAB or a line break");
    }
    out += id + "\t";
  }
  out += text;
  return status;
}

}  // namespace

int RunBatch(const BatchOptions& options, Input& input, Output& output,
             std::ostream& messages) {
  std::array<std::size_t, 4> counts{};
  std::string line;
  std::string out;
  std::size_t number = 0;
  while (input.NextLine(line)) {
    ++number;
    out.clear();
    std::string id = std::to_string(number);
    Status status = kError;
    bool skip = false;
    try {
      Rule rule = ReadRule(options, line, number);
      id = rule.id;
      switch (options.command) {
        case Command::Check:
          status = Check(options, rule, out);
          break;
        case Command::Parse:
          status = ParseRule(options, rule, out);
          break;
        case Command::Format:
          status = Format(options, rule, out, skip, messages);
          break;
      }
    } catch (const InputError& error) {
      status = kError;
      out.clear();
      if (options.command == Command::Format && options.output != Form::Jsonl) {
        messages << "vantrel format: line " << number << " (id " << id
                 << "): " << error.what() << "\n";
        skip = true;
      } else {
        out = Dump(Report{{"id", Report::parse(id)},
                          {"status", "error"},
                          {"line", number},
                          {"message", error.what()}});
      }
    }
    ++counts.at(status);
    if (!skip) {
      out += '\n';
      output.Write(out);
    }
  }
  constexpr std::array<const char*, 3> kCommands = {"check", "parse", "format"};
  messages << "vantrel "
           << kCommands.at(static_cast<std::size_t>(options.command)) << ": "
           << number << (number == 1 ? " rule: " : " rules: ");
  for (std::size_t s = 0; s < counts.size(); ++s) {
    messages << counts.at(s) << " " << kStatusNames.at(s)
             << (s + 1 < counts.size() ? ", " : "\n");
  }
  if (counts[kError] > 0) return 2;
  return counts[kLossy] + counts[kRejected] > 0 ? 1 : 0;
}

}  // namespace vantrel_cli
