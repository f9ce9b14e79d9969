// The simulator's packages folder: detection, typed paths, stored paths.

#include <gtest/gtest.h>

#include <cstdlib>

#include "app/exit_reason.h"
#include "app/sim_choice.h"
#include "foundation/session_flags.h"
#include "foundation/setting_controls.h"
#include "foundation/settings.h"
#include "tests/support/log_capture.h"
#include "tests/support/settings_fixture.h"
#include "platform/window/control_model.h"

namespace crv::testing {
namespace {

// The settings reset and a log of the test's own (the fixture), the user's
// roaming and local application data in the temporary folder.
class SimChoiceTest : public SettingsFixture {
 protected:
  void SetUp() override {
    setenv("CRVN_ROAMING_APPDATA", (folder / "roaming").c_str(), 1);
    setenv("CRVN_LOCAL_APPDATA", (folder / "local").c_str(), 1);
    sessionEnd().reset();
    setMsfs2020(true);
  }
  void TearDown() override {
    sessionEnd().reset();
    unsetenv("CRVN_ROAMING_APPDATA");
    unsetenv("CRVN_LOCAL_APPDATA");
    setMsfs2020(true);
  }
  std::filesystem::path packages(const std::string& name, const char* official = "Official") {
    std::filesystem::create_directories(folder / name / "Community");
    std::filesystem::create_directories(folder / name / official);
    return folder / name;
  }
  TempFolder folder;
};

TEST_F(SimChoiceTest, TheChoiceSetsTheSimulatorAndItsFolderName) {
  par_SIM_CHOICE.setValue(std::string(kSimChoiceMsfs2024));
  applySimChoice();
  EXPECT_FALSE(isMsfs2020());
  EXPECT_EQ(simFolderName(), kSimFolderMsfs2024);
  EXPECT_EQ(&simPathSetting(), &par_MSFS_2024_INSTALL_PATH);
}

TEST_F(SimChoiceTest, OnlyAFinalCommunityComponentIsStripped) {
  const std::pair<std::string, std::string> cases[] = {
      {"D:/Games/Community/MSFS/Community", "D:/Games/Community/MSFS"},
      {"D:\\Packages\\Community", "D:\\Packages"},
      {"/games/Packages/Community/", "/games/Packages"},
      {"/games/MyCommunity", "/games/MyCommunity"},
      {"/Community/Packages", "/Community/Packages"},
      // Ten characters are enough.
      {"\\Community", ""},
  };
  for (const auto& [stored, kept] : cases) {
    par_MSFS_INSTALL_PATH.setValue(stored);
    stripCommunitySuffix(par_MSFS_INSTALL_PATH);
    EXPECT_EQ(par_MSFS_INSTALL_PATH.value(), kept) << stored;
  }
}

TEST_F(SimChoiceTest, ATypedCommunityFolderStoresItsParentByTheLastCommunityAndRestarts) {
  const std::filesystem::path nested = packages("Community/Packages");
  EXPECT_EQ(lf_newSimPath(par_MSFS_INSTALL_PATH, (nested / "Community").string()), NewPathOutcome::accepted);
  EXPECT_EQ(par_MSFS_INSTALL_PATH.value(), nested.string());
  EXPECT_EQ(sessionEnd().reason(), ExitReason::newSettings);
  EXPECT_EQ(sessionEnd().restartDelaySeconds(), 3);
}

TEST_F(SimChoiceTest, ATypedFolderThatHoldsCommunityIsStoredAsTyped) {
  const std::string typed = packages("Packages").string() + "/";
  EXPECT_EQ(lf_newSimPath(par_MSFS_INSTALL_PATH, typed), NewPathOutcome::accepted);
  EXPECT_EQ(par_MSFS_INSTALL_PATH.value(), typed);
  EXPECT_EQ(sessionEnd().reason(), ExitReason::newSettings);
}

TEST_F(SimChoiceTest, TypedPathsThatAreMissingOrHoldNoCommunityChangeNothing) {
  par_MSFS_INSTALL_PATH.setValue("kept");
  EXPECT_EQ(lf_newSimPath(par_MSFS_INSTALL_PATH, (folder / "nowhere").string()), NewPathOutcome::missing);
  std::filesystem::create_directories(folder / "plain");
  EXPECT_EQ(lf_newSimPath(par_MSFS_INSTALL_PATH, (folder / "plain").string()), NewPathOutcome::notCommunity);
  EXPECT_EQ(par_MSFS_INSTALL_PATH.value(), "kept");
  EXPECT_FALSE(stopRequested());
  EXPECT_EQ(lf_newSimPath(par_MSFS_INSTALL_PATH, ""), NewPathOutcome::emptied);
  EXPECT_EQ(par_MSFS_INSTALL_PATH.value(), "");
  EXPECT_FALSE(stopRequested());
}

TEST_F(SimChoiceTest, ASteamFolderWithoutOfficial2024IsPassedOverForUserCfgOpt) {
  setMsfs2020(false);
  packages("roaming/Microsoft Flight Simulator 2024/Packages", "Official");
  const std::filesystem::path named = packages("D/MSFS2024", "Official2024");
  writeFile(folder / "local" / "Packages" / "Microsoft.Limitless_8wekyb3d8bbwe" / "LocalCache" / "UserCfg.opt",
            "Version 1\nInstalledPackagesPath \"" + named.string() + "\"\nInstalledPackagesPath \"/else\"\n");
  EXPECT_EQ(detectPackagesPath(), named);
  EXPECT_NE(logText().find("UserCfg.opt: InstalledPackagesPath=" + named.string()),
            std::string::npos);
}

TEST_F(SimChoiceTest, NoPackagesFolderAnywhereIsAnEmptyPathWithTheSearchLogged) {
  EXPECT_TRUE(detectPackagesPath().empty());
  EXPECT_EQ(missingPieces(logText(),
                          {"no Store:", "no Steam1:", "no Steam2:", "no Boxed:", "No UserCfg.opt found?"}),
            "");
}

TEST_F(SimChoiceTest, SwitchingTheSimulatorTicksBothScanBoxesEmptiesThePathBoxAndRestarts) {
  createSettingControls();
  platform::ControlModel& controls = platform::mainWindowControls();
  par_ALL_INSTALL_PATH.setValue(packages("MSFS2020").string());
  setControlText(par_ALL_INSTALL_PATH);
  for (BoolControlParameter* scan : {&par_SCAN_LIVERIES, &par_SCAN_AIRPORTS}) {
    scan->setValue(false);
    setCheckBox(*scan);
  }
  par_SIM_CHOICE.setValue(std::string(kSimChoiceMsfs2024));
  setMsfs2020(false);
  switchSimulator();
  for (const BoolControlParameter* scan : {&par_SCAN_LIVERIES, &par_SCAN_AIRPORTS}) {
    EXPECT_EQ(controls.isChecked(scan->controlId()), std::optional<bool>(true)) << scan->name();
    EXPECT_EQ(storedValue(parametersPath(), scan->name()), "true") << scan->name();
  }
  EXPECT_EQ(controls.text(par_ALL_INSTALL_PATH.controlId()), std::optional<std::u16string>(u""));
  EXPECT_EQ(sessionEnd().reason(), ExitReason::newSettings);
  EXPECT_EQ(sessionEnd().restartDelaySeconds(), 3);
  EXPECT_NE(logText().find("Switching Simulator to MSFS 2024"), std::string::npos);
}

}  // namespace
}  // namespace crv::testing
