#include "foundation/paths.h"

#include <gtest/gtest.h>

#include "platform/os/app_data_folders.h"
#include "tests/support/environment.h"

namespace crv {
namespace {

TEST(PathsTest, WithoutAppDataTheDataFolderIsRelative) {
  EXPECT_EQ(dataFolderFor({}), std::filesystem::path("CRVN"));
  EXPECT_EQ(dataFolderFor("/home/pilot/.config"), std::filesystem::path("/home/pilot/.config/CRVN"));
}

TEST(PathsTest, EnvironmentOverrideDecidesTheRoamingFolder) {
  testing::setEnvironment("CRVN_ROAMING_APPDATA", "");
  EXPECT_TRUE(platform::roamingAppDataFolder().empty());
  EXPECT_TRUE(getAppDataPath().empty());
  testing::setEnvironment("CRVN_ROAMING_APPDATA", "/tmp/crvn-roaming");
  EXPECT_EQ(getAppDataPath(), std::filesystem::path("/tmp/crvn-roaming"));
  testing::clearEnvironment("CRVN_ROAMING_APPDATA");
}

}  // namespace
}  // namespace crv
