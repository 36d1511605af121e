// Runs a fuzz target over files, without libFuzzer: every file named on the
// command line, and every regular file below every directory named, in
// sorted order. CTest runs this over the committed corpus in every build, so
// the corpus is a regression suite for every compiler.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size);

namespace {

namespace fs = std::filesystem;

bool Collect(const fs::path& path, std::vector<fs::path>& files) {
  std::error_code error;
  if (fs::is_directory(path, error)) {
    std::vector<fs::path> found;
    for (const fs::directory_entry& entry :
         fs::recursive_directory_iterator(path, error)) {
      if (entry.is_regular_file()) found.push_back(entry.path());
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
    return !error;
  }
  if (fs::is_regular_file(path, error)) {
    files.push_back(path);
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    if (!Collect(argv[i], files)) {
      std::fprintf(stderr, "replay: cannot read %s\n", argv[i]);
      return 2;
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "replay: no input files\n");
    return 2;
  }
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)),
                            std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
      std::fprintf(stderr, "replay: cannot read %s\n", file.string().c_str());
      return 2;
    }
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                           bytes.size());
  }
  std::printf("replay: %zu inputs passed\n", files.size());
  return 0;
}
