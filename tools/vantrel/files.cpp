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

namespace vantrel::cli {
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

void (*file_write_hook)(std::size_t) = nullptr;
std::size_t file_writes = 0;

// WriteAll for the bytes of a file (the temporary file, or the target of an
// update in place), where a test may step in.
bool WriteToFile(int fd, std::string_view bytes) {
  if (file_write_hook != nullptr) file_write_hook(file_writes++);
  return WriteAll(fd, bytes);
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

// The descriptor that `path` names (/dev/stdout, /dev/fd/3,
// /proc/self/fd/3, /proc/<this process>/fd/3), or -1. These are written
// as open descriptors: what /proc shows behind them is the file, pipe or
// terminal the descriptor leads to, which must not be replaced or reopened.
int DescriptorNamed(const std::string& path) {
  if (path == "/dev/stdin") return STDIN_FILENO;
  if (path == "/dev/stdout") return STDOUT_FILENO;
  if (path == "/dev/stderr") return STDERR_FILENO;
  const std::array<std::string, 4> folders = {
      "/dev/fd/", "/proc/self/fd/", "/proc/thread-self/fd/",
      "/proc/" + std::to_string(getpid()) + "/fd/"};
  for (const std::string& folder : folders) {
    if (path.compare(0, folder.size(), folder) != 0) continue;
    const std::string number = path.substr(folder.size());
    constexpr std::size_t kMostDigits = 9;
    if (number.empty() || number.size() > kMostDigits ||
        number.find_first_not_of("0123456789") != std::string::npos) {
      return -1;
    }
    return std::stoi(number);
  }
  return -1;
}

// Where a chain of symbolic links leads: the first path that is not a link
// (it may not exist, for a dangling link), or a descriptor named on the
// way. Links inside the folders on the way are left to the system, which
// follows them anyway.
struct Target {
  std::string path;
  int fd = -1;
};
Target FollowLinks(const std::string& label, std::string path) {
  constexpr int kMostLinks = 40;  // as Linux's own limit
  for (int hops = 0; hops <= kMostLinks; ++hops) {
    if (const int fd = DescriptorNamed(path); fd >= 0) return {path, fd};
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
      return {path, -1};
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
  // Best effort: a file system without owners (vfat) leaves the file the
  // writer's, which is no reason to refuse the write.
  const bool owner_kept =
      geteuid() != 0 || fchown(fd, old.st_uid, old.st_gid) == 0;
  static_cast<void>(owner_kept);
  return fchmod(fd, old.st_mode & 07777U) == 0;
}

}  // namespace

std::string FileName(std::string_view path) {
  constexpr std::size_t kPlainBytes = 200;
  bool plain = !path.empty() && path.size() <= kPlainBytes;
  for (const char c : path) {
    plain = plain && c >= ' ' && c <= '~' && c != '"' && c != '\\';
  }
  return plain ? std::string(path) : rules::Excerpt(path);
}

void SetFileWriteHookForTesting(void (*hook)(std::size_t writes)) {
  file_write_hook = hook;
  file_writes = 0;
}

Input::Input(const std::string& path)
    : label_(path == "-" ? "standard input" : FileName(path)) {
  if (path == "-") {
    fd_ = STDIN_FILENO;
  } else {
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): no mode is passed
    fd_ = open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) throw InputError("cannot open " + label_ + ": " + Reason());
    owned_ = true;
  }
  struct stat info {};
  if (fstat(fd_, &info) == 0 && S_ISDIR(info.st_mode)) {
    if (owned_) static_cast<void>(close(fd_));
    throw InputError(label_ + " is a directory, not a file");
  }
  // A byte-order mark is skipped; the start of anything else is kept.
  while (buffer_.size() < kBom.size() &&
         kBom.substr(0, buffer_.size()) == buffer_ && Fill()) {
  }
  if (std::string_view(buffer_).substr(0, kBom.size()) == kBom) {
    start_ = kBom.size();
  }
}

Input::~Input() {
  if (owned_) static_cast<void>(close(fd_));
}

bool Input::Fill() {
  if (ended_) return false;
  const std::size_t had = buffer_.size();
  buffer_.resize(had + kChunk);
  ssize_t got = 0;
  do {
    got = read(fd_, &buffer_[had], kChunk);
  } while (got < 0 && errno == EINTR);
  const int error = errno;
  buffer_.resize(had + static_cast<std::size_t>(got < 0 ? 0 : got));
  if (got < 0) {
    throw InputError(
        "cannot read " + label_ + ": " +
        (error == EISDIR ? "it is a directory, not a file" : Reason(error)));
  }
  ended_ = got == 0;
  return got > 0;
}

