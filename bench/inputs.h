// The texts the benchmarks read and write.
//
// Every text is generated from a seed-free recipe so that two runs (and the
// instruction-count check) measure the very same bytes.

#ifndef VANTREL_BENCH_INPUTS_H_
#define VANTREL_BENCH_INPUTS_H_

#include <cstddef>
#include <string>
#include <vector>

#include "support/sample_texts.h"

namespace vantrel_bench {

// The two conditions of the worked example, joined by the and-joiner.
inline std::string WorkedExample() { return vantrel_test::kWorkedExample; }

// One typical condition: a function or filter name, a short detail and
// three parameters of three short values each. `i` varies the values so
// that consecutive conditions differ.
inline std::string TypicalCondition(std::size_t i) {
  const std::string n = std::to_string(i % 1000);
  return "--#--Average_ResponseTime--#----{--response time--}----{--"
         "Transaction_Name==Login" +
         n +
         "--,--Checkout--,--Search"
         "--;--Location_Name==London--,--Paris" +
         n +
         "--,--Tokyo"
         "--;--Times==3--,--5--,--" +
         n + "--}--";
}

// A typical rule: five typical conditions joined by the and-joiner.
inline std::string TypicalRule() {
  std::string text;
  for (std::size_t i = 0; i < 5; ++i) {
    if (i != 0) text += " @@AND@@ ";
    text += TypicalCondition(i);
  }
  return text;
}

// Typical conditions joined by the and-joiner until the text holds at least
// `bytes` bytes.
inline std::string LargeText(std::size_t bytes) {
  std::string text;
  text.reserve(bytes + 256);
  for (std::size_t i = 0; text.size() < bytes; ++i) {
    if (i != 0) text += " @@AND@@ ";
    text += TypicalCondition(i);
  }
  return text;
}

// One condition with `count` parameters of one value each.
inline std::string ManyParams(std::size_t count) {
  std::string text = "--#--n--#----{--d--}----{--";
  for (std::size_t i = 0; i < count; ++i) {
    if (i != 0) text += "--;--";
    text += "k" + std::to_string(i) + "==v";
  }
  return text + "--}--";
}

// One condition with one parameter of `count` values.
inline std::string ManyValues(std::size_t count) {
  std::string text = "--#--n--#----{--d--}----{--k==";
  for (std::size_t i = 0; i < count; ++i) {
    if (i != 0) text += "--,--";
    text += "v" + std::to_string(i);
  }
  return text + "--}--";
}

// ---------------------------------------------------------------------------
// Adversarial families. Each text holds about `bytes` bytes.
// ---------------------------------------------------------------------------

// Many parameter items without any value separator: a reader that looks for
// "--,--" up to the end of the text rescans the rest for every item.
inline std::string CommaFreeItems(std::size_t bytes) {
  std::string text = "--#--n--#----{--d--}----{--";
  for (std::size_t i = 0; text.size() < bytes; ++i) {
    if (i != 0) text += "--;--";
    text += "k==v";
  }
  return text + "--}--";
}

// Many "==" and no "--,--": one parameter whose value is made of "==".
inline std::string ManyKeySeparators(std::size_t bytes) {
  std::string text = "--#--n--#----{--d--}----{--k";
  while (text.size() < bytes) text += "==x";
  return text + "--}--";
}

// Long runs of '-': the name, the detail and a value are each a third of
// the text, all dashes. A search that stops at every '-' stops everywhere.
inline std::string DashRuns(std::size_t bytes) {
  const std::string run(bytes / 3, '-');
  return "--#--" + run + "--#----{--" + run + "--}----{--k==" + run + "--}--";
}

// Only marks: a condition whose every byte belongs to a mark. Its items
// start with "====" (the key is "=") and its values are marks.
inline std::string OnlyMarks(std::size_t bytes) {
  std::string text = "--#----#----{----}----{--";
  for (std::size_t i = 0; text.size() < bytes; ++i) {
    if (i != 0) text += "--;--";
    text += "====--{----,----#----,--==";
  }
  return text + "--}--";
}

// Only joiners: every piece is empty and becomes one empty record.
inline std::string OnlyJoiners(std::size_t bytes) {
  std::string text;
  while (text.size() < bytes) text += "@@AND@@@@OR@@";
  return text;
}

}  // namespace vantrel_bench

#endif  // VANTREL_BENCH_INPUTS_H_
