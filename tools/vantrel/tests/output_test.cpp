// The tool's input and output files (files.h), in a temporary folder: the
// output never destroys what it writes to (links, devices, FIFOs, read-only
// files, signals, full disks), and the input keeps a CR that ends a file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "files.h"

namespace vantrel::cli {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string FolderOfPath(const std::string& path) {
  return std::filesystem::path(path).parent_path().string();
}

std::string ReadAllFrom(int fd) {
  std::string text;
  std::array<char, 4096> chunk{};
  ssize_t got = 0;
  while ((got = read(fd, chunk.data(), chunk.size())) > 0) {
    text.append(chunk.data(), static_cast<std::size_t>(got));
  }
  return text;
}

void WriteOutput(const std::string& path, const std::string& text) {
  Output output(path);
  output.Write(text);
  output.Commit();
}

struct stat LinkInfo(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
  return info;
}

// What the test's own streams hold goes out now, not a second time from a
// child that flushes standard output.
void FlushBeforeFork() {
  std::cout.flush();
  static_cast<void>(std::fflush(stdout));
}

// The exit code of `body` run in a child process (-signal if it died of
// one). The child ends with _exit, so nothing of the parent's runs twice.
int InChild(const std::function<int()>& body) {
  FlushBeforeFork();
  const pid_t pid = fork();
  if (pid == 0) {
    int code = 100;
    try {
      code = body();
    } catch (...) {
      code = 101;
    }
    _exit(code);
  }
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, 0), pid);
  return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
}

// The message of the InputError that `body` throws, or "" if none.
std::string ErrorOf(const std::function<void()>& body) {
  try {
    body();
  } catch (const InputError& error) {
    return error.what();
  }
  return "";
}

constexpr int kSkipped = 77;

class OutputFile : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vantrel-output-XXXXXX")
            .string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::string At(const std::string& name) const { return folder_ + "/" + name; }

  // The temporary files left in the folder (and its subfolders).
  std::vector<std::string> TemporaryFiles() const {
    std::vector<std::string> left;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(folder_)) {
      const std::string name = entry.path().filename().string();
      if (name.find(".vantrel-") != std::string::npos) left.push_back(name);
    }
    return left;
  }

  std::string folder_;
};

TEST_F(OutputFile, WritesThroughAChainOfSymbolicLinks) {
  WriteFile(At("rule.txt"), "old");
  ASSERT_EQ(symlink("rule.txt", At("second").c_str()), 0);
  ASSERT_EQ(symlink(At("second").c_str(), At("first").c_str()), 0);  // absolute
  WriteOutput(At("first"), "new");
  EXPECT_EQ(ReadFile(At("rule.txt")), "new");
  EXPECT_TRUE(S_ISLNK(LinkInfo(At("first")).st_mode));
  EXPECT_TRUE(S_ISLNK(LinkInfo(At("second")).st_mode));
  EXPECT_TRUE(S_ISREG(LinkInfo(At("rule.txt")).st_mode));
  EXPECT_EQ(std::filesystem::read_symlink(At("second")), "rule.txt");
  EXPECT_TRUE(TemporaryFiles().empty());
}

TEST_F(OutputFile, ARelativeLinkIsReadFromItsOwnFolder) {
  std::filesystem::create_directories(At("links"));
  std::filesystem::create_directories(At("rules"));
  WriteFile(At("rules/rule.txt"), "old");
  ASSERT_EQ(symlink("../rules/rule.txt", At("links/rule").c_str()), 0);
  WriteOutput(At("links/rule"), "new");
  EXPECT_EQ(ReadFile(At("rules/rule.txt")), "new");
  EXPECT_TRUE(S_ISLNK(LinkInfo(At("links/rule")).st_mode));
  EXPECT_FALSE(std::filesystem::exists(At("links/rule.txt")));
}

TEST_F(OutputFile, ADanglingLinkCreatesItsTarget) {
  std::filesystem::create_directories(At("rules"));
  ASSERT_EQ(symlink("rules/new.txt", At("link").c_str()), 0);
  WriteOutput(At("link"), "new");
  EXPECT_EQ(ReadFile(At("rules/new.txt")), "new");
  EXPECT_TRUE(S_ISLNK(LinkInfo(At("link")).st_mode));
  EXPECT_TRUE(TemporaryFiles().empty());
}

