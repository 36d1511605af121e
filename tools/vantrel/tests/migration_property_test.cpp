// The migration invariant, on generated stores: after `edit`, and after
// `parse --batch | <an edit of the JSON rows> | format --batch`, in every
// framing, the output has exactly the input's rows in order; a row that
// changed is a rule that read back whole and now reads back to the edited
// records; every other row is the input's row, byte for byte, and then the
// rule did not read back whole, the edit changed nothing, or the edited
// records would not read back (or hold a line break a line cannot carry).
//
// The expectations are made here from the library's four exports, not from
// the rules library: the stores hold fields with marks, joiners, TABs, CR,
// bytes that are not UTF-8, rejected and lossy rules, rows that cannot be
// read, and lines ending in LF, CRLF or nothing at the end.
#include <gtest/gtest.h>
#include <vantrel/alert_definitions.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"
#include "files.h"
#include "options.h"
#include "records_json.h"
#include "rewrite.h"
#include "support/records.h"
#include "support/sample_texts.h"
#include "text.h"

namespace vantrel::cli {
namespace {

using rules::ByteMode;
using rules::EditStep;
using Op = EditStep::Op;

constexpr std::uint32_t kNoJoiner = 2;

const std::vector<std::string>& Fields(bool single_line) {
  static const std::vector<std::string> multi = {
      "k",       "v",      "n",  "d",     "Location_Name",
      "London",  "--,--",  "==", "--}--", "--#--",
      "@@AND@@", "@@OR@@", "\t", "\r",    "\n",
      "\xe9",    "\xff",   " ",  ""};
  static const std::vector<std::string> single = [] {
    std::vector<std::string> fields = multi;
    fields.erase(fields.begin() + 14);  // "\n"
    return fields;
  }();
  return single_line ? single : multi;
}

// A field: mostly a plain word an edit looks for, sometimes a mark, a
// joiner or a byte that a framing or a byte mode has to carry.
std::string Field(std::mt19937& rng, bool single_line) {
  const std::vector<std::string>& fields = Fields(single_line);
  std::uniform_int_distribution<std::size_t> plain(0, 5);
  std::uniform_int_distribution<std::size_t> any(0, fields.size() - 1);
  std::uniform_int_distribution<int> coin(0, 9);
  std::string field = fields[plain(rng)];
  if (coin(rng) == 0) field += fields[any(rng)];
  return field;
}

std::string StoredText(std::mt19937& rng, bool single_line) {
  std::uniform_int_distribution<int> small(1, 3);
  std::uniform_int_distribution<int> pick(0, 19);
  AlertDefinitions defs{};
  for (int r = small(rng); r > 0; --r) {
    AlertDefinition& record = defs.definitions.emplace_back();
    record.name = Field(rng, single_line);
    record.detail = Field(rng, single_line);
    for (int p = small(rng) - 1; p > 0; --p) {
      DefinitionParam& param = record.params.emplace_back();
      param.key = Field(rng, single_line);
      for (int v = small(rng); v > 0; --v) {
        param.values.push_back(Field(rng, single_line));
      }
    }
  }
  defs.combination = static_cast<std::uint32_t>(pick(rng) % 3);
  std::string text;
  SetFuncDefinition(text, defs);
  switch (pick(rng)) {
    case 0:
      text += " @@OR@@ " + std::string(vantrel_test::kBetaText);
      break;
    case 1:
      text += " @@AND@@ " + std::string(vantrel_test::kRejectedDeltaText);
      break;
    case 2:
      text += "  trailing";
      break;
    case 3:
      text += "\r";
      break;
    case 4:
      text = " ";
      break;
    default:
      break;
  }
  return text;
}

// What the library itself makes of a stored text and an edit.
struct Expected {
  bool whole = false;         // the text reads back byte for byte
  bool changed = false;       // the edit changed the records
  bool reads_back = false;    // the edited records read back
  bool line_break = false;    // their text holds a line break
  AlertDefinitions edited{};  // combination: kNoJoiner for none
};

Expected Expect(const std::string& text, const std::vector<EditStep>& steps) {
  Expected e;
  AlertDefinitions read{};
  read.combination = kNoJoiner;
  if (!GetFuncDefinition(text, read)) return e;
  std::string back;
  SetFuncDefinition(back, read);
  e.whole = back == text;
  e.edited = read;
  rules::ApplySteps(steps, e.edited);
  e.changed = !vantrel_test::SameRecords(read, e.edited);
  std::string written;
  SetFuncDefinition(written, e.edited);
  AlertDefinitions again{};
  again.combination = kNoJoiner;
  e.reads_back = GetFuncDefinition(written, again) &&
                 vantrel_test::SameRecords(again, e.edited) &&
                 again.combination == e.edited.combination;
  e.line_break = written.find('\n') != std::string::npos;
  return e;
}

// A generated store in one framing: its file's bytes, and per row the id
// and text of a rule (none for a row that cannot be read).
struct Store {
  std::string bytes;
  std::vector<std::optional<std::string>> texts;
};

std::string JsonText(const std::string& bytes, ByteMode mode) {
  return rules::JsonString(bytes, mode, "text");
}

Store MakeStore(std::mt19937& rng, Form form, ByteMode mode, int rules) {
  Store store;
  std::uniform_int_distribution<int> pick(0, 49);
  const bool single_line = form != Form::kJsonl;
  for (int i = 0; i < rules; ++i) {
    std::string row;
    std::optional<std::string> text;
    const int p = pick(rng);
    if (p == 0 && form == Form::kTsv) {
      row = "no tab here";
    } else if (p == 0 && form == Form::kJsonl) {
      row = "{\"id\": " + std::to_string(i) + ", \"text\": oops}";
    } else {
      text = StoredText(rng, single_line);
      // Under utf8, a JSON line can only hold UTF-8 bytes: other rules of
      // such stores are rows that cannot be read.
      if (form == Form::kJsonl && mode == ByteMode::Utf8 &&
          rules::FirstNonUtf8(*text) != std::string::npos) {
        text = "--#--n--#----{--d--}----{--k==v--}--";
      }
      switch (form) {
        case Form::kLines:
          row = *text;
          break;
        case Form::kTsv:
          row = (p == 1 ? "caf\xe9" : "r") + std::to_string(i) + "\t" + *text;
          break;
        case Form::kJsonl:
          row = (p == 1 ? "{\"id\": \"r" + std::to_string(i) + "\""
                        : "{\"id\": " + std::to_string(i)) +
                ", \"text\": " + JsonText(*text, mode) + "}";
          break;
      }
    }
    store.texts.push_back(text);
    const bool last = i + 1 == rules;
    const int ending = pick(rng) % 3;
    store.bytes += row + (last && ending == 2 ? ""
                          : ending == 1       ? "\r\n"
                                              : "\n");
  }
  return store;
}

std::vector<std::string> Rows(const std::string& path) {
  Input input(path);
  std::vector<std::string> rows;
  for (std::string line; input.NextLine(line);) rows.push_back(line);
  return rows;
}

std::string TempPath(const std::string& name) {
  return testing::TempDir() + "vantrel_migration_" + name;
}

struct RunResult {
  Result result;
  std::vector<std::string> rows;
  std::string messages;
};

RunResult RunOn(Options options, const std::string& in_path,
                const std::string& out_path) {
  std::remove(out_path.c_str());
  options.file = in_path;
  options.output = out_path;
  RunResult run;
  {
    Input input(in_path);
    Output output(out_path);
    std::ostringstream messages;
    run.result = RunCommand(options, input, output, messages);
    run.messages = messages.str();
  }
  if (run.result.complete) run.rows = Rows(out_path);
  return run;
}

// The text and id of an output row in `form`; nullopt text for a row that
// is no rule row (no TAB, not a JSON object with a "text").
struct Cell {
  std::string id;
  std::optional<std::string> text;
};

Cell CellOf(const std::string& row, Form form, ByteMode mode, std::size_t n) {
  Cell cell;
  switch (form) {
    case Form::kLines:
      cell.id = std::to_string(n);
      cell.text = row;
      break;
    case Form::kTsv: {
      const std::size_t tab = row.find('\t');
      if (tab == std::string::npos) break;
      cell.id = row.substr(0, tab);
      cell.text = row.substr(tab + 1);
      break;
    }
    case Form::kJsonl: {
      const nlohmann::json json = nlohmann::json::parse(row, nullptr, false);
      if (!json.is_object() || !json.contains("text")) break;
      cell.id = json["id"].dump();
      cell.text =
          rules::FieldBytes(json["text"].get<std::string>(), mode, "text");
      break;
    }
  }
  return cell;
}

struct Counts {
  std::size_t rules = 0;
  std::size_t rewritten = 0;
  std::size_t same = 0;
  std::size_t not_whole = 0;
  std::size_t refused = 0;
  std::size_t errors = 0;
};

// The invariant, row by row.
void ExpectMigrated(const Store& store, const std::vector<std::string>& in,
                    const std::vector<std::string>& out, Form form,
                    ByteMode mode, const std::vector<EditStep>& steps,
                    Counts& counts) {
  ASSERT_EQ(out.size(), in.size());
  ASSERT_EQ(store.texts.size(), in.size());
  for (std::size_t i = 0; i < in.size(); ++i) {
    ++counts.rules;
    const std::optional<std::string>& text = store.texts[i];
    if (!text) {
      ASSERT_EQ(out[i], in[i]) << "row " << i;
      ++counts.errors;
      continue;
    }
    const Cell before = CellOf(in[i], form, mode, i + 1);
    const Cell after = CellOf(out[i], form, mode, i + 1);
    ASSERT_TRUE(after.text) << "row " << i << ": " << out[i];
    ASSERT_EQ(after.id, before.id) << "row " << i;
    const Expected e = Expect(*text, steps);
    const bool single_line = form != Form::kJsonl;
    if (*after.text != *text) {
      ASSERT_TRUE(e.whole && e.changed && e.reads_back)
          << "row " << i << " was rewritten: " << vantrel_test::Quoted(*text);
      ASSERT_FALSE(single_line && e.line_break);
      AlertDefinitions back{};
      back.combination = kNoJoiner;
      ASSERT_TRUE(GetFuncDefinition(*after.text, back));
      ASSERT_TRUE(vantrel_test::SameRecords(back, e.edited));
      ASSERT_EQ(back.combination, e.edited.combination);
      ++counts.rewritten;
      continue;
    }
    if (form == Form::kTsv || form == Form::kLines) {
      ASSERT_EQ(out[i], in[i]) << "row " << i;
    }
    // Kept as it was: for a reason the library gives.
    const bool refused = !e.reads_back || (single_line && e.line_break);
    ASSERT_TRUE(!e.whole || !e.changed || refused)
        << "row " << i << " was not rewritten: " << vantrel_test::Quoted(*text);
    ++counts.same;
    if (!e.whole) ++counts.not_whole;
    if (e.whole && e.changed) ++counts.refused;
  }
}

// The jq step of the documented pipeline, on the rows of parse --batch: the
// edit applied to the records of every row that has them.
std::string EditRows(const std::string& path, ByteMode mode,
                     const std::vector<EditStep>& steps) {
  std::string edited;
  for (const std::string& line : Rows(path)) {
    nlohmann::ordered_json row = nlohmann::ordered_json::parse(line);
    if (!row.contains("definitions")) {
      edited += line + "\n";
      continue;
    }
    rules::RuleLine rule;
    rules::ReadRuleLine(line, mode, rule);
    rules::ApplySteps(steps, rule.defs);
    row.erase("combination");
    row.erase("definitions");
    std::string text = row.dump();
    text.pop_back();
    text += ",";
    rules::AppendRecordMembers(text, rule.defs, rule.combination, mode);
    edited += text + "}\n";
  }
  return edited;
}

std::vector<EditStep> RandomSteps(std::mt19937& rng) {
  static const std::vector<EditStep> pool = {
      {Op::kRenameKey, "", "k", "K"},
      {Op::kRenameKey, "", "Location_Name", "Site"},
      {Op::kReplaceValue, "*", "v", "w"},
      {Op::kReplaceValue, "k", "London", "Paris"},
      {Op::kReplaceValue, "k", "v", "v--,--x"},
      {Op::kRenameCondition, "", "n", "m\nm"},
      {Op::kRenameKey, "", "K", "a\tb"},
      {Op::kRenameCondition, "", "d", "@@AND@@"},
      {Op::kRenameCondition, "", "n", "N\xe9"},
  };
  std::uniform_int_distribution<std::size_t> pick(0, pool.size() - 1);
  std::vector<EditStep> steps;
  for (int n = 0; n < 3; ++n) steps.push_back(pool[pick(rng)]);
  return steps;
}

// 15 runs of 6,700 rules, 100,500 rules in all: through edit (9 runs) and
// through the pipeline (6 runs, in latin1), in the three framings.
TEST(MigrationProperty, EveryRowKeepsItsPlaceAndOnlyEditsThatReadBackChange) {
  constexpr int kRules = 6700;
  std::mt19937 rng(2323);
  Counts counts;
  const std::string in_path = TempPath("in");
  const std::string out_path = TempPath("out");
  const std::string parsed_path = TempPath("parsed");
  const std::string edited_path = TempPath("edited");
  for (const Form form : {Form::kLines, Form::kTsv, Form::kJsonl}) {
    for (int run = 0; run < 3; ++run) {
      SCOPED_TRACE(std::to_string(static_cast<int>(form)) + "/" +
                   std::to_string(run));
      const std::vector<EditStep> steps = RandomSteps(rng);
      // edit: utf8 for the first run (edit reads lines and TSV as bytes).
      const ByteMode mode = run == 0 ? ByteMode::Utf8 : ByteMode::Latin1;
      Store store = MakeStore(rng, form, mode, kRules);
      std::ofstream(in_path, std::ios::binary) << store.bytes;
      const std::vector<std::string> in = Rows(in_path);
      // The texts as the framing reads them (a CR before the LF that ends a
      // line is part of the line ending).
      ASSERT_EQ(in.size(), store.texts.size());
      for (std::size_t i = 0; i < in.size(); ++i) {
        if (store.texts[i]) {
          store.texts[i] = CellOf(in[i], form, mode, i + 1).text;
        }
      }
      Options edit;
      edit.command = Command::kEdit;
      edit.batch = form;
      edit.mode = mode;
      edit.steps = steps;
      const RunResult edited = RunOn(edit, in_path, out_path);
      ASSERT_TRUE(edited.result.complete) << edited.messages;
      ExpectMigrated(store, in, edited.rows, form, mode, steps, counts);

      // parse | edit the JSON rows | format, in latin1 (which carries every
      // byte, so no row is left out).
      if (mode != ByteMode::Latin1) continue;
      Options parse;
      parse.command = Command::kParse;
      parse.batch = form;
      parse.mode = mode;
      const RunResult parsed = RunOn(parse, in_path, parsed_path);
      ASSERT_TRUE(parsed.result.complete) << parsed.messages;
      std::ofstream(edited_path, std::ios::binary)
          << EditRows(parsed_path, mode, steps);
      Options format;
      format.command = Command::kFormat;
      format.batch = Form::kJsonl;
      format.to = form;
      format.mode = mode;
      const RunResult formatted = RunOn(format, edited_path, out_path);
      ASSERT_TRUE(formatted.result.complete) << formatted.messages;
      ExpectMigrated(store, in, formatted.rows, form, mode, steps, counts);
    }
  }
  EXPECT_GE(counts.rules, 100000U);
  // Every way through was taken.
  EXPECT_GT(counts.rewritten, 1000U);
  EXPECT_GT(counts.not_whole, 1000U);
  EXPECT_GT(counts.refused, 100U);
  EXPECT_GT(counts.errors, 100U);
  std::printf(
      "rules %zu: rewritten %zu, kept as they were %zu (not read "
      "back whole %zu, edit refused %zu), error rows %zu\n",
      counts.rules, counts.rewritten, counts.same, counts.not_whole,
      counts.refused, counts.errors);
}

}  // namespace
}  // namespace vantrel::cli
