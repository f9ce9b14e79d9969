#include "traffic/engine_reports.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "foundation/session_flags.h"
#include "foundation/settings.h"
#include "tests/support/log_capture.h"
#include "tests/traffic/engine_test_access.h"

namespace crv::testing {
namespace {

AircraftBase aircraftTitled(const std::string& title) {
  AircraftBase base;
  base.identity.callsign = "DLH4AB";
  base.liveryTitle = title;
  return base;
}

TEST(EngineReports, AFailedTitleIsKeptOnceAsItsOwnCopyAndNotWhileTheSessionStops) {
  EngineReports reports;
  {
    std::string scratch = "Airbus A320 Lufthansa D-AIPA";
    reports.reportLiveryNotCreated(aircraftTitled(scratch));
    scratch.assign(scratch.size(), 'x');
  }
  reports.reportLiveryNotCreated(aircraftTitled("Airbus A320 Lufthansa D-AIPA"));
  EXPECT_EQ(reports.exclusionList(), (std::vector<std::string>{"Airbus A320 Lufthansa D-AIPA"}));
  EXPECT_FALSE(reports.isExcludedTitle("Airbus A320 Lufthansa"));

  raiseStop();
  reports.reportLiveryNotCreated(aircraftTitled("Some title"));
  clearStopRequest();
  EXPECT_EQ(reports.exclusionList().size(), 1U);
  EXPECT_EQ(reports.liveriesNotCreated().size(), 1U);
}

TEST(EngineReports, TheNoMatchListIsLoggedOnlyWhileLogIsOn) {
  const bool logOn = par_LOG.value();
  LogCapture log;
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
  par_LOG.setValue(logOn);
  const std::string text = log.text();
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
