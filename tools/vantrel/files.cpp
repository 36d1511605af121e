#include "files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <utility>
#include <vector>

namespace vantrel_cli {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::size_t kChunk = std::size_t{1} << 16;

std::string Reason(int error) { return std::strerror(error); }
std::string Reason() { return Reason(errno); }

// Writes all of `bytes` to `fd`; false (errno set) when it cannot.
bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t wrote = write(fd, bytes.data(), bytes.size());
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0) return false;
    if (wrote == 0) {
      errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(wrote));
  }
  return true;
}

// The folder part of a path, with its final slash: "" for a bare name.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
  return path.substr(FolderOf(path).size());
}

bool Writable(const std::string& path, int how) {
  // The effective user's rights, as open() will judge them; root passes.
  return faccessat(AT_FDCWD, path.c_str(), how, AT_EACCESS) == 0;
}

// Where a chain of symbolic links leads: the first path that is not a link
// (it may not exist, for a dangling link). Links inside the folders on the
// way are left to the system, which follows them anyway.
std::string FollowLinks(const std::string& label, std::string path) {
  constexpr int kMostLinks = 40;  // as Linux's own limit
  for (int hops = 0; hops <= kMostLinks; ++hops) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      return path;
    }
    std::vector<char> link(static_cast<std::size_t>(info.st_size) + 256);
    ssize_t size = 0;
    while ((size = readlink(path.c_str(), link.data(), link.size())) >= 0 &&
           static_cast<std::size_t>(size) == link.size()) {
      link.resize(link.size() * 2);
    }
    if (size < 0) throw InputError("cannot write " + label + ": " + Reason());
    std::string to(link.data(), static_cast<std::size_t>(size));
    if (to.empty() || to.front() != '/') to.insert(0, FolderOf(path));
    path = std::move(to);
  }
  throw InputError("cannot write " + label + ": " + Reason(ELOOP));
}

mode_t NewFileMode() {
  const mode_t mask = umask(0);
  static_cast<void>(umask(mask));
  return 0666U & ~mask;
}

// The temporary files that a signal must remove, where the handler can read
// them: paths in static buffers, each published by its flag once written.
// The tool has one thread; the handler only reads.
constexpr std::size_t kSlots = 8;
constexpr std::size_t kPathBytes = 4096;
struct Slot {
  volatile std::sig_atomic_t used = 0;
  std::array<char, kPathBytes> path{};
};
std::array<Slot, kSlots> slots;
constexpr std::array<int, 4> kSignals = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
std::array<struct sigaction, kSignals.size()> previous{};
std::array<bool, kSignals.size()> handled{};
std::size_t slots_used = 0;

extern "C" void RemoveTemporaryFiles(int signal_number) {
  for (const Slot& slot : slots) {
    if (slot.used != 0) static_cast<void>(unlink(slot.path.data()));
  }
  // Then end as the signal would have ended the process.
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  static_cast<void>(sigaction(signal_number, &action, nullptr));
  static_cast<void>(raise(signal_number));
}

// The four signals held back while a slot changes, so that no signal comes
// between creating a temporary file and noting it.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal_number : kSignals) sigaddset(&set, signal_number);
    static_cast<void>(sigprocmask(SIG_BLOCK, &set, &before_));
  }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;
  SignalsHeld(SignalsHeld&&) = delete;
  SignalsHeld& operator=(SignalsHeld&&) = delete;
  ~SignalsHeld() {
    static_cast<void>(sigprocmask(SIG_SETMASK, &before_, nullptr));
  }

 private:
  sigset_t before_{};
};

// Notes `path` for the handler (installing it with the first one); the slot,
// or -1 when the path does not fit.
int NoteTemporary(const std::string& path) {
  if (path.size() >= kPathBytes) return -1;
  for (std::size_t n = 0; n < kSlots; ++n) {
    Slot& slot = slots.at(n);
    if (slot.used != 0) continue;
    std::memcpy(slot.path.data(), path.c_str(), path.size() + 1);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    slot.used = 1;
    if (slots_used++ == 0) {
      for (std::size_t s = 0; s < kSignals.size(); ++s) {
        struct sigaction action {};
        action.sa_handler = RemoveTemporaryFiles;
        sigfillset(&action.sa_mask);
        handled.at(s) =
            sigaction(kSignals.at(s), nullptr, &previous.at(s)) == 0 &&
            previous.at(s).sa_handler != SIG_IGN &&
            sigaction(kSignals.at(s), &action, nullptr) == 0;
      }
    }
    return static_cast<int>(n);
  }
  return -1;
}

void ForgetTemporary(int slot) {
  if (slot < 0) return;
  slots.at(static_cast<std::size_t>(slot)).used = 0;
  if (--slots_used == 0) {
    for (std::size_t s = 0; s < kSignals.size(); ++s) {
      if (handled.at(s))
        static_cast<void>(sigaction(kSignals.at(s), &previous.at(s), nullptr));
      handled.at(s) = false;
    }
  }
}

