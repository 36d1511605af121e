// Writes the cases the C# binding's test checks: generated texts, each with
// what the C++ exports make of it. One case a line, fields separated by
// blanks, every text in hex ("-" for the empty text):
//
//   kind accepted text combination conditions
//     (name detail params (key values (value)...)...)...
//     written text_survives records_survive
//
// kind is "func" or "filter"; accepted is GetFuncDefinition's result for a
// fresh target (combination 0); the records are the ones it appended
// (before a rejected piece too); written is SetFuncDefinition's text of
// them; text_survives is accepted and written == text; records_survive is
// the records read back from `written` into a fresh target of the same
// combination being the same records and combination.
//
// Usage: vantrel_dotnet_cases <output file>

#include <cstddef>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "support/exhaustive_inputs.h"
#include "support/records.h"
#include "support/sample_texts.h"
#include "support/sequences.h"
#include "vantrel/alert_definitions.h"

namespace {

std::string Hex(const std::string& bytes) {
  if (bytes.empty()) return "-";
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (char byte : bytes) {
    const auto c = static_cast<unsigned char>(byte);
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

bool Parse(bool filter, const std::string& text, AlertDefinitions& defs) {
  return filter ? GetFilterDefinition(text, defs)
                : GetFuncDefinition(text, defs);
}

std::string Write(bool filter, AlertDefinitions& defs) {
  std::string text;
  if (filter) {
    SetFilterDefinition(text, defs);
  } else {
    SetFuncDefinition(text, defs);
  }
  return text;
}

void WriteCase(std::ofstream& out, bool filter, const std::string& text) {
  AlertDefinitions defs{};
  const bool accepted = Parse(filter, text, defs);
  const std::string written = Write(filter, defs);
  AlertDefinitions again{};
  again.combination = defs.combination;
  Parse(filter, written, again);
  const bool text_survives = accepted && written == text;
  const bool records_survive = vantrel_test::SameSet(defs, again);

  out << (filter ? "filter" : "func") << ' ' << (accepted ? 1 : 0) << ' '
      << Hex(text) << ' ' << defs.combination << ' ' << defs.definitions.size();
  for (const AlertDefinition& d : defs.definitions) {
    out << ' ' << Hex(d.name) << ' ' << Hex(d.detail) << ' ' << d.params.size();
    for (const DefinitionParam& p : d.params) {
      out << ' ' << Hex(p.key) << ' ' << p.values.size();
      for (const std::string& v : p.values) out << ' ' << Hex(v);
    }
  }
  out << ' ' << Hex(written) << ' ' << (text_survives ? 1 : 0) << ' '
      << (records_survive ? 1 : 0) << '\n';
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vantrel_dotnet_cases <output file>\n");
    return 2;
  }
  std::ofstream out(argv[1], std::ios::binary);
  if (!out) {
    std::fprintf(stderr, "vantrel_dotnet_cases: cannot write %s\n", argv[1]);
    return 1;
  }
  std::vector<std::string> texts = {vantrel_test::kWorkedExample,
                                    vantrel_test::kRejectedDeltaText};
  // Every text of up to three tokens of the definition alphabet (marks,
  // halves, joiners, a letter, a zero byte), and bytes that are not UTF-8.
  std::vector<std::string> tokens =
      vantrel_test::DefinitionAlphabets()[0].tokens;
  tokens.emplace_back("\xff\xfe");
  tokens.emplace_back("\xc3");
  vantrel_test::ForEachSequence(
      tokens.size(), 0, 3, [&](const std::vector<std::size_t>& digits) {
        texts.push_back(vantrel_test::Concatenate(tokens, digits));
      });
  // Longer texts with many joiners, conditions and parameter items.
  int long_texts = 0;
  vantrel_test::ForEachLongDefinitionText([&](const std::string& text) {
    if (long_texts++ % 8 == 0) texts.push_back(text);
  });
  for (const std::string& text : texts) {
    WriteCase(out, false, text);
    WriteCase(out, true, text);
  }
  out.flush();
  if (!out) {
    std::fprintf(stderr, "vantrel_dotnet_cases: cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("%zu cases\n", 2 * texts.size());
  return 0;
}
