#include "foundation/log.h"

#include <gtest/gtest.h>

#include <csignal>
#include <regex>
#include <utility>

#ifndef _WIN32
#include <sys/resource.h>
#endif
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/session_flags.h"
#include "tests/support/temp_folder.h"
#include "tests/support/thrown_text.h"

namespace crv {
namespace {

using testing::readFile;
using testing::TempFolder;
using testing::writeFile;

std::vector<std::string> fileLines(const std::filesystem::path& path) {
  std::istringstream text(readFile(path));
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

class LogTest : public ::testing::Test {
 protected:
  void TearDown() override {
    closeLog();
    clearStopRequest();
    setUserClosedWindow(false);
  }
  TempFolder folder;
  std::filesystem::path logPath = folder / "Log.txt";
};

TEST_F(LogTest, ThreeStartsKeepTheTwoEarlierLogs) {
  for (const char* run : {"first", "second", "third"}) {
    openLog(logPath);
    gf_logLine(run);
    closeLog();
  }
  EXPECT_EQ(fileLines(logPath).at(1), "third");
  EXPECT_EQ(fileLines(folder / "Log0.txt").at(1), "second");
  EXPECT_EQ(fileLines(folder / "Log00.txt").at(1), "first");
}

TEST_F(LogTest, WithoutALogTheFirstBackupIsCopiedNotMoved) {
  writeFile(folder / "Log0.txt", "older\n");
  openLog(logPath);
  closeLog();
  EXPECT_EQ(readFile(folder / "Log0.txt"), "older\n");
  EXPECT_EQ(readFile(folder / "Log00.txt"), "older\n");
}

TEST_F(LogTest, ASessionIsTheHeaderAndThePrefixedLinesOfItsOwnTime) {
  gf_logLine("before");
  openLog(logPath);
  gf_logLine("");
  gf_logWarning("x");
  gf_logIndented("y");
  gf_logLine("plain");
  closeLog();
  gf_logWarning("after");

  const auto lines = fileLines(logPath);
  ASSERT_EQ(lines.size(), 5U);
  const std::regex header(R"(^(Mon|Tue|Wed|Thu|Fri|Sat|Sun) [A-Z][a-z]{2} \d\d \d\d:\d\d:\d\d \d{4} \(utc\) CRVN version 11\.0\.2 for MSFS 2020/2024$)");
  EXPECT_TRUE(std::regex_match(lines[0], header)) << lines[0];
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()),
            (std::vector<std::string>{"", "===> x", "          y", "plain"}));
}

TEST_F(LogTest, UnlessStoppingIsSilentOnceEitherFlagIsSet) {
  openLog(logPath);
  gf_logLineUnlessStopping("running");
  raiseStop();
  gf_logLineUnlessStopping("stopping");
  gf_logLine("still written");
  clearStopRequest();
  setUserClosedWindow(true);
  gf_logLineUnlessStopping("closed");
  closeLog();
  const std::string text = readFile(logPath);
  EXPECT_NE(text.find("running"), std::string::npos);
  EXPECT_EQ(text.find("stopping"), std::string::npos);
  EXPECT_NE(text.find("still written"), std::string::npos);
  EXPECT_EQ(text.find("closed"), std::string::npos);
}

TEST_F(LogTest, AnUnwritableLogThrowsWithItsPath) {
  const auto missing = folder / "no-such-folder" / "Log.txt";
  EXPECT_EQ(testing::thrownText<std::runtime_error>([&] { openLog(missing); }), "Failed to write file " + missing.string());
  EXPECT_FALSE(isLogOpen());
}

// A full disk is played by the size limit of the files this process writes,
// which Windows does not have.
#ifndef _WIN32
// The size any file this process writes may reach, as a full disk would
// allow; restored at the end of the scope.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &previous_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~ScopedFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit previous_{};
  void (*previousHandler_)(int) = nullptr;
};

TEST_F(LogTest, AFullDiskLeavesBothEarlierLogsWhole) {
  const std::string lastRun = "last run\n" + std::string(200'000, 'x') + "\n";
  writeFile(logPath, lastRun);
  writeFile(folder / "Log0.txt", "the run before\n");
  {
    const ScopedFileSizeLimit nearlyFull(4096);
    openLog(logPath);
    gf_logLine("this run");
    closeLog();
  }
  EXPECT_EQ(readFile(folder / "Log0.txt"), lastRun);
  EXPECT_EQ(readFile(folder / "Log00.txt"), "the run before\n");
  EXPECT_EQ(fileLines(logPath).at(1), "this run");
}
#endif

TEST_F(LogTest, ALogThatCannotBeOpenedSaysWhy) {
  const auto missing = folder / "no-such-folder" / "Log.txt";
  try {
    openLog(missing);
    FAIL() << "opened";
  } catch (const LogOpenError& error) {
    EXPECT_EQ(std::string(error.what()), "Failed to write file " + missing.string());
    EXPECT_EQ(error.cause(), "No such file or directory");
  }
}

TEST_F(LogTest, LinesFromManyThreadsNeverInterleave) {
  openLog(logPath);
  constexpr int kThreads = 8;
  constexpr int kLines = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      const std::string line(40, static_cast<char>('a' + t));
      for (int i = 0; i < kLines; ++i) gf_logWarning(line);
    });
  }
  for (auto& thread : threads) thread.join();
  closeLog();
  const auto lines = fileLines(logPath);
  ASSERT_EQ(lines.size(), 1U + kThreads * kLines);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    ASSERT_EQ(lines[i].size(), 45U);
    ASSERT_EQ(lines[i].substr(5), std::string(40, lines[i][5]));
  }
}

TEST(LogExcerptTest, OutsideTextIsCutAtACharacterBoundaryAndNamesItsLength) {
  EXPECT_EQ(logExcerpt("short"), "short");
  const std::string exact(kLogExcerptBytes, 'a');
  EXPECT_EQ(logExcerpt(exact), exact);
  // "é" is two bytes: one that would straddle the cut is left out whole.
  const std::string text = std::string(kLogExcerptBytes - 1, 'a') + "\xC3\xA9" + std::string(1000, 'b');
  EXPECT_EQ(logExcerpt(text), std::string(kLogExcerptBytes - 1, 'a') + "... (1301 bytes)");
}

TEST(LogExcerptTest, BytesThatAreNoUtf8AreEscapedAndCharactersKept) {
  const std::pair<std::string, std::string> cases[] = {
      {"EHAM \xFF\xFE gate", "EHAM \\xFF\\xFE gate"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x9B\xAB", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x9B\xAB"},
      {"overlong \xC0\xAF", "overlong \\xC0\\xAF"},
      {"surrogate \xED\xA0\x80", "surrogate \\xED\\xA0\\x80"},
      {"cut \xC3", "cut \\xC3"},
      {"latin-1 M\xFCnchen", "latin-1 M\\xFCnchen"},
  };
  for (const auto& [text, logged] : cases) EXPECT_EQ(logExcerpt(text), logged);
  // A long text of bytes that are no UTF-8 is cut and escaped, not emptied.
  const std::string junk(1000, '\x80');
  EXPECT_EQ(logExcerpt(junk).substr(0, 8), "\\x80\\x80");
}

}  // namespace
}  // namespace crv
