// The program's entry: one instance, a log that cannot be opened or a
// missing simulator library, the window's stored place.

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <thread>
#include <sstream>
#include <string>
#include <system_error>

#include "app/entry.h"
#include "app/exit_reason.h"
#include "foundation/paths.h"
#include "foundation/session_flags.h"
#include "foundation/status_line.h"
#include "foundation/settings.h"
#include "platform/os/single_instance.h"
#include "tests/support/temp_folder.h"

namespace crv::testing {
namespace {

using namespace std::chrono_literals;

// Each test takes the program's lock in a runtime folder of its own, so
// that tests running side by side do not see each other.
class ScopedRuntimeFolder {
 public:
  explicit ScopedRuntimeFolder(const std::filesystem::path& folder) { setenv("XDG_RUNTIME_DIR", folder.c_str(), 1); }
  ~ScopedRuntimeFolder() { unsetenv("XDG_RUNTIME_DIR"); }
};

TEST(EntryTest, ASecondInstanceReturnsMinusOneAndLeavesTheLogsAlone) {
  TempFolder folder;
  ScopedRuntimeFolder runtime(folder.path());
  ScopedWorkingFolder working(folder.path());
  writeFile(folder / "Log.txt", "running instance\n");
  writeFile(folder / "Log0.txt", "earlier\n");
  const platform::SingleInstanceLock running(kSingleInstanceName);
  ASSERT_TRUE(running.acquired());

  EXPECT_EQ(crvnMain(ProgramOptions{}), -1);
  EXPECT_EQ(readFile(folder / "Log.txt"), "running instance\n");
  EXPECT_EQ(readFile(folder / "Log0.txt"), "earlier\n");
  EXPECT_FALSE(std::filesystem::exists(folder / "Log00.txt"));
}

TEST(EntryTest, ALogThatCannotBeOpenedIsReportedAndEndsTheProgram) {
  TempFolder folder;
  ScopedRuntimeFolder runtime(folder.path());
  ScopedWorkingFolder working(folder.path());
  std::filesystem::create_directories(folder / "Log.txt");  // a folder where the log should be
  std::ostringstream errors;
  ProgramOptions options;
  options.errors = &errors;
  options.showWindow = false;
  EXPECT_EQ(crvnMain(options), 1);
  EXPECT_NE(errors.str().find("CRVN: "), std::string::npos);
  EXPECT_NE(errors.str().find("Log"), std::string::npos);
}

// Runs the whole program on a thread of its own; a program that has not
// ended after the time is closed as by Ctrl-C. Its exit code.
int runProgram(ProgramOptions options, std::chrono::seconds limit, const std::function<void()>& whileRunning = {}) {
  std::atomic<bool> close{false};
  options.closeRequest = &close;
  std::future<int> program = std::async(std::launch::async, [&options] { return crvnMain(options); });
  if (whileRunning) {
    whileRunning();
  }
  if (program.wait_for(limit) != std::future_status::ready) {
    close.store(true);
  }
  return program.get();
}

void resetSessionFlags() {
  clearStopRequest();
  setUserClosedWindow(false);
  sessionEnd().reset();
  sessionEnd().restartPending.store(false);
}

// The error names the log that stood in the way: Log.txt itself, or an
// earlier log that could not be copied (the copy's file-system error).
TEST(EntryTest, WithAWindowALogThatCannotBeOpenedIsShownOnTheErrorLineUntilTheUserCloses) {
  const std::string copyFailed =
      std::filesystem::filesystem_error("copy_file", "Log0.txt", "Log00.txt",
                                        std::make_error_code(std::errc::is_a_directory))
          .what();
  for (const auto& [blocked, failed] :
       {std::pair<const char*, std::string>{"Log.txt", "Failed to write file Log.txt (Is a directory)"},
        std::pair<const char*, std::string>{"Log00.txt", copyFailed}}) {
    SCOPED_TRACE(blocked);
    TempFolder folder;
    ScopedRuntimeFolder runtime(folder.path());
    ScopedWorkingFolder working(folder.path());
    for (const char* log : {"Log.txt", "Log0.txt"}) writeFile(folder / log, log);
    std::filesystem::remove(folder / blocked);
    std::filesystem::create_directories(folder / blocked);
    std::ostringstream errors;
    ProgramOptions options;
    options.errors = &errors;
    options.showWindow = true;
    std::string shown;
    const int code = runProgram(options, 1s, [&shown] {
      const auto deadline = std::chrono::steady_clock::now() + 10s;
      while (errorLineText().empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
      }
      shown = errorLineText();
    });
    EXPECT_EQ(code, kErrorExitCode);
    EXPECT_EQ(shown, failed + "; CRVN does not run without its log");
    EXPECT_TRUE(std::filesystem::is_directory(folder / blocked));
    for (const char* log : {"Log.txt", "Log0.txt"}) {
      if (log != std::string(blocked)) {
        EXPECT_EQ(readFile(folder / log), log);
      }
    }
    EXPECT_TRUE(errorLineText().empty());
  }
}

TEST(EntryTest, AStartProblemEndsTheProgramWithoutTouchingTheLogsAndIsShownWhereTheUserLooks) {
  const std::string problem = "SimConnect.dll not found: is MSFS installed?";
  for (const bool withWindow : {false, true}) {
    SCOPED_TRACE(withWindow ? "with a window" : "headless");
    TempFolder folder;
    ScopedRuntimeFolder runtime(folder.path());
    ScopedWorkingFolder working(folder.path());
    writeFile(folder / "Log.txt", "last run\n");
    std::ostringstream errors;
    ProgramOptions options;
    options.errors = &errors;
    options.showWindow = withWindow;
    options.startProblem = problem;
    std::string shown;
    const int code = runProgram(options, 1s, [&shown, withWindow] {
      const auto deadline = std::chrono::steady_clock::now() + (withWindow ? 10s : 0s);
      while (errorLineText().empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
      }
      shown = errorLineText();
    });
    EXPECT_EQ(code, kErrorExitCode);
    EXPECT_EQ(readFile(folder / "Log.txt"), "last run\n");
    EXPECT_FALSE(std::filesystem::exists(folder / "Log0.txt"));
    if (withWindow) {
      EXPECT_EQ(shown, problem);
      EXPECT_TRUE(errorLineText().empty());
    } else {
      EXPECT_EQ(errors.str(), "CRVN: " + problem + "\n");
    }
  }
}

// A program folder without its docs folder (error 41 ends the session at
// once), a data folder and a lock of its own.
class ProgramFolderWithoutDocs {
 public:
  ProgramFolderWithoutDocs() {
    setDataFolderPath(folder / "appdata" / "CRVN");
    resetSessionFlags();
  }
  ~ProgramFolderWithoutDocs() {
    setDataFolderPath({});
    resetSessionFlags();
  }
  ProgramFolderWithoutDocs(const ProgramFolderWithoutDocs&) = delete;
  ProgramFolderWithoutDocs& operator=(const ProgramFolderWithoutDocs&) = delete;

