#include "traffic/engine_reports.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "foundation/errors.h"
#include "foundation/log.h"
#include "foundation/session_flags.h"
#include "foundation/settings.h"
#include "tests/support/temp_folder.h"
#include "tests/traffic/engine_harness.h"
#include "tests/traffic/engine_test_access.h"

namespace crv::testing {
namespace {

class EngineReportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    logOn_ = par_LOG.value();
    openLog(folder / "Log.txt");
  }
  void TearDown() override {
    closeLog();
    par_LOG.setValue(logOn_);
    clearStopRequest();
  }
  std::string log() {
    closeLog();
    return readFile(folder / "Log.txt");
  }
  static AircraftBase aircraft(const std::string& title) {
    AircraftBase base;
    base.identity.callsign = "DLH4AB";
    base.identity.icaoType = "A320";
    base.identity.airline = "DLH";
    base.liveryTitle = title;
    return base;
  }
  TempFolder folder;

 private:
  bool logOn_ = true;
};

TEST_F(EngineReportsTest, FailedTitlesAreWarnedKeptOnceAndEndTheSessionAtTwenty) {
  EngineReports reports;
  std::string title;
  {
    // The title is copied: the report does not depend on who held the text.
    std::string scratch = "Airbus A320 Lufthansa D-AIPA";
    reports.reportLiveryNotCreated(aircraft(scratch));
    scratch.assign(scratch.size(), 'x');
  }
  reports.reportLiveryNotCreated(aircraft("Airbus A320 Lufthansa D-AIPA"));
  EXPECT_EQ(reports.exclusionList(), (std::vector<std::string>{"Airbus A320 Lufthansa D-AIPA"}));
  EXPECT_TRUE(reports.isExcludedTitle("Airbus A320 Lufthansa D-AIPA"));
  EXPECT_FALSE(reports.isExcludedTitle("Airbus A320 Lufthansa"));
  for (int i = 2; i < 20; ++i) {
    reports.reportLiveryNotCreated(aircraft("Title " + std::to_string(i)));
  }
  EXPECT_EQ(reports.exclusionList().size(), 19U);
  EXPECT_THROW(reports.reportLiveryNotCreated(aircraft("Title 20")), UserErrorException);
  const std::string text = log();
  EXPECT_NE(text.find("===> DLH4AB 'Airbus A320 Lufthansa D-AIPA' could not be created by your Sim!"),
            std::string::npos);
  EXPECT_NE(text.find("\n===> Error 81, There are too many liveries that could not be created by MSFS!\n"),
            std::string::npos);
}

TEST_F(EngineReportsTest, NothingIsReportedWhileTheSessionStops) {
  EngineReports reports;
  raiseStop();
  reports.reportLiveryNotCreated(aircraft("Some title"));
  EXPECT_TRUE(reports.exclusionList().empty());
  EXPECT_TRUE(reports.liveriesNotCreated().empty());
}

TEST_F(EngineReportsTest, TheNoMatchListIsLoggedOnlyWhileLogIsOn) {
  EngineReports reports;
  reports.addNoMatch("KLM B738 PH-BXA");
  reports.addNoMatch("DLH A320 D-AIPA");
  reports.addNoMatch("DLH A320 D-AIPA");
  EXPECT_EQ(reports.noMatchCount(), 2U);
  EXPECT_TRUE(reports.isNoMatch("KLM B738 PH-BXA"));
  par_LOG.setValue(false);
  reports.logNoMatchList();
  par_LOG.setValue(true);
  reports.logNoMatchList();
  reports.clearNoMatchList();
  reports.logNoMatchList();
  const std::string text = log();
  EXPECT_NE(text.find("\nNo match found for:\nDLH A320 D-AIPA\nKLM B738 PH-BXA\n"), std::string::npos);
  EXPECT_EQ(text.find("No match found for:"), text.rfind("No match found for:"));
}

TEST(SessionTables, TheCallsignListIsDeletedAtTheFirstSessionOnly) {
  TempFolder folder;
  const std::filesystem::path file = folder / "Callsign2ObjectId.txt";
  writeFile(file, "old\n");
  SimQueues link;
  EngineConfig config;
  config.callsignListFile = file;
  config.stands = nullptr;
  TrafficEngine engine(link, {}, config);
  engine.reserveSessionTables();
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_GE(EngineTestAccess::liveCapacity(engine), 512U);
  EXPECT_GE(EngineTestAccess::staticCapacity(engine), 256U);
  writeFile(file, "again\n");
  engine.reserveSessionTables();
  EXPECT_TRUE(std::filesystem::exists(file));

  // A list that cannot be deleted is an error, a missing one is not.
  std::filesystem::remove(file);
  writeFile(file / "blocker.txt", "x");
  EXPECT_THROW(engine.resetTrafficState(), std::filesystem::filesystem_error);
  std::filesystem::remove_all(file);
  EXPECT_NO_THROW(engine.resetTrafficState());
}

}  // namespace
}  // namespace crv::testing
