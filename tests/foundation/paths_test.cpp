#include "foundation/paths.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/os/app_data_folders.h"

namespace crv {
namespace {

TEST(PathsTest, WithoutAppDataTheDataFolderIsRelative) {
  EXPECT_EQ(dataFolderFor({}), std::filesystem::path("CRVN"));
  EXPECT_EQ(dataFolderFor("/home/pilot/.config"), std::filesystem::path("/home/pilot/.config/CRVN"));
}

TEST(PathsTest, EnvironmentOverrideDecidesTheRoamingFolder) {
  ::setenv("CRVN_ROAMING_APPDATA", "", 1);
  EXPECT_TRUE(platform::roamingAppDataFolder().empty());
  EXPECT_TRUE(getAppDataPath().empty());
  ::setenv("CRVN_ROAMING_APPDATA", "/tmp/crvn-roaming", 1);
  EXPECT_EQ(getAppDataPath(), std::filesystem::path("/tmp/crvn-roaming"));
  ::unsetenv("CRVN_ROAMING_APPDATA");
}

}  // namespace
}  // namespace crv