  TempFolder folder;

 private:
  ScopedRuntimeFolder runtime_{folder.path()};
  ScopedWorkingFolder working_{folder.path()};
};

// The options of a run that checks no versions, with the texts it prints
// kept for the test: headless (its summary lines kept too), or with the
// window wanted.
struct TestRun {
  enum class Window { none, wanted };
  explicit TestRun(Window window = Window::none) {
    options.session.checkVersions = {};
    options.errors = &errors;
    if (window == Window::none) {
      options.summary = &summary;
    } else {
      options.showWindow = true;
    }
  }
  TestRun(const TestRun&) = delete;
  TestRun& operator=(const TestRun&) = delete;

  std::ostringstream errors;
  std::ostringstream summary;
  ProgramOptions options;
};

// Sets an environment variable for a test and gives it back as it was,
// unset included.
class ScopedEnvironmentVariable {
 public:
  ScopedEnvironmentVariable(const char* name, const char* value) : name_(name) {
    if (const char* before = std::getenv(name)) {
      before_ = before;
    }
    setenv(name, value, 1);
  }
  ~ScopedEnvironmentVariable() {
    if (before_) {
      setenv(name_, before_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> before_;
};

TEST(EntryTest, HeadlessAnErrorIsPrintedOnceAndTheProgramEndsWithAFailure) {
  const ProgramFolderWithoutDocs program;
  const TempFolder& folder = program.folder;
  TestRun run;
  const std::ostringstream& errors = run.errors;
  const ProgramOptions& options = run.options;
  const auto started = std::chrono::steady_clock::now();

  EXPECT_EQ(runProgram(options, 20s), kErrorExitCode);

  EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
  const std::string line = "CRVN: Error 41: CRVN must be run from the CRVN folder!\n";
  EXPECT_EQ(errors.str(), line);
  EXPECT_NE(readFile(folder / "Log.txt").find("Exiting: SYSTEM ERROR"), std::string::npos);
}

// The log's lines after its header.
std::string linesAfterTheHeader(const std::string& log) { return log.substr(log.find('\n') + 1); }

TEST(EntryTest, AWindowWantedThatCannotBeMadeEndsTheStartWithOneLogLineAndTouchesNothing) {
  const ProgramFolderWithoutDocs program;
  const TempFolder& folder = program.folder;
  const ScopedEnvironmentVariable noDisplay("DISPLAY", "");
  TestRun run(TestRun::Window::wanted);
  const std::ostringstream& errors = run.errors;
  const ProgramOptions& options = run.options;

  EXPECT_EQ(runProgram(options, 20s), 0);

  EXPECT_EQ(linesAfterTheHeader(readFile(folder / "Log.txt")), "initInstance failed\n");
  EXPECT_FALSE(std::filesystem::exists(folder / "appdata")) << "the data folder is not touched";
  EXPECT_EQ(errors.str(), "") << "no session ran to show an error";
  EXPECT_EQ(sessionEnd().reason(), ExitReason::notYetSet);
}

TEST(EntryTest, ADataFolderThatCannotBeMadeIsLoggedWithTheFileSystemErrorAndNoSessionStarts) {
  const ProgramFolderWithoutDocs program;
  const TempFolder& folder = program.folder;
  writeFile(folder / "appdata", "a file where the folder's parent should be");
  TestRun run;
  const std::ostringstream& summary = run.summary;
  const ProgramOptions& options = run.options;

  EXPECT_EQ(runProgram(options, 20s), 0);

  EXPECT_EQ(linesAfterTheHeader(readFile(folder / "Log.txt")),
            fmt::format("Failed to create directory: filesystem error: cannot create directories: Not a directory "
                        "[{}]\n",
                        (folder / "appdata" / "CRVN").string()));
  EXPECT_EQ(summary.str(), "");
}

TEST(EntryTest, TheWindowOpensAtItsStoredPlaceOrAtTheDefaultsForABoundValue) {
  TempFolder folder;
  setDataFolderPath(folder / "CRVN");
  const std::pair<std::string, std::pair<int, int>> cases[] = {
      {"", {400, 20}},
      {"<parameters><parameter name=\"MAIN_WINDOW_X\" value=\"120\"/>"
       "<parameter name=\"MAIN_WINDOW_Y\" value=\"-30000\"/></parameters>",
       {120, 20}},
      {"<parameters><parameter name=\"MAIN_WINDOW_X\" value=\"30000\"/></parameters>", {400, 20}},
  };
  for (const auto& [file, place] : cases) {
    par_MAIN_WINDOW_X.setValue(400);
    par_MAIN_WINDOW_Y.setValue(20);
    std::filesystem::remove_all(folder / "CRVN");
    if (!file.empty()) {
      writeFile(folder / "CRVN" / "parameters.xml", file);
    }
    readWindowPosition();
    EXPECT_EQ(par_MAIN_WINDOW_X.value(), place.first) << file;
    EXPECT_EQ(par_MAIN_WINDOW_Y.value(), place.second) << file;
  }
  setDataFolderPath({});
}

TEST(SingleInstanceLockTest, TheNameIsFreeAgainOnceTheHolderGoes) {
  TempFolder folder;
  ScopedRuntimeFolder runtime(folder.path());
  EXPECT_EQ(platform::lockFileNameFor("Local\\$Corvane$"), "Local__Corvane_.lock");
  {
    const platform::SingleInstanceLock first("crvn-test-lock");
    ASSERT_TRUE(first.acquired());
    const platform::SingleInstanceLock second("crvn-test-lock");
    EXPECT_FALSE(second.acquired());
    EXPECT_EQ(second.lastError(), 183U);
  }
  const platform::SingleInstanceLock again("crvn-test-lock");
  EXPECT_TRUE(again.acquired());
}

}  // namespace
}  // namespace crv::testing
