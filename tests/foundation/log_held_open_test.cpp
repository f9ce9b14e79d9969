// Log.txt and its backups held open by another program, as a log viewer
// that follows a file holds it: Windows then replaces it for nobody.

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>

#include <fmt/format.h>

#include "foundation/log.h"
#include "platform/os/system_error_text.h"
#include "tests/support/temp_folder.h"
#include "tests/support/thrown_text.h"

namespace crv {
namespace {

using testing::readFile;
using testing::readTextFile;
using testing::TempFolder;
using testing::writeFile;

// The file opened for reading with the given sharing, as another program
// opens it, until the end of the scope.
class HeldOpen {
 public:
  HeldOpen(const std::filesystem::path& path, DWORD sharing)
      : handle_(::CreateFileW(path.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr)) {}
  ~HeldOpen() {
    if (held()) ::CloseHandle(handle_);
  }
  HeldOpen(const HeldOpen&) = delete;
  HeldOpen& operator=(const HeldOpen&) = delete;
  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

// A viewer on an earlier log (Log0.txt or Log00.txt) keeps its copy from
// taking that log's place: the user reads which log to close. The first copy
// is made before the second can fail, so the oldest log may then be given up.
TEST(LogHeldOpenTest, AViewerThatSharesWritingGetsTheLogAnewOneThatDoesNotIsNamedAndNoLogIsLost) {
  // The system's own words: the file is used by another program, or (a
  // file held open cannot be replaced) access is denied.
  constexpr std::uint32_t kSharingViolation = 32;
  constexpr std::uint32_t kAccessDenied = 5;
  struct Case {
    const char* held;
    DWORD sharing;
    const char* failed;  // what the user reads, or the copy's file-system error ({} the folder); "" where the log opens
    std::uint32_t error;
    const char* log00;  // Log00.txt afterwards
  };
  constexpr DWORD kSharesWriting = FILE_SHARE_READ | FILE_SHARE_WRITE;
  for (const Case& test :
       {Case{"Log.txt", kSharesWriting, "", 0, "run before\n"},
        Case{"Log.txt", FILE_SHARE_READ, "Failed to write file {}\\Log.txt", kSharingViolation, "oldest\n"},
        Case{"Log0.txt", kSharesWriting, "copy_file [{0}\\Log.txt] [{0}\\Log0.txt]", kAccessDenied, "run before\n"},
        Case{"Log00.txt", kSharesWriting, "copy_file [{0}\\Log0.txt] [{0}\\Log00.txt]", kAccessDenied, "oldest\n"}}) {
    SCOPED_TRACE(std::string(test.held) + (test.sharing & FILE_SHARE_WRITE ? " shared for writing" : ""));
    TempFolder folder;
    const auto logPath = folder / "Log.txt";
    writeFile(logPath, "last run\n");
    writeFile(folder / "Log0.txt", "run before\n");
    writeFile(folder / "Log00.txt", "oldest\n");
    std::string cause = "(opened)";
    std::string failed;
    {
      const HeldOpen viewer(folder / test.held, test.sharing);
      ASSERT_TRUE(viewer.held());
      try {
        std::error_code code;
        failed = testing::thrownFileSystemError(
            [&logPath] {
              openLog(logPath);
              gf_logLine("this run");
            },
            &code);
        if (failed == "(nothing thrown)") {
          failed.clear();
        } else {
          cause = platform::systemErrorText(static_cast<std::uint32_t>(code.value()));
        }
      } catch (const LogOpenError& error) {
        cause = error.cause();
        failed = error.what();
      }
      closeLog();
    }
    EXPECT_EQ(readFile(folder / "Log00.txt"), test.log00);
    if (test.failed[0] == '\0') {
      EXPECT_EQ(cause, "(opened)");
      const std::string text = readTextFile(logPath);
      EXPECT_EQ(text.substr(text.find('\n') + 1), "this run\n");
      EXPECT_EQ(readFile(folder / "Log0.txt"), "last run\n");
    } else {
      EXPECT_EQ(failed, fmt::format(fmt::runtime(test.failed), folder.path().string()));
      EXPECT_EQ(cause, platform::systemErrorText(test.error));
      EXPECT_EQ(readFile(logPath), "last run\n");
      EXPECT_EQ(readFile(folder / "Log0.txt"), "run before\n");
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 3);
  }
}

}  // namespace
}  // namespace crv
