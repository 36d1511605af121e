// The tool's input and output: a file or a standard stream read line by line
// or whole, and an output that never destroys what it replaces.
#ifndef VANTREL_TOOLS_FILES_H_
#define VANTREL_TOOLS_FILES_H_

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

// The text of a whole file without its line ending: one final LF or CRLF is
// dropped, nothing else. A final CR alone is part of the rule and stays.
std::string_view WithoutFinalLineBreak(std::string_view text);

// A file, or standard input for "-". One UTF-8 byte-order mark at its start
// is skipped, whatever is read.
class Input {
 public:
  explicit Input(const std::string& path);
  const std::string& label() const { return label_; }
  // All that is left.
  std::string ReadAll();
  // The next line without its line ending (an LF, or a CR and an LF); false
  // at the end. A CR that no LF follows is kept: the last line of a file
  // that ends in a bare CR ends in that CR.
  bool NextLine(std::string& line);

 private:
  std::ifstream file_;
  std::istream* in_ = nullptr;
  std::string label_;
  std::string pending_;  // the first bytes, when they began like a BOM
};

// Where the command's result goes: standard output for "-" or "", else the
// file named, which is never destroyed:
//
// - Symbolic links are followed (a chain too) and the file they lead to is
//   written; a dangling link creates its target. The links stay links.
// - A regular file is replaced only by Commit(): the bytes go to a temporary
//   file ".NAME.vantrel-XXXXXX" beside it, which Commit() renames over it,
//   with the old file's mode (and, when run as root, its owner and group).
//   A new file gets mode 0666 less the umask. So `format -o rule.txt
//   rule.txt` may read the file it replaces, and a failed command leaves it
//   as it was.
// - A regular file with more than one name (hard links), or that cannot be
//   renamed over (its folder is not writable, or is sticky like /tmp and
//   neither is the user's), is updated in place on Commit(), so that every
//   name sees the new content (see CopyInto() in files.cpp).
// - Anything else that exists (a device such as /dev/null, a FIFO, a
//   terminal) is opened and written directly: never renamed over, unlinked
//   or made a regular file.
// - A target that cannot be written is refused by the constructor, before
//   any work is done: a directory, a missing folder, a file the user may
//   not write (root may write any file, as with the shell's `>`).
//
// The temporary file is removed by the destructor unless committed, and
// also when the process is ended by SIGINT, SIGTERM, SIGHUP or SIGPIPE (the
// handler removes it, then dies of the signal as it would have; a signal
// that was ignored at start, as under nohup, stays ignored).
//
// Nothing goes to standard output, a device or a FIFO before Commit() or
// Release(), so a command that fails half way does not leave half a JSON
// document there. Every failed write (EIO, ENOSPC, EPIPE, a closed standard
// output) is an InputError naming the cause: "cannot write the output: No
// space left on device".
//
// A reader that goes away (`vantrel ... | head`): SIGPIPE keeps its default
// action, as in the usual Unix tools, so the command ends quietly at its
// next write, with the status of that signal (128 + 13 in the shell). When
// SIGPIPE is ignored by whoever started the tool, the write fails with EPIPE
// and that is reported like any other failed write (exit code 2).
class Output {
 public:
  explicit Output(const std::string& path);
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  Output(Output&&) = delete;
  Output& operator=(Output&&) = delete;
  ~Output();

  // Appends bytes to the output.
  void Write(std::string_view bytes);
  // Says that what was written so far is complete (a finished batch row) and
  // may be sent to standard output, a device or a FIFO now; it is sent once
  // enough has gathered. Changes nothing for a regular file, which is only
  // replaced by Commit().
  void Release();
  // Completes the output: the file is replaced, or the rest is written; for
  // standard output, std::cout and C's stdout are flushed too
  // (FlushStandardOutput). Throws InputError when any of it fails, so a
  // caller that commits before writing its summary learns of the failure
  // first. After Commit() nothing more may be written.
  void Commit();

  // Flushes std::cout and C's stdout (what --help and --version print) and
  // throws InputError if standard output could not take it all.
  static void FlushStandardOutput();

 private:
  enum class Kind { kStandard, kDirect, kReplace, kInPlace, kDone };
  void OpenTemporary(const std::string& folder);
  void Send(std::string_view bytes);
  void CopyInto();
  void Discard() noexcept;
  [[noreturn]] void Fail(const std::string& reason);

  Kind kind_ = Kind::kStandard;
  int fd_ = -1;         // standard output, the target or the temporary file
  std::string label_;   // the path as given, for messages
  std::string target_;  // the path with the symbolic links followed
  std::string temp_;
  std::string buffer_;
  std::size_t released_ = 0;  // how much of buffer_ may be sent
  int slot_ = -1;             // where the signal handler finds temp_
};

}  // namespace vantrel_cli

namespace vantrel::cli {
using vantrel_cli::Input;
using vantrel_cli::Output;
using vantrel_cli::WithoutFinalLineBreak;
}  // namespace vantrel::cli

#endif  // VANTREL_TOOLS_FILES_H_
