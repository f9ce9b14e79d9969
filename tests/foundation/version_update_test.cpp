#include "foundation/version_update.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "foundation/parameters_file.h"
#include "platform/window/control_model.h"
#include "tests/support/settings_fixture.h"

namespace crv {
namespace {

using VersionUpdateTest = SettingsFixture;

TEST(SnapTest, RangesSnapToAllowedSteps) {
  const std::vector<std::pair<int, int>> cases{{-5, 2}, {2, 2},   {3, 3},   {6, 6},    {7, 8},   {8, 8},
                                               {9, 10}, {19, 20}, {22, 20}, {23, 25},  {27, 25}, {28, 30},
                                               {44, 40}, {45, 50}, {56, 50}, {57, 65}, {72, 65}, {73, 80},
                                               {89, 80}, {90, 100}, {5000, 100}};
  for (const auto& [input, expected] : cases) EXPECT_EQ(snapRange(input), expected) << input;
}

TEST(SnapTest, HeightsSnapToAllowedAirportHeights) {
  const std::vector<std::pair<int, int>> cases{{0, 2000},      {2999, 2000},   {3000, 4000},   {16999, 16000},
                                               {17000, 18000}, {26999, 18000}, {27000, 36000}, {46999, 36000},
                                               {47000, 48000}, {49000, 48000}};
  for (const auto& [input, expected] : cases) EXPECT_EQ(snapHeight(input), expected) << input;
}

TEST(SnapTest, OldAircraftLimitsConvertInTheirOwnSteps) {
  struct Case { int (*convert)(int); int old, converted; };
  const Case cases[] = {{maxParkFromCustomMaxPark, -1, 500},     {maxParkFromCustomMaxPark, 0, 10},
                        {maxParkFromCustomMaxPark, 49, 25},      {maxParkFromCustomMaxPark, 300, 50},
                        {maxLiveFromMaxLive, -1, 500},           {maxLiveFromMaxLive, 24, 10},
                        {maxLiveFromMaxLive, 74, 50},            {maxLiveFromMaxLive, 99, 75},
                        {maxLiveFromMaxLive, 300, 100},          {airportRangeFromOldAirportRange, 7, 5},
                        {airportRangeFromOldAirportRange, 12, 10}, {airportRangeFromOldAirportRange, 13, 15},
                        {airportRangeFromOldAirportRange, 26, 25}, {airportRangeFromOldAirportRange, 27, 30}};
  for (const Case& c : cases) EXPECT_EQ(c.convert(c.old), c.converted) << c.old;
}

TEST_F(VersionUpdateTest, SetRangeClampsTheSettingButNotTheRadius) {
  setRange(150);
  EXPECT_EQ(par_RANGE.value(), 100);
  EXPECT_EQ(trafficRangeNm(), 150.0);
  EXPECT_EQ(trafficRadiusMeters(), 150 * 1852 + 10000);
  setRange(12);
  EXPECT_EQ(par_RANGE.value(), 12);
  EXPECT_EQ(trafficRadiusMeters(), 12 * 1852 + 10000);
}

const std::string kOldFile = parameterNodes(
    {{"PROGRAM_VERSION", "11.0.1"}, {"MSFS_2020", "true"}, {"SIM_CHOICE", "MSFS 2024"}, {"AI_PACKAGE_ORDER", "3"},
     {"CUSTOM_MAX_PARK", "300"}, {"MAX_LIVE", "300"}, {"LATERAL_RANGE", "44"}, {"AIRPORT_RANGE", "13"},
     {"AUTO_RANGE_ABOVE_HEIGHT", "49000"}, {"AIRPORT_HEIGHT", "5000"}, {"CUSTOM_PARKING_PERCENTAGE", "45"},
     {"SCAN_LIVERIES", "false"}, {"SCAN_AIRPORTS", "false"}});

void setStoredVersion(const std::filesystem::path& parametersFile, const char* version) {
  std::string text = testing::readFile(parametersFile);
  const std::string current = "name=\"PROGRAM_VERSION\" value=\"11.0.2\"";
  const std::size_t at = text.find(current);
  ASSERT_NE(at, std::string::npos);
  text.replace(at, current.size(), std::string("name=\"PROGRAM_VERSION\" value=\"") + version + "\"");
  testing::writeFile(parametersFile, text);
}

TEST_F(VersionUpdateTest, UpdateFromAnOlderVersionConvertsOldKeysOnce) {
  writeParameters(kOldFile);
  testing::writeFile(folder / "install_new_version.exe", "installer");
  createSettingControls();

  gf_readParameters();

  EXPECT_EQ(fmt::format("{}|{}|{} {} {} {} {} {} {} {} {}", par_SIM_CHOICE.value(), par_AI_PACKAGE_SELECTOR.value(),
                        par_MAX_PARK_SEL.value(), par_MAX_LIVE_SEL.value(), par_RANGE.value(), par_AIRP_RANGE.value(),
                        par_AR_ABOVE_HEIGHT.value(), par_AIRP_HEIGHT.value(), par_CUSTOM_PARKING_PERCENTAGE.value(),
                        par_SCAN_LIVERIES.value(), par_SCAN_AIRPORTS.value()),
            "MSFS 2020|FSLTL, AIG, JF|50 100 40 15 48000 6000 45 true true");
  EXPECT_EQ(platform::mainWindowControls().isChecked(par_SCAN_LIVERIES.controlId()), true);
  EXPECT_EQ(trafficRadiusMeters(), 40 * 1852 + 10000);

  const auto file = parametersPath();
  EXPECT_EQ(storedValue(file, "PROGRAM_VERSION") + "|" + storedValue(file, "SIM_CHOICE") + "|" +
                storedValue(file, "AIRP_HEIGHT") + "|" + storedValue(file, "SCAN_LIVERIES"),
            "11.0.2|MSFS 2020|6000|true");
  for (const Parameter* old : obsoleteParameters()) EXPECT_EQ(storedCount(file, old->name()), 0) << old->name();
  EXPECT_FALSE(std::filesystem::exists(folder / "install_new_version.exe"));
  EXPECT_NE(logText().find("This is a version update from 11.0.1 -> 11.0.2\n"), std::string::npos);
}

TEST_F(VersionUpdateTest, AnOldKeyMissingFromTheFileLeavesItsSettingAlone) {
  writeParameters(parameterNodes(
      {{"PROGRAM_VERSION", "10.9.9"}, {"SIM_CHOICE", "MSFS 2024"}, {"RANGE", "65"}, {"MAX_LIVE", "-1"}}));

  gf_readParameters();

  EXPECT_EQ(par_SIM_CHOICE.value(), "MSFS 2024");
  EXPECT_EQ(par_RANGE.value(), 65);
  EXPECT_EQ(par_MAX_LIVE_SEL.value(), 500);
  EXPECT_EQ(storedCount(parametersPath(), "MAX_LIVE"), 0);
  EXPECT_EQ(storedCount(parametersPath(), "MSFS_2020"), 0);
}

TEST_F(VersionUpdateTest, OldKeysOutsideAnUpdateGoAndALaterUpdateKeepsTheUsersChoices) {
  for (const char* version : {"", "11.0.2", "11.0.3"}) {
    SCOPED_TRACE(version);
    writeParameters((*version == '\0' ? "" : parameterNodes({{"PROGRAM_VERSION", version}})) +
                    parameterNodes({{"SIM_CHOICE", "MSFS 2020"}, {"RANGE", "65"}, {"MSFS_2020", "false"},
                                    {"LATERAL_RANGE", "10"}}));
    gf_readParameters();
    for (const Parameter* old : obsoleteParameters()) EXPECT_EQ(storedCount(parametersPath(), old->name()), 0);

    setStoredVersion(parametersPath(), "11.0.1");
    gf_readParameters();
    EXPECT_EQ(par_RANGE.value(), 65);
    EXPECT_EQ(par_SIM_CHOICE.value(), "MSFS 2020");
    resetAllSettings();
  }
}

TEST_F(VersionUpdateTest, SameVersionWritesNothing) {
  writeParameters(parameterNodes({{"PROGRAM_VERSION", "11.0.2"}}));
  gf_readParameters();
  const std::string log = logText();
  const std::string line = "PROGRAM_VERSION=\"11.0.2\"\n";
  const std::size_t first = log.find(line);
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(log.find(line, first + 1), std::string::npos);  // read, never saved
}

TEST_F(VersionUpdateTest, UnreadableStoredVersionCountsAsOlderAndAMissingInstallerIsNoError) {
  writeParameters(parameterNodes({{"PROGRAM_VERSION", "garbage"}, {"AIRPORT_RANGE", "30"}}));
  gf_readParameters();
  EXPECT_EQ(par_AIRP_RANGE.value(), 30);
  EXPECT_EQ(storedValue(parametersPath(), "PROGRAM_VERSION"), "11.0.2");
  EXPECT_NE(logText().find("This is a version update from 0.0.0 -> 11.0.2\n"), std::string::npos);
  EXPECT_EQ(logText().find("Failed to remove"), std::string::npos);  // no installer to remove
}

}  // namespace
}  // namespace crv
