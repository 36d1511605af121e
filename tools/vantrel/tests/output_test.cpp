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
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "files.h"

namespace vantrel_cli {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
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

TEST_F(OutputFile, NothingChangesWithoutCommit) {
  WriteFile(At("rule.txt"), "old");
  {
    Output output(At("rule.txt"));
    output.Write(std::string(200000, 'x'));  // some of it in the temporary file
    EXPECT_EQ(TemporaryFiles().size(), 1U);
  }
  EXPECT_EQ(ReadFile(At("rule.txt")), "old");
  {
    Output output(At("new.txt"));
    output.Write("new");
  }
  EXPECT_FALSE(std::filesystem::exists(At("new.txt")));
  EXPECT_TRUE(TemporaryFiles().empty());
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
    return ErrorOf([] { WriteOutput("", "x"); }) ==
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
}  // namespace vantrel_cli
