// Reading the input, writing the output, and showing pieces of input in
// messages.
#ifndef VANTREL_TOOLS_IO_H_
#define VANTREL_TOOLS_IO_H_

#include <cstddef>
#include <fstream>
#include <istream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "text.h"

namespace vantrel_cli {

// A failure that ends the command with exit code 2: unreadable input, bad
// JSON, bytes the --bytes mode cannot carry, an output that cannot be
// written.
using InputError = vantrel::rules::InputError;

// A file, or standard input for "-". One UTF-8 byte-order mark at its start
// is skipped, whatever is read.
class Input {
 public:
  explicit Input(const std::string& path);
  const std::string& label() const { return label_; }
  // All that is left.
  std::string ReadAll();
  // The next line without its LF or CRLF; false at the end.
  bool NextLine(std::string& line);

 private:
  std::ifstream file_;
  std::istream* in_ = nullptr;
  std::string label_;
  std::string pending_;  // the first bytes, when they began like a BOM
};

// Standard output, or a file that is replaced only when Commit() is called:
// the bytes go to a temporary file in the same folder, which Commit()
// renames over the target (and the destructor removes otherwise). So
// `vantrel format -o rule.txt` may read rule.txt itself.
class Output {
 public:
  explicit Output(const std::string& path);
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  Output(Output&&) = delete;
  Output& operator=(Output&&) = delete;
  ~Output();
  void Write(std::string_view bytes);
  void Commit();

 private:
  void Flush();
  void Discard() noexcept;
  int fd_ = 1;  // standard output, or the temporary file
  std::string path_;
  std::string temp_;
  std::string buffer_;
};

// Bytes shown in a message: a JSON-style quoted string, ASCII only (control
// characters and everything above 0x7E escaped, bytes that are not UTF-8
// shown as U+FFFD), cut after kExcerptBytes bytes with the full length
// stated: "abc..." (5000 bytes).
inline constexpr std::size_t kExcerptBytes = 60;
std::string Quote(std::string_view bytes);
std::string Excerpt(std::string_view bytes);

// The bytes of a message window around offset `at`: from a little before it,
// kExcerptBytes long.
std::string_view Around(std::string_view bytes, std::size_t at);

}  // namespace vantrel_cli

namespace vantrel::cli {
using vantrel_cli::Input;
using vantrel_cli::Output;
}  // namespace vantrel::cli

#endif  // VANTREL_TOOLS_IO_H_