TEST_F(OutputFile, ALinkLoopIsRefused) {
  ASSERT_EQ(symlink("b", At("a").c_str()), 0);
  ASSERT_EQ(symlink("a", At("b").c_str()), 0);
  EXPECT_EQ(ErrorOf([&] { Output output(At("a")); }),
            "cannot write " + At("a") + ": Too many levels of symbolic links");
}

TEST_F(OutputFile, EveryHardLinkSeesTheNewContent) {
  WriteFile(At("rule.txt"), "old content, longer than the new");
  ASSERT_EQ(link(At("rule.txt").c_str(), At("other.txt").c_str()), 0);
  const ino_t inode = LinkInfo(At("rule.txt")).st_ino;
  {
    Output output(At("rule.txt"));
    output.Write("new");
    EXPECT_EQ(ReadFile(At("other.txt")), "old content, longer than the new")
        << "nothing changes before Commit";
    output.Commit();
  }
  EXPECT_EQ(ReadFile(At("rule.txt")), "new");
  EXPECT_EQ(ReadFile(At("other.txt")), "new");
  EXPECT_EQ(LinkInfo(At("rule.txt")).st_ino, inode);
  EXPECT_EQ(LinkInfo(At("rule.txt")).st_nlink, 2U);
  EXPECT_TRUE(TemporaryFiles().empty());
}

// A file its user may write in a folder they may not: the file is updated in
// place, the temporary file kept in the temporary folder meanwhile.
TEST_F(OutputFile, AFileInAnUnwritableFolderIsUpdatedInPlace) {
  std::filesystem::create_directories(At("locked"));
  const std::string rule = At("locked/rule.txt");
  WriteFile(rule, "old");
  ASSERT_EQ(chmod(folder_.c_str(), 0755), 0);
  const bool root = geteuid() == 0;
  // Root may write any folder: the file is given to nobody, who runs it.
  ASSERT_EQ(root ? chown(rule.c_str(), 65534, 65534)
                 : chmod(At("locked").c_str(), 0555),
            0);
  const ino_t inode = LinkInfo(rule).st_ino;
  const int code = InChild([&] {
    if (root && (setgid(65534) != 0 || setuid(65534) != 0)) return kSkipped;
    WriteOutput(rule, "new");
    return 0;
  });
  ASSERT_EQ(chmod(At("locked").c_str(), 0755), 0);
  if (code == kSkipped) GTEST_SKIP() << "cannot run as an unprivileged user";
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadFile(rule), "new");
  EXPECT_EQ(LinkInfo(rule).st_ino, inode);
  EXPECT_TRUE(TemporaryFiles().empty());
  for (const auto& entry : std::filesystem::directory_iterator(
           std::filesystem::temp_directory_path())) {
    EXPECT_EQ(entry.path().filename().string().rfind(".rule.txt.vantrel-", 0),
              std::string::npos);
  }
}

TEST_F(OutputFile, AFifoIsWrittenDirectly) {
  ASSERT_EQ(mkfifo(At("pipe").c_str(), 0600), 0);
  std::string got;
  std::thread reader([&] {
    const int fd = open(At("pipe").c_str(), O_RDONLY);
    got = ReadAllFrom(fd);
    close(fd);
  });
  const std::string text(100000, 'x');  // more than a pipe holds
  WriteOutput(At("pipe"), text);
  reader.join();
  EXPECT_EQ(got, text);
  EXPECT_TRUE(S_ISFIFO(LinkInfo(At("pipe")).st_mode));
  EXPECT_TRUE(TemporaryFiles().empty());
}