std::string Input::ReadAll() {
  struct stat info {};
  if (fstat(fd_, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    buffer_.reserve(static_cast<std::size_t>(info.st_size) + kChunk);
  }
  while (Fill()) {
  }
  buffer_.erase(0, std::exchange(start_, 0));
  return std::exchange(buffer_, std::string());
}

bool Input::NextLine(std::string& line) {
  std::size_t scanned = start_;
  for (;;) {
    const std::size_t lf = buffer_.find('\n', scanned);
    if (lf != std::string::npos) {
      line.assign(buffer_, start_, lf - start_);
      // A CR before the LF is half of the line ending.
      if (!line.empty() && line.back() == '\r') line.pop_back();
      start_ = lf + 1;
      return true;
    }
    // Keep only the unread part, then read on.
    buffer_.erase(0, start_);
    start_ = 0;
    scanned = buffer_.size();
    if (!Fill()) break;
  }
  if (buffer_.empty()) return false;
  // The last line, with no LF: a final CR is the rule's own byte.
  line = std::move(buffer_);
  buffer_.clear();
  return true;
}

Output::Output(const std::string& path)
    : label_(path == "-" ? "the output" : FileName(path)) {
  if (path.empty()) {
    throw InputError(
        "the output file name is empty (\"-\" is standard output)");
  }
  if (path == "-") {
    OpenStream(STDOUT_FILENO, false);
    return;
  }
  const Target target = FollowLinks(label_, path);
  if (target.fd >= 0) {
    OpenStream(target.fd, false);
    return;
  }
  target_ = target.path;
  const std::string folder = FolderOf(target_);
  const bool folder_writable =
      Writable(folder.empty() ? "." : folder, W_OK | X_OK);
  struct stat info {};
  if (stat(target_.c_str(), &info) != 0) {
    const int problem =
        errno == ENOENT ? NewFileProblem(folder, folder_writable) : errno;
    if (problem != 0) Fail(Reason(problem));
    OpenTemporary(folder, true);
    if (fchmod(fd_, NewFileMode()) != 0) Fail(Reason());
  } else if (S_ISDIR(info.st_mode)) {
    throw InputError(label_ + " is a directory");
  } else if (!S_ISREG(info.st_mode)) {
    // A device, a FIFO, a terminal: written as it is (a FIFO's open waits
    // for its reader, as the shell's `>` does).
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): no mode is passed
    const int fd = open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) Fail(Reason());
    OpenStream(fd, true);
  } else if (!Writable(target_, W_OK)) {
    Fail(Reason(EACCES));
  } else {
    in_place_ = info.st_nlink > 1 || !MayRename(folder, folder_writable, info);
    OpenTemporary(folder_writable ? folder : FallbackFolder(), folder_writable);
    if (!in_place_ && !TakeOwnerAndMode(fd_, info)) Fail(Reason());
  }
}

void Output::OpenStream(int fd, bool owned) {
  fd_ = fd;
  owned_ = owned;
  kind_ = Kind::kStream;
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): no argument
  const int flags = fcntl(fd_, F_GETFL);
  if (flags < 0) Fail(Reason());
  if ((static_cast<unsigned>(flags) & O_ACCMODE) == O_RDONLY) {
    Fail(Reason(EBADF));
  }
}

void Output::OpenTemporary(const std::string& folder, bool beside_target) {
  // Cut so that the name stays within a file system's 255 bytes.
  constexpr std::size_t kNameBytes = 200;
  temp_ =
      folder + "." + NameOf(target_).substr(0, kNameBytes) + ".vantrel-XXXXXX";
  {
    const SignalsHeld held;
    fd_ = mkostemp(temp_.data(), O_CLOEXEC);
    if (fd_ < 0) {
      const int error = errno;
      temp_.clear();
      Fail(beside_target
               ? Reason(error)
               : "its folder is not writable, and no temporary file can be "
                 "made in " +
                     FileName(folder) + ": " + Reason(error));
    }
    slot_ = NoteTemporary(temp_);
  }
  kind_ = Kind::kFile;
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
  if (fd_ >= 0 && (kind_ == Kind::kFile || owned_)) {
    static_cast<void>(close(fd_));
  }
  if (!temp_.empty()) static_cast<void>(unlink(temp_.c_str()));
  ForgetTemporary(slot_);
  slot_ = -1;
  temp_.clear();
  fd_ = -1;
  owned_ = false;
  kind_ = Kind::kDone;
}

