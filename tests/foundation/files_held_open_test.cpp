// A file that another program holds open and shares with nobody, as Windows
// has it.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "foundation/files.h"
#include "tests/support/log_capture.h"
#include "tests/support/temp_folder.h"

namespace crv {
namespace {

// The encoding probe names the Windows error, not the C library's number for
// it.
TEST(FilesHeldOpenTest, AFileThatCannotBeOpenedIsLoggedWithTheWindowsError) {
  testing::TempFolder folder;
  const auto held = folder / "held.cfg";
  testing::writeFile(held, "[fltsim.0]\n");
  const HANDLE holder = ::CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                      nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  testing::LogCapture log;
  constexpr int kSharingViolation = 32;
  constexpr int kPathNotFound = 3;
  EXPECT_EQ(detectCharset(held), Charset::NoneFound);
  ::CloseHandle(holder);
  const auto missing = folder / "no-such-folder" / "x.cfg";
  EXPECT_EQ(detectCharset(missing), Charset::NoneFound);
  EXPECT_EQ(log.missing({"Cannot open file " + held.string() + " for character encoding. Win32 error: " +
                             std::to_string(kSharingViolation) + "\n",
                         "Cannot open file " + missing.string() + " for character encoding. Win32 error: " +
                             std::to_string(kPathNotFound) + "\n"}),
            "");
}

}  // namespace
}  // namespace crv