TEST_F(OutputFile, ADeviceIsWrittenDirectly) {
  struct stat null_info {};
  ASSERT_EQ(stat("/dev/null", &null_info), 0);
  if (mknod(At("null").c_str(), S_IFCHR | 0666, null_info.st_rdev) != 0) {
    GTEST_SKIP() << "mknod is not permitted here: " << std::strerror(errno);
  }
  WriteOutput(At("null"), "gone");
  const struct stat after = LinkInfo(At("null"));
  EXPECT_TRUE(S_ISCHR(after.st_mode));
  EXPECT_EQ(after.st_rdev, null_info.st_rdev);
  EXPECT_TRUE(TemporaryFiles().empty());
  // Through a link too.
  ASSERT_EQ(symlink("null", At("link").c_str()), 0);
  WriteOutput(At("link"), "gone");
  EXPECT_TRUE(S_ISCHR(LinkInfo(At("null")).st_mode));
  EXPECT_TRUE(S_ISLNK(LinkInfo(At("link")).st_mode));
}

TEST_F(OutputFile, ARegularFileKeepsItsMode) {
  WriteFile(At("rule.txt"), "old");
  ASSERT_EQ(chmod(At("rule.txt").c_str(), 0640), 0);
  WriteOutput(At("rule.txt"), "new");
  EXPECT_EQ(ReadFile(At("rule.txt")), "new");
  EXPECT_EQ(LinkInfo(At("rule.txt")).st_mode & 07777U, 0640U);

  const mode_t mask = umask(027);
  WriteOutput(At("new.txt"), "new");
  static_cast<void>(umask(mask));
  EXPECT_EQ(LinkInfo(At("new.txt")).st_mode & 07777U, 0640U) << "0666 & ~027";
}

TEST_F(OutputFile, ReadOnlyFileIsRefusedAndUntouched) {
  WriteFile(At("rule.txt"), "old");
  ASSERT_EQ(chmod(At("rule.txt").c_str(), 0444), 0);
  ASSERT_EQ(chmod(folder_.c_str(), 0777), 0);  // writable by anyone
  // Root may write any file, so the refusal is tried as someone else.
  const std::string expected =
      "cannot write " + At("rule.txt") + ": Permission denied";
  const int code = InChild([&] {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
      return kSkipped;
    return ErrorOf([&] { Output output(At("rule.txt")); }) == expected ? 0 : 1;
  });
  if (code == kSkipped) GTEST_SKIP() << "cannot run as an unprivileged user";
  EXPECT_EQ(code, 0) << "expected: " << expected;
  EXPECT_EQ(ReadFile(At("rule.txt")), "old");
  EXPECT_EQ(LinkInfo(At("rule.txt")).st_mode & 07777U, 0444U);
  EXPECT_TRUE(TemporaryFiles().empty());
}

TEST_F(OutputFile, DirectoriesAndMissingFoldersAreRefused) {
  std::filesystem::create_directories(At("dir"));
  EXPECT_EQ(ErrorOf([&] { Output output(At("dir")); }),
            At("dir") + " is a directory");
  EXPECT_EQ(
      ErrorOf([&] { Output output(At("missing/rule.txt")); }),
      "cannot write " + At("missing/rule.txt") + ": No such file or directory");
  WriteFile(At("file"), "");
  EXPECT_EQ(ErrorOf([&] { Output output(At("file/rule.txt")); }),
            "cannot write " + At("file/rule.txt") + ": Not a directory");
  EXPECT_TRUE(TemporaryFiles().empty());
}

// Root may write any folder: a child that must meet a folder it cannot write
// runs as nobody. False when it cannot become them.
bool AsNobody() {
  return geteuid() != 0 || (setgid(65534) == 0 && setuid(65534) == 0);
}

// A file its user may write in a folder they may not: root gives the file to
// nobody (who runs the child, AsNobody), anyone else locks the folder.
void LockFolderOf(const std::string& folder, const std::string& rule) {
  ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
  ASSERT_EQ(geteuid() == 0 ? chown(rule.c_str(), 65534, 65534)
                           : chmod(FolderOfPath(rule).c_str(), 0555),
            0);
}

