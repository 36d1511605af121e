// Many threads use the shared library at once: every thread parses one
// shared, const text into its own target and writes one shared source into
// its own string, over and over. The library keeps no state of its own and
// only reads the vocabulary constants, so every result must equal the
// single-threaded one; the ThreadSanitizer build (preset tsan) checks that
// no call writes anything the others read.

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

#include "support/records.h"
#include "vantrel/alert_definitions.h"

namespace {

using vantrel_test::Param;
using vantrel_test::Record;

constexpr int kThreads = 8;
constexpr int kRounds = 200;

TEST(Concurrency, SharedTextAndSourceAcrossThreads) {
  const std::string text =
      "--#--Alpha--#----{--x--}----{--k1==a1--,--a2--;--k2==--}-- @@AND@@ "
      "--#--Beta--#----{--y--}----}-- @@AND@@ "
      "--#--Gamma--#----{--z--}----{--k3==c1--,--c2--,--c3--}--";
  AlertDefinitions source{};
  source.combination = 0;
  source.definitions.push_back(
      Record("Alpha", "x", {Param("k1", {"a1", "a2"}), Param("k2", {})}));
  source.definitions.push_back(Record("Beta", "y", {}));
  source.definitions.push_back(Record("Gamma", "z", {Param("k3", {"c1"})}));

  // The single-threaded results.
  AlertDefinitions expected_parse{};
  ASSERT_TRUE(GetFuncDefinition(text, expected_parse));
  ASSERT_EQ(expected_parse.definitions.size(), 3u);
  std::string expected_text;
  ASSERT_TRUE(SetFuncDefinition(expected_text, source));
  ASSERT_EQ(expected_text,
            "--#--Alpha--#----{--x--}----{--k1==a1--,--a2--;--k2==--}-- @@OR@@ "
            "--#--Beta--#----{--y--}----}-- @@OR@@ "
            "--#--Gamma--#----{--z--}----{--k3==c1--}--");

  std::atomic<int> ready{0};
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      ++ready;
      while (ready.load() < kThreads) std::this_thread::yield();
      for (int round = 0; round < kRounds; ++round) {
        AlertDefinitions target{};
        target.combination = 9;
        const bool ok = (round + t) % 2 == 0
                            ? GetFuncDefinition(text, target)
                            : GetFilterDefinition(text, target);
        if (!ok || target.combination != 1 ||
            target.definitions != expected_parse.definitions) {
          ++wrong;
        }
        std::string out = "thread's own string";
        const bool wrote = (round + t) % 2 == 0
                               ? SetFuncDefinition(out, source)
                               : SetFilterDefinition(out, source);
        if (!wrote || out != expected_text) ++wrong;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