// Why a new file cannot be made at `folder` (an errno value), or 0.
int NewFileProblem(const std::string& folder, bool folder_writable) {
  struct stat info {};
  if (stat(folder.empty() ? "." : folder.c_str(), &info) != 0) return errno;
  if (!S_ISDIR(info.st_mode)) return ENOTDIR;
  return folder_writable ? 0 : EACCES;
}

// Whether a file `old` in `folder` may be renamed over: the folder is
// writable and, if sticky (like /tmp), the file or the folder is the user's.
bool MayRename(const std::string& folder, bool folder_writable,
               const struct stat& old) {
  struct stat info {};
  if (!folder_writable ||
      stat(folder.empty() ? "." : folder.c_str(), &info) != 0) {
    return false;
  }
  const uid_t user = geteuid();
  return (info.st_mode & S_ISVTX) == 0 || user == 0 || old.st_uid == user ||
         info.st_uid == user;
}

// Where the temporary file of an update in place goes when the target's
// own folder cannot take it.
std::string FallbackFolder() {
  const char* tmpdir = std::getenv("TMPDIR");  // NOLINT(concurrency-mt-unsafe)
  std::string folder = tmpdir != nullptr && *tmpdir != '\0' ? tmpdir : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder;
}

// Gives the file `fd` the owner (best effort: only root may give a file
// away) and then the mode of `old`, which chown may have cut.
bool TakeOwnerAndMode(int fd, const struct stat& old) {
  // A failure is ignored on purpose; the test keeps the result used, which
  // fchown's warn_unused_result asks for under _FORTIFY_SOURCE.
  if (geteuid() == 0 && fchown(fd, old.st_uid, old.st_gid) != 0) {
    // Not the owner: the file keeps the one who runs the tool.
  }
  return fchmod(fd, old.st_mode & 07777U) == 0;
}

}  // namespace

std::string_view WithoutFinalLineBreak(std::string_view text) {
  if (text.size() >= 2 && text.substr(text.size() - 2) == "\r\n") {
    text.remove_suffix(2);
  } else if (!text.empty() && text.back() == '\n') {
    text.remove_suffix(1);
  }
  return text;
}

Input::Input(const std::string& path)
    : label_(path == "-" ? "standard input" : path) {
  if (path == "-") {
    in_ = &std::cin;
  } else {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      throw InputError(path + " is a directory, not a file");
    }
    file_.open(path, std::ios::binary);
    if (!file_) throw InputError("cannot open " + path + ": " + Reason());
    in_ = &file_;
  }
  // A byte-order mark is skipped; the start of anything else is kept.
  while (pending_.size() < kBom.size() &&
         in_->peek() == static_cast<unsigned char>(kBom[pending_.size()])) {
    pending_ += static_cast<char>(in_->get());
  }
  if (pending_ == kBom) pending_.clear();
}

std::string Input::ReadAll() {
  std::string text = std::move(pending_);
  std::array<char, kChunk> chunk{};
  while (in_->read(chunk.data(), chunk.size()) || in_->gcount() > 0) {
    text.append(chunk.data(), static_cast<std::size_t>(in_->gcount()));
  }
  if (in_->bad()) throw InputError("cannot read " + label_ + ": " + Reason());
  return text;
}

bool Input::NextLine(std::string& line) {
  if (!std::getline(*in_, line)) {
    if (!pending_.empty()) {
      line = std::move(pending_);
      pending_.clear();
      return true;
    }
    if (in_->bad()) throw InputError("cannot read " + label_ + ": " + Reason());
    return false;
  }
  if (!pending_.empty()) line.insert(0, pending_);
  pending_.clear();
  // getline stops at the end of the input without an LF: then a final CR is
  // the rule's own byte, not half of a CRLF.
  const bool ended_by_lf = !in_->eof();
  if (ended_by_lf && !line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

Output::Output(const std::string& path) : label_(path) {
  if (path.empty() || path == "-") {
    fd_ = STDOUT_FILENO;
    label_ = "the output";
    return;
  }
  target_ = FollowLinks(path, path);
  const std::string folder = FolderOf(target_);
  const bool folder_writable =
      Writable(folder.empty() ? "." : folder, W_OK | X_OK);
  struct stat info {};
  if (stat(target_.c_str(), &info) != 0) {
    const int problem =
        errno == ENOENT ? NewFileProblem(folder, folder_writable) : errno;
    if (problem != 0) Fail(Reason(problem));
    kind_ = Kind::kReplace;
    OpenTemporary(folder);
    if (fchmod(fd_, NewFileMode()) != 0) Fail(Reason());
  } else if (S_ISDIR(info.st_mode)) {
    throw InputError(path + " is a directory");
  } else if (!S_ISREG(info.st_mode)) {
    // A device, a FIFO, a terminal: written as it is (a FIFO's open waits
    // for its reader, as the shell's `>` does).
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): no mode is passed
    fd_ = open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) Fail(Reason());
    kind_ = Kind::kDirect;
  } else if (!Writable(target_, W_OK)) {
    Fail(Reason(EACCES));
  } else if (info.st_nlink > 1 || !MayRename(folder, folder_writable, info)) {
    kind_ = Kind::kInPlace;
    OpenTemporary(folder_writable ? folder : FallbackFolder());
  } else {
    kind_ = Kind::kReplace;
    OpenTemporary(folder);
    if (!TakeOwnerAndMode(fd_, info)) Fail(Reason());
  }
}