// Every kind of file target is left as it was by an Output that is not
// committed (with some of the new content already in the temporary file),
// and KeepTemporary() leaves the new content in a file of its own.
TEST_F(OutputFile, NothingChangesWithoutCommit) {
  struct Case {
    const char* kind;
    std::function<std::string()> make;  // gives the path to write
    bool locked;                        // the child runs as nobody
  };
  const std::string old = "old";
  const std::vector<Case> cases = {
      {"a new file", [&] { return At("new.txt"); }, false},
      {"a regular file",
       [&] {
         WriteFile(At("rule.txt"), old);
         return At("rule.txt");
       },
       false},
      {"a file with hard links",
       [&] {
         WriteFile(At("rule.txt"), old);
         EXPECT_EQ(link(At("rule.txt").c_str(), At("other.txt").c_str()), 0);
         return At("rule.txt");
       },
       false},
      {"a symbolic link",
       [&] {
         WriteFile(At("rule.txt"), old);
         EXPECT_EQ(symlink("rule.txt", At("link").c_str()), 0);
         return At("link");
       },
       false},
      {"a file in a folder its user cannot write",
       [&] {
         std::filesystem::create_directories(At("locked"));
         WriteFile(At("locked/rule.txt"), old);
         LockFolderOf(folder_, At("locked/rule.txt"));
         std::filesystem::create_directories(At("tmp"));
         EXPECT_EQ(chmod(At("tmp").c_str(), 0777), 0);
         return At("locked/rule.txt");
       },
       true},
  };
  const std::string text(200000, 'x');  // some of it in the temporary file
  for (const Case& c : cases) {
    for (const bool keep : {false, true}) {
      const std::string path = c.make();
      const bool existed = std::filesystem::exists(path);
      const int code = InChild([&] {
        if (c.locked && !AsNobody()) return kSkipped;
        // NOLINTNEXTLINE(concurrency-mt-unsafe): the child has one thread
        setenv("TMPDIR", At("tmp").c_str(), 1);
        Output output(path);
        output.Write(text);
        if (!keep) return TemporaryFiles().size() == 1 ? 0 : 1;
        const std::string kept = output.KeepTemporary();
        const bool whole = !kept.empty() && ReadFile(kept) == text;
        static_cast<void>(unlink(kept.c_str()));
        return whole ? 0 : 2;
      });
      static_cast<void>(chmod(At("locked").c_str(), 0755));
      if (code == kSkipped) continue;
      EXPECT_EQ(code, 0) << c.kind << (keep ? ", kept" : "");
      EXPECT_EQ(std::filesystem::exists(path), existed) << c.kind;
      if (existed) {
        EXPECT_EQ(ReadFile(path), old) << c.kind;
      }
      EXPECT_TRUE(TemporaryFiles().empty()) << c.kind;
      std::filesystem::remove_all(folder_);
      std::filesystem::create_directories(folder_);
    }
  }
}

// The write that the hook of the child below raises SIGTERM before.
std::size_t kill_before = 0;
void RaiseTerm(std::size_t writes) {
  if (writes == kill_before) static_cast<void>(raise(SIGTERM));
}
std::size_t writes_seen = 0;
void CountWrites(std::size_t writes) { writes_seen = writes + 1; }

