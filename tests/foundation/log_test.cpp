#include "foundation/log.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <regex>
#include <utility>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "foundation/line_end.h"
#include "foundation/session_flags.h"
#include "foundation/status_line.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/temp_folder.h"
#include "tests/support/thrown_text.h"
#include "tests/support/unprivileged_user.h"

namespace crv {
namespace {

using testing::readFile;
using testing::TempFolder;
using testing::writeFile;

std::vector<std::string> fileLines(const std::filesystem::path& path) {
  std::istringstream text(testing::readTextFile(path));
  std::vector<std::string> lines;
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

class LogTest : public ::testing::Test {
 protected:
  void TearDown() override {
    closeLog();
    clearErrorLine();
    clearStatusLine();
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

// A reader that follows Log.txt (a viewer, tail -f) goes on with the new
// run: the earlier run is copied aside, the file itself emptied in place.
TEST_F(LogTest, AReaderOfTheLogGoesOnWithTheNewRun) {
  writeFile(logPath, "last run\n");
  std::ifstream reader(logPath, std::ios::binary);
  ASSERT_TRUE(reader.is_open());
  openLog(logPath);
  gf_logLine("this run");
  closeLog();
  reader.seekg(0);
  const std::string seen{std::istreambuf_iterator<char>(reader), std::istreambuf_iterator<char>()};
  EXPECT_NE(seen.find("this run"), std::string::npos) << seen;
  EXPECT_EQ(readFile(folder / "Log0.txt"), "last run\n");
}

TEST_F(LogTest, WithoutALogAFailedCopyOfTheFirstBackupStopsTheStart) {
  writeFile(folder / "Log0.txt", "older\n");
  std::filesystem::create_directories(folder / "Log00.txt");
  EXPECT_EQ(testing::thrownFileSystemError([&] { openLog(logPath); }),
            fmt::format("copy_file [{}] [{}]", (folder / "Log0.txt").string(), (folder / "Log00.txt").string()));
  EXPECT_FALSE(isLogOpen());
  EXPECT_EQ(readFile(folder / "Log0.txt"), "older\n");
  EXPECT_FALSE(std::filesystem::exists(logPath));
}

// An earlier log the user made read-only is not replaced: its copy fails as
// an open for writing would (a user whom permissions bind; on Windows the
// read-only mark), and no log is lost.
TEST_F(LogTest, AReadOnlyEarlierLogIsNotReplacedAndItsCopyFails) {
#ifdef _WIN32
  const std::error_code permissionDenied(5, std::system_category());  // ERROR_ACCESS_DENIED
#else
  const std::error_code permissionDenied(EACCES, std::generic_category());
#endif
  for (const auto& [frozen, copied] : {std::pair{"Log0.txt", "Log.txt"}, std::pair{"Log00.txt", "Log0.txt"}}) {
    SCOPED_TRACE(frozen);
    const TempFolder logs;
    testing::handToUnprivilegedUser(logs.path());
    for (const char* name : {"Log.txt", "Log0.txt", "Log00.txt"}) {
      writeFile(logs / name, name);
      testing::handToUnprivilegedUser(logs / name);
    }
    std::filesystem::permissions(logs / frozen, std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                                    std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    const std::string thrown = testing::runAsUnprivilegedUser([&logs] {
      std::error_code code;
      const std::string what = testing::thrownFileSystemError([&logs] { openLog(logs / "Log.txt"); }, &code);
      return what + " (" + code.message() + ")";
    });
    EXPECT_EQ(thrown, fmt::format("copy_file [{}] [{}] ({})", (logs / copied).string(), (logs / frozen).string(),
                                  permissionDenied.message()));
    EXPECT_EQ(readFile(logs / "Log.txt"), "Log.txt");
    EXPECT_EQ(readFile(logs / frozen), frozen);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(logs.path()), {}), 3);
    for (const char* name : {"Log.txt", "Log0.txt", "Log00.txt"}) {
      std::filesystem::permissions(logs / name, std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    }
  }
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

#ifndef _WIN32
using testing::ScopedFileSizeLimit;

// Whether a log is there cannot be told (its name is too long for the
// file system): the test's own error comes out of openLog.
TEST_F(LogTest, ALogThatCannotBeTestedForThrowsTheExistsError) {
  const auto unnamable = folder / (std::string(300, 'L') + ".txt");
  EXPECT_EQ(testing::thrownFileSystemError([&] { openLog(unnamable); }), fmt::format("exists [{}]", unnamable.string()));
  EXPECT_FALSE(isLogOpen());
}

TEST_F(LogTest, AFullDiskLeavesBothEarlierLogsWhole) {
  const std::string lastRun = "last run\n" + std::string(200'000, 'x') + "\n";
  writeFile(logPath, lastRun);
  writeFile(folder / "Log0.txt", "the run before\n");
  {
    const ScopedFileSizeLimit nearlyFull(4096);
    EXPECT_EQ(testing::thrownFileSystemError([&] { openLog(logPath); }),
              fmt::format("copy_file [{}] [{}]", logPath.string(), (folder / "Log0.txt").string()));
  }
  // The copy cut short took no backup's place, and the last run stands.
  EXPECT_EQ(readFile(logPath), lastRun);
  EXPECT_EQ(readFile(folder / "Log0.txt"), "the run before\n");
  EXPECT_EQ(readFile(folder / "Log00.txt"), "the run before\n");
  EXPECT_FALSE(std::filesystem::exists(folder / "Log0.txt.new"));
}

TEST_F(LogTest, AFullDiskTearsNoLineMarksTheGapAndTheLogGoesOnOnceSpaceReturns) {
  openLog(logPath);
  gf_logLine("before");
  const std::string cut = "cut by the full disk " + std::string(100, 'c');
  {
    ScopedFileSizeLimit full(std::filesystem::file_size(logPath) + 10);
    gf_logLine(cut);
    EXPECT_NE(errorLineText().find("Writing " + logPath.string() + " failed (File too large)"), std::string::npos)
        << errorLineText();
    gf_logLine("lost");
    gf_logWarning("lost too");
    full.lift();
    gf_logLine("after");
  }
  closeLog();
  // The two lines and the error line's own log line were lost.
  EXPECT_EQ(fileLines(logPath), (std::vector<std::string>{fileLines(logPath).at(0), "before", cut,
                                                          "===> 3 lines lost", "after"}));
  EXPECT_EQ(errorLineText(), "");
  EXPECT_EQ(statusLineText(), logPath.string() + " is written again; lines lost: 3");
}

TEST_F(LogTest, TheLinesLostBeforeTheLogClosesAreCounted) {
  openLog(logPath);
  {
    const ScopedFileSizeLimit full(std::filesystem::file_size(logPath));
    gf_logLine("kept");
    gf_logLine("lost");
  }
  closeLog();
  clearErrorLine();
  EXPECT_EQ(fileLines(logPath).at(1), "kept");
  EXPECT_EQ(fileLines(logPath).at(2), "===> 2 lines lost");
}
#endif

TEST_F(LogTest, EveryLineEndIsTheChosenSystemsLineEnd) {
  for (const bool crlf : {true, false}) {
    useCrLfLineEnds(crlf);
    const std::string end = crlf ? "\r\n" : "\n";
    openLog(logPath);
    gf_logLine("\nbanner");
    gf_logWarning("x");
    closeLog();
    const std::string text = readFile(logPath);
    EXPECT_EQ(text.substr(text.find(end) + end.size()), end + "banner" + end + "===> x" + end) << crlf;
  }
  useCrLfLineEnds(kPlatformCrLfLineEnds);
}

TEST_F(LogTest, EveryLineOfALongRunReachesTheFile) {
  openLog(logPath);
  for (int run = 0; run < 2; ++run) {
    for (int line = 0; line < 5000; ++line) gf_logLine(fmt::format("created aircraft {}", line));
  }
  closeLog();
  EXPECT_EQ(fileLines(logPath).size(), 1U + 2 * 5000U);
}

TEST_F(LogTest, ControlBytesInALineAreEscaped) {
  openLog(logPath);
  gf_logLine(std::string("answer \x1B[2J\r\x07\x7F\0end\tok", 21));
  closeLog();
  EXPECT_EQ(fileLines(logPath).at(1), "answer \\x1B[2J\\x0D\\x07\\x7F\\x00end\tok");
}

TEST_F(LogTest, SessionsThatRepeatTheOneBeforeKeepEveryLineInOrder) {
  openLog(logPath);
  std::vector<std::string> written;
  const auto session = [&written](const std::string& clock, const std::string& failure) {
    for (const std::string& line : {fmt::format("Mon Dec 07 {} 2026 Authentication failed: {}", clock, failure),
                                    std::string("Restarting after 15 seconds")}) {
      gf_logLine(line);
      written.push_back(line);
    }
  };
  session("16:00:00", "HTTP 500");
  for (int repeat = 1; repeat <= 5; ++repeat) session(fmt::format("16:00:{:02}", repeat * 19), "HTTP 500");
  session("16:02:00", "HTTP 503");
  gf_logLine("between");
  written.emplace_back("between");
  session("16:03:00", "HTTP 503");
  closeLog();
  const auto lines = fileLines(logPath);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), written);
}

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
  // Control bytes would steer the terminal or editor that shows the log.
  EXPECT_EQ(logExcerpt(std::string("a\0b\x1B[31m\r\n\x07\x7F\tc", 14)), "a\\x00b\\x1B[31m\\x0D\\x0A\\x07\\x7F\tc");
  // A long text of bytes that are no UTF-8 is cut and escaped, not emptied.
  const std::string junk(1000, '\x80');
  EXPECT_EQ(logExcerpt(junk).substr(0, 8), "\\x80\\x80");
}

}  // namespace
}  // namespace crv
