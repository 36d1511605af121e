// The tool's input and output: a file or a standard stream read line by line
// or whole, and an output that never destroys what it replaces.
#ifndef VANTREL_TOOLS_FILES_H_
#define VANTREL_TOOLS_FILES_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "text.h"

namespace vantrel::cli {

// A failure that ends the command with exit code 2: unreadable input, bad
// JSON, bytes the --bytes mode cannot carry, an output that cannot be
// written.
using InputError = vantrel::rules::InputError;

// The text of a whole file without its line ending (the rules library's,
// which the WebAssembly module shares).
using rules::WithoutFinalLineBreak;

// A file name as messages show it: as it is when it is printable ASCII
// without quotes or backslashes and at most 200 bytes, else quoted, escaped
// and cut (rules::Excerpt), so that no name can drive a terminal or fill
// the screen.
std::string FileName(std::string_view path);

// A file, or standard input for "-". One UTF-8 byte-order mark at its start
// is skipped, whatever is read. A directory is refused (standard input
// too: `< /tmp`), and a failed read names its cause.
class Input {
 public:
  explicit Input(const std::string& path);
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;
  Input(Input&&) = delete;
  Input& operator=(Input&&) = delete;
  ~Input();

  // The file's name for messages (FileName), or "standard input".
  const std::string& label() const { return label_; }
  // All that is left.
  std::string ReadAll();
  // The next line without its line ending (an LF, or a CR and an LF); false
  // at the end. A CR that no LF follows is kept: the last line of a file
  // that ends in a bare CR ends in that CR.
  bool NextLine(std::string& line);

 private:
  bool Fill();  // reads more into buffer_; false at the end

  int fd_ = -1;
  bool owned_ = false;
  bool ended_ = false;
  std::string label_;
  std::string buffer_;
  std::size_t start_ = 0;  // where the unread part of buffer_ begins
};

// For tests only: `hook` runs before each write of an Output's bytes to a
// file (its temporary file, or the target of an update in place), given
// the number of such writes before it; nullptr removes it.
void SetFileWriteHookForTesting(void (*hook)(std::size_t writes));

// Where the command's result goes. There are two kinds:
//
// A stream, written as it is: standard output for "-"; the open descriptor
// for /dev/stdout, /dev/stderr, /dev/stdin, /dev/fd/N and /proc/self/fd/N
// (named so or reached through links: never what the descriptor leads to,
// so `-o /dev/stdout >> app.log` appends, and a pipe works); anything else
// that exists and is not a regular file (a device such as /dev/null, a
// FIFO, a terminal), which is opened and never renamed over, unlinked or
// made a regular file. A stream receives nothing before Release() or
// Commit(), so a command that fails half way leaves no half JSON document
// there, only whole rows that were released.
//
// A file: a regular file, or a new one. The bytes go to a temporary file,
// and the target changes only in Commit(), all at once; an Output destroyed
// without Commit() leaves the target as it was (and removes the temporary
// file, unless KeepTemporary() was called).
// - Symbolic links are followed (a chain too) and the file they lead to is
//   written; a dangling link creates its target. The links stay links.
// - Commit() renames the temporary file ".NAME.vantrel-XXXXXX", made beside
//   the target, over it, with the old file's mode (and, when run as root,
//   its owner and group). A new file gets mode 0666 less the umask. So
//   `format -o rule.txt rule.txt` may read the file it replaces.
// - A file with more than one name (hard links), or that cannot be renamed
//   over (its folder is not writable, or is sticky like /tmp and neither is
//   the user's), is updated in place, so that every name sees the new
//   content and the file keeps its inode, owner, mode and ACLs: the
//   temporary file (beside the target, or in $TMPDIR or /tmp when the
//   folder is not writable) gathers the whole new content, and Commit()
//   copies it over the target with SIGINT, SIGTERM and SIGHUP held back,
//   removing the temporary file only once the copy is complete. One of
//   those signals at any moment leaves the old or the new content whole
//   (the process then dies of it; SIGKILL or a crash during the copy can
//   still leave the target half written). Space for the new content is
//   reserved before the copy where the file system allows; if the copy
//   fails all the same (an I/O error), the temporary file is kept and named
//   in the message.
// - A target that cannot be written is refused by the constructor, before
//   any work is done: a directory, a missing folder, a file the user may
//   not write (root may write any file, as with the shell's `>`), a folder
//   for the temporary file that cannot take one (named with the cause).
// - "" is refused: it names no file ("-" is standard output).
//
// The temporary file is removed by the destructor unless committed or
// kept, and also when the process is ended by SIGINT, SIGTERM, SIGHUP or
// SIGPIPE before Commit() (the handler removes it, then dies of the signal
// as it would have; a signal that was ignored at start, as under nohup,
// stays ignored).
//
// Every failed write (EIO, ENOSPC, EPIPE, a closed standard output) is an
// InputError naming the cause: "cannot write the output: No space left on
// device".
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
  // may be sent to a stream now; it is sent once enough has gathered.
  // Changes nothing for a file, which only Commit() replaces.
  void Release();
  // Completes the output: the file is replaced, or the rest is sent to the
  // stream; for standard output, std::cout and C's stdout are flushed first
  // (FlushStandardOutput). Throws InputError when any of it fails, so a
  // caller that commits before writing its summary learns of the failure
  // first. After Commit() nothing more may be written.
  void Commit();
  // Instead of Commit(), for a command that must not replace its target:
  // the new content written so far is left in the temporary file, whose
  // path is returned ("" for a stream, which has none). The target stays as
  // it was. After it nothing more may be written.
  std::string KeepTemporary();

  // Flushes std::cout and C's stdout (what --help and --version print) and
  // throws InputError if standard output could not take it all.
  static void FlushStandardOutput();

 private:
  enum class Kind { kStream, kFile, kDone };
  void OpenStream(int fd, bool owned);
  void OpenTemporary(const std::string& folder, bool beside_target);
  void Send(std::string_view bytes);
  void CopyInto();
  void Discard() noexcept;
  [[noreturn]] void Fail(const std::string& reason);

  Kind kind_ = Kind::kDone;
  int fd_ = -1;         // the stream, or the temporary file
  bool owned_ = false;  // a stream the Output opened (and so closes)
  bool in_place_ = false;
  std::string label_;   // the path for messages (FileName)
  std::string target_;  // a file's path, the symbolic links followed
  std::string temp_;
  std::string buffer_;
  int slot_ = -1;  // where the signal handler finds temp_
};

}  // namespace vantrel::cli

#endif  // VANTREL_TOOLS_FILES_H_