// An update in place killed by SIGTERM before each of its writes (to the
// temporary file, then over the target): the target holds the old content
// or the new one, whole, every time, and no temporary file is left. The
// old content is the longer, so that a half copy would show. The targets:
// a file with two names; a file in a folder its user cannot write (the
// temporary file in $TMPDIR); and, as root, a file of someone else's that
// nobody may write, in a sticky folder (the temporary file beside it).
TEST_F(OutputFile, AKilledUpdateInPlaceLeavesOldOrNewContent) {
  constexpr std::size_t kChunks = 40;
  const std::string piece(std::size_t{1} << 16, 'n');
  std::string fresh;
  for (std::size_t i = 0; i < kChunks; ++i) fresh += piece;
  const std::string old((kChunks + 3) << 16, 'o');
  auto write_fresh = [&](const std::string& path) {
    Output output(path);
    for (std::size_t i = 0; i < kChunks; ++i) output.Write(piece);
    const std::size_t before_commit = writes_seen;
    output.Commit();
    return before_commit;
  };
  // How many writes there are, and how many of them gather the new content.
  WriteFile(At("count.txt"), old);
  ASSERT_EQ(link(At("count.txt").c_str(), At("count2.txt").c_str()), 0);
  SetFileWriteHookForTesting(CountWrites);
  const std::size_t gathering = write_fresh(At("count.txt"));
  const std::size_t writes = writes_seen;
  SetFileWriteHookForTesting(nullptr);
  ASSERT_EQ(ReadFile(At("count2.txt")), fresh);
  ASSERT_GT(writes, gathering + kChunks / 2) << "the copy is written too";

  std::filesystem::create_directories(At("locked"));
  std::filesystem::create_directories(At("tmp"));
  ASSERT_EQ(chmod(At("tmp").c_str(), 0777), 0);
  WriteFile(At("locked/rule.txt"), old);
  LockFolderOf(folder_, At("locked/rule.txt"));
  WriteFile(At("rule.txt"), old);
  ASSERT_EQ(link(At("rule.txt").c_str(), At("link.txt").c_str()), 0);
  struct Target {
    std::string path;
    std::string other_name;  // "" when none
    bool locked;             // run as nobody
  };
  std::vector<Target> targets = {{At("rule.txt"), At("link.txt"), false},
                                 {At("locked/rule.txt"), "", true}};
  if (geteuid() == 0) {
    std::filesystem::create_directories(At("sticky"));
    ASSERT_EQ(chmod(At("sticky").c_str(), 01777), 0);
    WriteFile(At("sticky/rule.txt"), old);
    ASSERT_EQ(chown(At("sticky/rule.txt").c_str(), 65533, 65533), 0);
    ASSERT_EQ(chmod(At("sticky/rule.txt").c_str(), 0666), 0);
    targets.push_back({At("sticky/rule.txt"), "", true});
  }
  std::vector<std::string> failures;
  std::size_t tried = 0;
  std::size_t skipped = 0;  // targets left out: cannot run as nobody
  for (const Target& target : targets) {
    const ino_t inode = LinkInfo(target.path).st_ino;
    for (std::size_t at = 0; at < writes; ++at) {
      const int code = InChild([&] {
        if (target.locked && !AsNobody()) return kSkipped;
        // NOLINTNEXTLINE(concurrency-mt-unsafe): the child has one thread
        setenv("TMPDIR", At("tmp").c_str(), 1);
        kill_before = at;
        SetFileWriteHookForTesting(RaiseTerm);
        write_fresh(target.path);
        return 0;
      });
      if (code == kSkipped) {
        ++skipped;
        break;
      }
      ++tried;
      const std::string& expected = at < gathering ? old : fresh;
      const std::string got = ReadFile(target.path);
      const std::string where = target.path + ", killed before write " +
                                std::to_string(at) + " of " +
                                std::to_string(writes);
      if (code != -SIGTERM) failures.push_back(where + ": not killed");
      if (got != expected) {
        failures.push_back(where + ": " + std::to_string(got.size()) +
                           " bytes, not the " +
                           (at < gathering ? "old" : "new") + " content");
      }
      if (!target.other_name.empty() && ReadFile(target.other_name) != got) {
        failures.push_back(where + ": the other name differs");
      }
      if (!TemporaryFiles().empty()) {
        failures.push_back(where + ": a temporary file is left");
      }
      if (LinkInfo(target.path).st_ino != inode) {
        failures.push_back(where + ": replaced, not updated in place");
      }
      WriteFile(target.path, old);
    }
  }
  EXPECT_EQ(tried, (targets.size() - skipped) * writes);
  EXPECT_GE(tried, writes);
  EXPECT_TRUE(failures.empty()) << failures.size() << " of " << tried
                                << " kills failed; first: " << failures.front();
}

