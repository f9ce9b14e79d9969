// A kill during the save of a learned airport file. The test binary puts its
// own rename() in front of the C library's: in a forked child it kills the
// process after the new file has been written in full and before it is
// renamed over the old one, the worst moment for a crash.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "airports/apf_reader.h"
#include "airports/learned_save.h"
#include "tests/airports/airport_file_fixtures.h"

namespace {
volatile std::sig_atomic_t killBeforeRename = 0;
}  // namespace

extern "C" int rename(const char* from, const char* to) {
  if (killBeforeRename != 0) raise(SIGKILL);
  return static_cast<int>(syscall(SYS_renameat, AT_FDCWD, from, AT_FDCWD, to));
}

namespace crv {
namespace {

using testing::apfText;
using testing::baseParameters;

using AirportSaveKillTest = testing::AirportFilesTest;

TEST_F(AirportSaveKillTest, AKillBetweenWriteAndRenameLeavesTheOldFileWhole) {
  const std::filesystem::path learned = "airports/learned/thirdparty/MyPub/EHAM.xml";
  write("airports/my_thirdparty/EHAM.xml", apfText(baseParameters("MyPub"), testing::twoGates()));
  QualityFactors quality;
  ASSERT_EQ(gf_readApf("airports/my_thirdparty/EHAM.xml", "EHAM", parkAirportHeader, quality, parkAirportStands()), "");
  parkAirportStands()[1].usage.push_back(testing::makeUsage(1, 2, 3, "OLD1"));
  ASSERT_TRUE(saveAirportFile("EHAM", parkAirportHeader, parkAirportStands()));
  const std::string before = read(learned);

  for (int i = 0; i < 50; ++i) parkAirportStands()[1].usage.push_back(testing::makeUsage(2 + i, 4, i % 48, "NEW"));
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    killBeforeRename = 1;
    saveAirportFile("EHAM", parkAirportHeader, parkAirportStands());
    _exit(3);  // the save went through without its rename: the test is broken
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;

  EXPECT_EQ(read(learned), before);
  bool temporaryWritten = false;
  for (const auto& entry : std::filesystem::directory_iterator(path(learned).parent_path())) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("EHAM.xml.tmp")) temporaryWritten = testing::readFile(entry.path()).find("NEW") != std::string::npos;
  }
  EXPECT_TRUE(temporaryWritten);  // killed after the write, before the rename

  parkAirportStands().clear();
  ASSERT_EQ(gf_readApf("airports/my_thirdparty/EHAM.xml", "EHAM", parkAirportHeader, quality, parkAirportStands()), "");
  EXPECT_EQ(parkAirportStands()[1].usage.size(), 1U);
  EXPECT_EQ(parkAirportStands()[1].usage.front().cs, "OLD1");
}

}  // namespace
}  // namespace crv
