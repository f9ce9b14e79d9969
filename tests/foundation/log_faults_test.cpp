// The log when the system lets it down: a rename refused (as Windows refuses
// to replace a file that a log viewer holds open) and a process killed in the
// middle of a session. The test binary puts its own rename() in front of the
// C library's, which refuses the renames a test names.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include <fmt/format.h>

#include "foundation/log.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/temp_folder.h"
#include "tests/support/thrown_text.h"

namespace {
// A rename from or to a file of this name fails with EBUSY.
char refusedRenameName[64] = {};

bool hasFileName(const char* path, const char* name) {
  return name[0] != '\0' && std::filesystem::path(path).filename() == name;
}
}  // namespace

extern "C" int rename(const char* from, const char* to) {
  if (hasFileName(from, refusedRenameName) || hasFileName(to, refusedRenameName)) {
    errno = EBUSY;
    return -1;
  }
  return static_cast<int>(syscall(SYS_renameat, AT_FDCWD, from, AT_FDCWD, to));
}

namespace crv {
namespace {

using testing::readFile;
using testing::readTextFile;
using testing::TempFolder;
using testing::writeFile;

class LogFaultsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    closeLog();
    refusedRenameName[0] = '\0';
  }
  // The file's bytes, "(missing)" when there is none.
  std::string contentOf(const char* name) const {
    return std::filesystem::exists(folder / name) ? readFile(folder / name) : "(missing)";
  }
  std::set<std::string> fileNames() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }
  TempFolder folder;
  std::filesystem::path logPath = folder / "Log.txt";
};

// Each backup is a copy that takes its place by a rename: a rename refused
// leaves that backup as it was and names it, and the log itself is never
// moved. The first copy is made before the second can fail, so the oldest
// log may then be given up.
TEST_F(LogFaultsTest, ACopyThatCannotTakeItsPlaceIsNamedAndLeavesTheLogInPlace) {
  struct Case {
    const char* refused;  // the file whose rename fails
    bool fullDisk;        // and a copy fails on a full disk
    bool opens;
    const char* failed;  // the copy's file-system error, naming the log that stood in the way ({} the folder)
    const char* log00;   // Log00.txt afterwards
  };
  for (const Case& test :
       {Case{"Log.txt", false, true, "", "run before\n"},
        Case{"Log0.txt", false, false, "copy_file [{0}/Log.txt] [{0}/Log0.txt]", "run before\n"},
        Case{"Log00.txt", false, false, "copy_file [{0}/Log0.txt] [{0}/Log00.txt]", "oldest\n"},
        Case{"Log.txt", true, false, "copy_file [{0}/Log.txt] [{0}/Log0.txt]", "run before\n"}}) {
    SCOPED_TRACE(std::string(test.refused) + (test.fullDisk ? " on a full disk" : ""));
    const std::string lastRun = "last run\n" + std::string(test.fullDisk ? 100'000 : 0, 'x');
    writeFile(logPath, lastRun);
    writeFile(folder / "Log0.txt", "run before\n");
    writeFile(folder / "Log00.txt", "oldest\n");
    std::strcpy(refusedRenameName, test.refused);
    std::error_code cause;
    std::string failed;
    {
      testing::ScopedFileSizeLimit disk(test.fullDisk ? 4096 : RLIM_INFINITY);
      failed = testing::thrownFileSystemError(
          [this] {
            openLog(logPath);
            gf_logLine("this run");
          },
          &cause);
      closeLog();
    }
    refusedRenameName[0] = '\0';
    EXPECT_EQ(fileNames(), (std::set<std::string>{"Log.txt", "Log0.txt", "Log00.txt"}));
    EXPECT_EQ(contentOf("Log00.txt"), test.log00);
    if (test.opens) {
      EXPECT_EQ(failed, "(nothing thrown)");
      const std::string text = readTextFile(logPath);
      EXPECT_EQ(text.substr(text.find('\n') + 1), "this run\n");
      EXPECT_EQ(contentOf("Log0.txt"), lastRun);
    } else {
      EXPECT_EQ(failed, fmt::format(fmt::runtime(test.failed), folder.path().string()));
      if (!test.fullDisk) {  // the failed copy's cause is the C++ library's to name
        EXPECT_EQ(cause, std::error_code(EBUSY, std::generic_category()));
      }
      EXPECT_EQ(contentOf("Log.txt"), lastRun);
      EXPECT_EQ(contentOf("Log0.txt"), "run before\n");
    }
  }
}

// A process killed in the middle of a session that repeats the ones before
// it: every line it logged is in the file, in order.
TEST_F(LogFaultsTest, ARepeatingSessionKilledMidwayHasEveryLineInTheLog) {
  int written[2];
  ASSERT_EQ(pipe(written), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(written[0]);
    try {
      openLog(logPath);
      for (int session = 0; session < 5; ++session) {
        gf_logLine("Authentication failed: HTTP 500");
        if (session < 4) {
          gf_logLine("Restarting after 15 seconds");
        }
      }
    } catch (...) {
      _exit(4);
    }
    const char done = 1;
    (void)!write(written[1], &done, 1);
    pause();  // killed here, in the fifth session
    _exit(3);
  }
  close(written[1]);
  char done = 0;
  ASSERT_EQ(read(written[0], &done, 1), 1);
  close(written[0]);
  kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;

  const std::string text = readTextFile(logPath);
  std::string expected;
  for (int session = 0; session < 4; ++session) {
    expected += "Authentication failed: HTTP 500\nRestarting after 15 seconds\n";
  }
  EXPECT_EQ(text.substr(text.find('\n') + 1), expected + "Authentication failed: HTTP 500\n");
}

}  // namespace
}  // namespace crv