TEST_F(OutputFile, TheTemporaryFileGoesWithASignal) {
  WriteFile(At("rule.txt"), "old");
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
    const int code = InChild([&] {
      Output output(At("rule.txt"));
      output.Write(std::string(200000, 'x'));
      raise(signal_number);
      return 0;
    });
    EXPECT_EQ(code, -signal_number)
        << "it dies of the signal " << signal_number;
    EXPECT_TRUE(TemporaryFiles().empty())
        << "after the signal " << signal_number;
    EXPECT_EQ(ReadFile(At("rule.txt")), "old");
  }
  // A signal that was ignored stays ignored, and the output completes.
  const int code = InChild([&] {
    static_cast<void>(std::signal(SIGHUP, SIG_IGN));
    Output output(At("rule.txt"));
    output.Write("new");
    raise(SIGHUP);
    output.Commit();
    return 0;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadFile(At("rule.txt")), "new");
  // The handlers go with the last temporary file.
  struct sigaction after {};
  { WriteOutput(At("rule.txt"), "newer"); }
  ASSERT_EQ(sigaction(SIGTERM, nullptr, &after), 0);
  EXPECT_EQ(after.sa_handler, SIG_DFL);
}

TEST_F(OutputFile, AFullDeviceIsAnError) {
  if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  EXPECT_EQ(ErrorOf([] { WriteOutput("/dev/full", "x"); }),
            "cannot write /dev/full: No space left on device");
  // Standard output on /dev/full, then closed.
  const int full = InChild([] {
    const int fd = open("/dev/full", O_WRONLY);
    if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0) return kSkipped;
    return ErrorOf([] { WriteOutput("-", "x"); }) ==
                   "cannot write the output: No space left on device"
               ? 0
               : 1;
  });
  EXPECT_EQ(full, 0);
  const int closed = InChild([] {
    close(STDOUT_FILENO);
    return ErrorOf([] { WriteOutput("-", "x"); }) ==
                   "cannot write the output: Bad file descriptor"
               ? 0
               : 1;
  });
  EXPECT_EQ(closed, 0);
  // What --help prints through std::cout, flushed before the exit code.
  const int help = InChild([] {
    const int fd = open("/dev/full", O_WRONLY);
    if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0) return kSkipped;
    std::cout << "usage: vantrel ...\n";
    return ErrorOf([] { Output::FlushStandardOutput(); }) ==
                   "cannot write the output: No space left on device"
               ? 0
               : 1;
  });
  EXPECT_EQ(help, 0);
}

TEST_F(OutputFile, ABrokenPipeIsAnErrorWhenSigpipeIsIgnored) {
  const int code = InChild([] {
    static_cast<void>(std::signal(SIGPIPE, SIG_IGN));
    std::array<int, 2> ends{};
    if (pipe(ends.data()) != 0 || dup2(ends[1], STDOUT_FILENO) < 0)
      return kSkipped;
    close(ends[0]);
    close(ends[1]);
    return ErrorOf([] { WriteOutput("-", "x"); }) ==
                   "cannot write the output: Broken pipe"
               ? 0
               : 1;
  });
  EXPECT_EQ(code, 0);
  // And by default the process ends of SIGPIPE, as the usual tools do.
  const int quiet = InChild([] {
    std::array<int, 2> ends{};
    if (pipe(ends.data()) != 0 || dup2(ends[1], STDOUT_FILENO) < 0)
      return kSkipped;
    close(ends[0]);
    close(ends[1]);
    WriteOutput("-", "x");
    return 0;
  });
  EXPECT_EQ(quiet, -SIGPIPE);
}

