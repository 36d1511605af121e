// The native side of the WebAssembly module's benchmark (web/bench/): the
// cost of what `vantrel check --json` does for one rule, the library's
// round trip and the report, in the native build. Reads the rule from FILE
// (the final line break dropped, as the tool does), checks it until at
// least SECONDS have passed, and prints the microseconds per check.
//
//   vantrel_check_timing FILE SECONDS
#include <chrono>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "reports.h"
#include "text.h"
#include "text_check.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: vantrel_check_timing FILE SECONDS\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::string file{std::istreambuf_iterator<char>(in),
                         std::istreambuf_iterator<char>()};
  if (!in.good() && !in.eof()) {
    std::cerr << "vantrel_check_timing: cannot read " << argv[1] << "\n";
    return 2;
  }
  const std::string text(vantrel::rules::WithoutFinalLineBreak(file));
  const double seconds = std::stod(argv[2]);
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  std::size_t runs = 0;
  std::size_t bytes = 0;
  double elapsed = 0;
  do {
    const std::string report = vantrel::rules::TextReportJson(
        vantrel::rules::CheckText(vantrel::rules::Kind::Func, text), text,
        vantrel::rules::ByteMode::Utf8);
    bytes += report.size();
    ++runs;
    elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  } while (elapsed < seconds);
  std::cout << elapsed * 1e6 / static_cast<double>(runs) << " " << runs << " "
            << bytes / runs << "\n";
  return 0;
}