void Output::OpenTemporary(const std::string& folder) {
  temp_ = folder + "." + NameOf(target_) + ".vantrel-XXXXXX";
  {
    const SignalsHeld held;
    fd_ = mkostemp(temp_.data(), O_CLOEXEC);
    if (fd_ < 0) {
      temp_.clear();
      Fail(Reason());
    }
    slot_ = NoteTemporary(temp_);
  }
  if (fd_ <= STDERR_FILENO) {
    // Standard output or error was closed: keep the temporary file off
    // their numbers, where other writes would land in it.
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): one int argument
    const int moved = fcntl(fd_, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    static_cast<void>(close(fd_));
    fd_ = moved;
    if (fd_ < 0) Fail(Reason());
  }
}

Output::~Output() { Discard(); }

void Output::Discard() noexcept {
  if (kind_ == Kind::kReplace || kind_ == Kind::kInPlace ||
      kind_ == Kind::kDirect) {
    static_cast<void>(close(fd_));
  }
  if (!temp_.empty()) static_cast<void>(unlink(temp_.c_str()));
  ForgetTemporary(slot_);
  slot_ = -1;
  temp_.clear();
  fd_ = -1;
  kind_ = Kind::kDone;
}

void Output::Fail(const std::string& reason) {
  Discard();
  throw InputError("cannot write " + label_ + ": " + reason);
}

void Output::Write(std::string_view bytes) {
  if (kind_ == Kind::kDone) Fail("it is already complete");
  buffer_.append(bytes);
  if ((kind_ == Kind::kReplace || kind_ == Kind::kInPlace) &&
      buffer_.size() >= kChunk) {
    Send(buffer_);
    buffer_.clear();
  }
}

void Output::Release() {
  if (kind_ == Kind::kDone || buffer_.size() < kChunk) return;
  Send(buffer_);
  buffer_.clear();
}

void Output::Send(std::string_view bytes) {
  if (!WriteAll(fd_, bytes)) Fail(Reason());
}

void Output::FlushStandardOutput() {
  errno = 0;
  std::cout.flush();
  const bool failed =
      std::cout.fail() || std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
  if (failed) {
    throw InputError("cannot write the output: " +
                     Reason(errno != 0 ? errno : EIO));
  }
}

void Output::Commit() {
  switch (kind_) {
    case Kind::kDone:
      return;
    case Kind::kStandard:
      kind_ = Kind::kDone;
      FlushStandardOutput();
      if (!WriteAll(STDOUT_FILENO, buffer_)) Fail(Reason());
      buffer_.clear();
      return;
    case Kind::kDirect:
      Send(buffer_);
      buffer_.clear();
      if (close(std::exchange(fd_, -1)) != 0) Fail(Reason());
      kind_ = Kind::kDone;
      return;
    case Kind::kReplace:
      Send(buffer_);
      buffer_.clear();
      if (fsync(fd_) != 0 || close(std::exchange(fd_, -1)) != 0 ||
          std::rename(temp_.c_str(), target_.c_str()) != 0) {
        Fail(Reason());
      }
      ForgetTemporary(std::exchange(slot_, -1));
      temp_.clear();
      kind_ = Kind::kDone;
      return;
    case Kind::kInPlace:
      Send(buffer_);
      buffer_.clear();
      CopyInto();
      Discard();
      return;
  }
}

// The target of an update in place (a file with hard links, or in a folder
// the user cannot write) keeps its inode: it is truncated and the complete
// new content, gathered in the temporary file, is written into it. So every
// name of the file sees the new content, and its owner, mode, ACLs and
// attributes stay. This copy is not atomic: while it runs, a reader may see
// the file empty or half written, and a crash leaves it so. What the old
// content needed is kept: nothing touches the target before Commit(), and
// if the copy fails (a full disk) the temporary file, which holds all of
// the new content, is kept and named in the message.
void Output::CopyInto() {
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): no mode is passed
  const int to = open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (to < 0) Fail(Reason());  // the target is as it was
  std::array<char, kChunk> chunk{};
  bool copied = lseek(fd_, 0, SEEK_SET) == 0 && ftruncate(to, 0) == 0;
  while (copied) {
    const ssize_t got = read(fd_, chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      copied = got == 0;
      break;
    }
    copied = WriteAll(
        to, std::string_view(chunk.data(), static_cast<std::size_t>(got)));
  }
  int error = copied ? 0 : errno;
  if (copied && fsync(to) != 0) {
    copied = false;
    error = errno;
  }
  if (close(to) != 0 && copied) {
    copied = false;
    error = errno;
  }
  if (!copied) {
    // Keep the new content where the user can find it.
    const std::string kept = temp_;
    static_cast<void>(close(std::exchange(fd_, -1)));
    ForgetTemporary(std::exchange(slot_, -1));
    temp_.clear();
    kind_ = Kind::kDone;
    throw InputError("cannot write " + label_ + ": " + Reason(error) +
                     "; its new content is kept in " + kept);
  }
}

}  // namespace vantrel_cli