// What standard output receives from a child: before Commit, nothing (a
// failed command leaves no half document); after Release, what is complete.
TEST_F(OutputFile, StandardOutputGetsOnlyWhatIsComplete) {
  auto output_of = [](const std::function<void()>& body) {
    std::array<int, 2> ends{};
    EXPECT_EQ(pipe(ends.data()), 0);
    FlushBeforeFork();
    const pid_t pid = fork();
    if (pid == 0) {
      dup2(ends[1], STDOUT_FILENO);
      close(ends[0]);
      close(ends[1]);
      body();
      _exit(0);
    }
    close(ends[1]);
    std::string got = ReadAllFrom(ends[0]);
    close(ends[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return got;
  };
  EXPECT_EQ(output_of([] {
              Output output("-");
              output.Write("{\"half\": ");
            }),
            "");
  EXPECT_EQ(output_of([] {
              Output output("-");
              output.Write("{}");
              output.Commit();
            }),
            "{}");
  const std::string rows(70000, 'r');
  EXPECT_EQ(output_of([&] {
              Output output("-");
              output.Write(rows);
              output.Release();
              output.Write("unfinished");
            }),
            rows);
}

// A path that names a descriptor is written through that descriptor, never
// by replacing or reopening what it leads to: `-o /dev/stdout >> app.log`
// appends to app.log, and a pipe works.
TEST_F(OutputFile, ADescriptorPathWritesToTheOpenDescriptor) {
  struct Case {
    std::string path;  // {fd} stands for the descriptor's number
    int fd;            // where the log is opened in the child
  };
  ASSERT_EQ(symlink("/dev/stdout", At("out").c_str()), 0);
  const std::vector<Case> cases = {
      {"/dev/stdout", STDOUT_FILENO},
      {"/dev/stderr", STDERR_FILENO},
      {"/dev/fd/{fd}", 7},
      {"/proc/self/fd/{fd}", 7},
      {At("out"), STDOUT_FILENO},
  };
  for (const Case& c : cases) {
    std::string path = c.path;
    if (const std::size_t at = path.find("{fd}"); at != std::string::npos) {
      path.replace(at, 4, std::to_string(c.fd));
    }
    WriteFile(At("app.log"), "earlier\n");
    const ino_t inode = LinkInfo(At("app.log")).st_ino;
    const int code = InChild([&] {
      const int log = open(At("app.log").c_str(), O_WRONLY | O_APPEND);
      if (log < 0 || dup2(log, c.fd) < 0) return kSkipped;
      WriteOutput(path, "new\n");
      return 0;
    });
    EXPECT_EQ(code, 0) << path;
    EXPECT_EQ(ReadFile(At("app.log")), "earlier\nnew\n") << path;
    EXPECT_EQ(LinkInfo(At("app.log")).st_ino, inode) << path;
    EXPECT_TRUE(TemporaryFiles().empty()) << path;
  }
  // Into a pipe, which has no name to reopen.
  std::array<int, 2> ends{};
  ASSERT_EQ(pipe(ends.data()), 0);
  const std::string fd_path = "/dev/fd/" + std::to_string(ends[1]);
  EXPECT_EQ(InChild([&] {
              close(ends[0]);
              WriteOutput(fd_path, "piped");
              return 0;
            }),
            0);
  close(ends[1]);
  EXPECT_EQ(ReadAllFrom(ends[0]), "piped");
  close(ends[0]);
  // A descriptor that is not open, or not open for writing.
  EXPECT_EQ(ErrorOf([] { Output output("/dev/fd/987"); }),
            "cannot write /dev/fd/987: Bad file descriptor");
  EXPECT_EQ(InChild([] {
              const int fd = open("/dev/null", O_RDONLY);
              if (fd < 0 || dup2(fd, STDIN_FILENO) < 0) return kSkipped;
              return ErrorOf([] { Output output("/dev/stdin"); }) ==
                             "cannot write /dev/stdin: Bad file descriptor"
                         ? 0
                         : 1;
            }),
            0);
}

TEST_F(OutputFile, MessagesNameTheRealCause) {
  EXPECT_EQ(ErrorOf([] { Output output(""); }),
            R"(the output file name is empty ("-" is standard output))");
  // A name that would drive a terminal is quoted and escaped.
  EXPECT_EQ(ErrorOf([&] { Output output(At("a\x1B]0;x\x07/rule.txt")); }),
            "cannot write " + rules::Excerpt(At("a\x1B]0;x\x07/rule.txt")) +
                ": No such file or directory");
  // The temporary folder of an update in place is the one to blame.
  std::filesystem::create_directories(At("locked"));
  const std::string rule = At("locked/rule.txt");
  WriteFile(rule, "old");
  LockFolderOf(folder_, rule);
  const std::string expected =
      "cannot write " + rule +
      ": its folder is not writable, and no temporary file can be made in "
      "/nonexistent/: No such file or directory";
  const int code = InChild([&] {
    if (!AsNobody()) return kSkipped;
    // NOLINTNEXTLINE(concurrency-mt-unsafe): the child has one thread
    setenv("TMPDIR", "/nonexistent", 1);
    return ErrorOf([&] { WriteOutput(rule, "new"); }) == expected ? 0 : 1;
  });
  ASSERT_EQ(chmod(At("locked").c_str(), 0755), 0);
  if (code == kSkipped) GTEST_SKIP() << "cannot run as an unprivileged user";
  EXPECT_EQ(code, 0) << "expected: " << expected;
  EXPECT_EQ(ReadFile(rule), "old");
}

TEST_F(OutputFile, InputRefusesADirectoryAndQuotesNames) {
  EXPECT_EQ(ErrorOf([&] { Input input(folder_); }),
            folder_ + " is a directory, not a file");
  EXPECT_EQ(InChild([&] {
              const int fd = open(folder_.c_str(), O_RDONLY | O_DIRECTORY);
              if (fd < 0 || dup2(fd, STDIN_FILENO) < 0) return kSkipped;
              return ErrorOf([] { Input input("-"); }) ==
                             "standard input is a directory, not a file"
                         ? 0
                         : 1;
            }),
            0);
  EXPECT_EQ(ErrorOf([] { Input input("a\x1B]0;x\x07"); }),
            R"(cannot open "a\u001b]0;x\u0007": No such file or directory)");
  const std::string long_name(300, 'n');
  EXPECT_EQ(
      ErrorOf([&] { Input input(long_name); }),
      "cannot open " + rules::Excerpt(long_name) + ": File name too long");
}

TEST(InputLines, OnlyAnLfOrACrlfEndsALine) {
  const std::string path =
      (std::filesystem::temp_directory_path() / "vantrel-input-lines.txt")
          .string();
  auto lines_of = [&](const std::string& text) {
    WriteFile(path, text);
    Input input(path);
    std::vector<std::string> lines;
    std::string line;
    while (input.NextLine(line)) lines.push_back(line);
    return lines;
  };
  using Lines = std::vector<std::string>;
  EXPECT_EQ(lines_of("a\r\nb\nc\r"), (Lines{"a", "b", "c\r"}));
  EXPECT_EQ(lines_of("--#--A--#----{--x--}----}--\r"),
            (Lines{"--#--A--#----{--x--}----}--\r"}));
  EXPECT_EQ(lines_of("a\r\r\n"), (Lines{"a\r"}));
  EXPECT_EQ(lines_of("a\rb\n"), (Lines{"a\rb"}));
  EXPECT_EQ(lines_of("a\n"), (Lines{"a"}));
  EXPECT_EQ(lines_of("a\r\n\r\n"), (Lines{"a", ""}));
  EXPECT_EQ(lines_of("\xEF\xBB\xBFx\r"), (Lines{"x\r"}));
  EXPECT_EQ(lines_of("\r"), (Lines{"\r"}));
  EXPECT_EQ(lines_of(""), Lines{});
  std::filesystem::remove(path);
}

TEST(InputLines, AWholeTextLosesOneFinalLfOrCrlf) {
  EXPECT_EQ(WithoutFinalLineBreak("rule\n"), "rule");
  EXPECT_EQ(WithoutFinalLineBreak("rule\r\n"), "rule");
  EXPECT_EQ(WithoutFinalLineBreak("rule\r"), "rule\r");
  EXPECT_EQ(WithoutFinalLineBreak("rule\n\n"), "rule\n");
  EXPECT_EQ(WithoutFinalLineBreak("rule\r\n\r\n"), "rule\r\n");
  EXPECT_EQ(WithoutFinalLineBreak("rule\r\r\n"), "rule\r");
  EXPECT_EQ(WithoutFinalLineBreak("rule\n\r"), "rule\n\r");
  EXPECT_EQ(WithoutFinalLineBreak("rule"), "rule");
  EXPECT_EQ(WithoutFinalLineBreak("\n"), "");
  EXPECT_EQ(WithoutFinalLineBreak(""), "");
}

}  // namespace
}  // namespace vantrel::cli
