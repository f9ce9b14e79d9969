#include "foundation/paths.h"

#include <gtest/gtest.h>

#include "platform/os/app_data_folders.h"
#include "tests/support/environment.h"
#include "tests/support/log_capture.h"

namespace crv {
namespace {

TEST(PathsTest, WithoutAppDataTheDataFolderIsRelative) {
  EXPECT_EQ(dataFolderFor({}), std::filesystem::path("CRVN"));
  EXPECT_EQ(dataFolderFor("/home/pilot/.config"), std::filesystem::path("/home/pilot/.config/CRVN"));
}

TEST(PathsTest, EnvironmentOverrideDecidesTheRoamingFolder) {
  testing::setEnvironment("CRVN_ROAMING_APPDATA", "");
  EXPECT_TRUE(platform::roamingAppDataFolder().empty());
  {
    testing::LogCapture log;
    EXPECT_TRUE(getAppDataPath().empty());
    EXPECT_TRUE(log.contains("\n===> Could not find the AppData path\n")) << log.text();
  }
  testing::setEnvironment("CRVN_ROAMING_APPDATA", "/tmp/crvn-roaming");
  EXPECT_EQ(getAppDataPath(), std::filesystem::path("/tmp/crvn-roaming"));
  testing::clearEnvironment("CRVN_ROAMING_APPDATA");
}

}  // namespace
}  // namespace crv