void Output::Fail(const std::string& reason) {
  Discard();
  throw InputError("cannot write " + label_ + ": " + reason);
}

void Output::Write(std::string_view bytes) {
  if (kind_ == Kind::kDone) Fail("it is already complete");
  buffer_.append(bytes);
  if (kind_ == Kind::kFile && buffer_.size() >= kChunk) {
    Send(buffer_);
    buffer_.clear();
  }
}

void Output::Release() {
  if (kind_ != Kind::kStream || buffer_.size() < kChunk) return;
  Send(buffer_);
  buffer_.clear();
}

void Output::Send(std::string_view bytes) {
  if (bytes.empty()) return;
  const bool sent =
      kind_ == Kind::kFile ? WriteToFile(fd_, bytes) : WriteAll(fd_, bytes);
  if (!sent) Fail(Reason());
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
  if (kind_ == Kind::kDone) return;
  if (kind_ == Kind::kStream) {
    if (fd_ == STDOUT_FILENO) FlushStandardOutput();
    Send(buffer_);
    buffer_.clear();
    if (owned_ && close(std::exchange(fd_, -1)) != 0) Fail(Reason());
    Discard();
    return;
  }
  Send(buffer_);
  buffer_.clear();
  if (fsync(fd_) != 0) Fail(Reason());
  // From here on the temporary file is complete: a signal waits until the
  // target is whole again, and until the temporary file is gone or renamed
  // (else the handler would remove it after the rename, or remove the only
  // complete copy during the copy).
  const SignalsHeld held;
  if (in_place_) {
    CopyInto();
  } else if (close(std::exchange(fd_, -1)) != 0 ||
             std::rename(temp_.c_str(), target_.c_str()) != 0) {
    Fail(Reason());
  } else {
    temp_.clear();
  }
  Discard();
}

std::string Output::KeepTemporary() {
  if (kind_ != Kind::kFile) {
    Discard();
    return "";
  }
  Send(buffer_);
  buffer_.clear();
  if (fsync(fd_) != 0 || close(std::exchange(fd_, -1)) != 0) Fail(Reason());
  std::string kept = std::exchange(temp_, std::string());
  Discard();
  return kept;
}

// The update in place (a file with hard links, or in a folder the user
// cannot write), called with the signals held: the complete new content,
// gathered in the temporary file, is written over the target, which is
// then cut to its length. So every name of the file sees the new content,
// and its inode, owner, mode, ACLs and attributes stay. Nothing touches the
// target before its space is reserved; if the copy fails after that (an I/O
// error), the temporary file, which holds all of the new content, is kept
// and named in the message.
void Output::CopyInto() {
  struct stat info {};
  if (fstat(fd_, &info) != 0 || lseek(fd_, 0, SEEK_SET) != 0) Fail(Reason());
  // NOLINTNEXTLINE(cppcoreguidelines-pro-type-vararg): no mode is passed
  const int to = open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (to < 0) Fail(Reason());  // the target is as it was
#ifdef __linux__
  // Blocks for the new content (beyond the old length too), so that a full
  // disk shows before the first byte of the target changes.
  if (info.st_size > 0 &&
      fallocate(to, FALLOC_FL_KEEP_SIZE, 0, info.st_size) != 0 &&
      (errno == ENOSPC || errno == EDQUOT || errno == EFBIG)) {
    const int error = errno;
    static_cast<void>(close(to));
    Fail(Reason(error));
  }
#endif
  std::array<char, kChunk> chunk{};
  bool copied = true;
  while (copied) {
    const ssize_t got = read(fd_, chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      copied = got == 0;
      break;
    }
    copied = WriteToFile(
        to, std::string_view(chunk.data(), static_cast<std::size_t>(got)));
  }
  int error = copied ? 0 : errno;
  if (copied && (ftruncate(to, info.st_size) != 0 || fsync(to) != 0)) {
    copied = false;
    error = errno;
  }
  if (close(to) != 0 && copied) {
    copied = false;
    error = errno;
  }
  if (!copied) {
    // Keep the new content where the user can find it.
    const std::string kept = FileName(std::exchange(temp_, std::string()));
    Discard();
    throw InputError("cannot write " + label_ + ": " + Reason(error) +
                     "; its new content is kept in " + kept);
  }
}

}  // namespace vantrel::cli
