// The scan driver, LiveriesScanned.xml and the report files.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include <fmt/format.h>

#include "aircraftdata/livery_database.h"
#include "foundation/errors.h"
#include "foundation/paths.h"
#include "foundation/session_flags.h"
#include "foundation/status_line.h"
#include "foundation/workers.h"
#include "liveryscan/livery_scan.h"
#include "liveryscan/scan_task_pool.h"
#include "tests/liveryscan/scan_fixture.h"

namespace crv {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

std::string cfg(const std::string& type, const std::string& airline, const std::string& title) {
  return "[General]\nicao_type_designator=" + type + "\n[fltsim.0]\ntitle=" + title + "\nicao_airline=" + airline + "\n";
}

class LiveryScanTest : public LiveryScanFixture {
 protected:
  LiveryScanTest() {
    setWorkerLimit(4);
    par_LIG_AUTOMATIC.setValue(false);
  }
  ~LiveryScanTest() override { setStatusRepaintCallback({}); }

  std::string liveriesXml() const { return testing::readFile(folder / "output/LiveriesScanned.xml"); }
  int errorCodeOfScan() {
    try {
      scanLiveries(context);
    } catch (const UserErrorException& error) {
      return std::stoi(error.what());
    }
    return 0;
  }

  LiveryScanContext context{{}, {}, std::chrono::seconds(5)};
};

TEST_F(LiveryScanTest, ManualScanWritesTheFileAndBuildsTheIndexesOnce) {
  write("first/a/aircraft.cfg", cfg("A320", "DLH", "AIG A320 Lufthansa"));
  write("first/b/Aircraft.CFG", cfg("B738", "KLM", "AIG B738 KLM"));
  write("first/c/aircraft.cfg.bak", cfg("B738", "KLM", "Backup"));
  write("first/inibuilds-a310/aircraft.cfg", cfg("A320", "DLH", "Not visited"));
  write("second/aircraft.cfg", cfg("B744", "XYZ", "AIG B744 Bad airline"));
  write("output/LiveriesScanned.xml", "old");
  par_lfolder[3].setValue((folder / "missing").string());
  par_lfolder[5].setValue((folder / "first").string());
  std::string windowsStyle = (folder / "second").string();
  std::replace(windowsStyle.begin(), windowsStyle.end(), '/', '\\');
  par_lfolder[7].setValue(windowsStyle);
  std::uint64_t shownCount = 0;
  context.display.showLiveryCount = [&](std::uint64_t count) { shownCount = count; };

  ASSERT_EQ(errorCodeOfScan(), 0);
  EXPECT_THAT(liveriesXml(), HasSubstr("<liv airl=\"DLH\" type=\"A320\" title=\"AIG A320 Lufthansa\" />\n"
                                       "\t<liv airl=\"KLM\" type=\"B738\" title=\"AIG B738 KLM\" />"));
  EXPECT_THAT(liveriesXml(), Not(HasSubstr("Backup")));
  EXPECT_THAT(liveriesXml(), Not(HasSubstr("Not visited")));
  EXPECT_EQ(shownCount, 2U);
  EXPECT_TRUE(liveriesProcessed());
  EXPECT_FALSE(par_SCAN_LIVERIES.value());
  EXPECT_EQ(storedValue(parametersPath(), "SCAN_LIVERIES"), "false");
  const std::string log = logText();
  EXPECT_THAT(log, HasSubstr((folder / "missing").string() + " does not exist, skipped!"));
  EXPECT_THAT(log, HasSubstr("2 liveries found in " + (folder / "first").string()));
  EXPECT_THAT(log, HasSubstr("No liveries found in " + (folder / "second").string()));
  EXPECT_THAT(log, HasSubstr("2 in total"));
  EXPECT_THAT(log, HasSubstr("1 invalid airline code, see " + (fs::path("output") / "errors" / "InvalidAirlineCodes.txt").string()));
  EXPECT_THAT(testing::readFile(folder / "output/errors/InvalidAirlineCodes.txt"), HasSubstr("XYZ "));

  // The next session preparation in this process only logs the skip line.
  scanLiveries(context);
  EXPECT_THAT(logText(), HasSubstr("Processing scanned liveries skipped; already done in previous start-up"));
  EXPECT_EQ(liveryDatabase().indexes.liveryCount(), 2U);

  // A fresh scan in the same process is not ignored and reports only its own findings.
  fs::remove(folder / "second/aircraft.cfg");
  write("first/d/aircraft.cfg", cfg("A320", "BAW", "AIG A320 British"));
  par_SCAN_LIVERIES.setValue(true);
  ASSERT_EQ(errorCodeOfScan(), 0);
  EXPECT_EQ(liveryDatabase().indexes.liveryCount(), 3U);
  EXPECT_FALSE(fs::exists(folder / "output/errors/InvalidAirlineCodes.txt"));
}

TEST_F(LiveryScanTest, NothingFoundKeepsTheScanAskedFor) {
  EXPECT_EQ(errorCodeOfScan(), 48);
  par_lfolder[0].setValue((folder / "empty").string());
  fs::create_directories(folder / "empty");
  EXPECT_EQ(errorCodeOfScan(), 53);
  par_LIG_AUTOMATIC.setValue(true);
  EXPECT_EQ(errorCodeOfScan(), 43);
  EXPECT_TRUE(par_SCAN_LIVERIES.value());
}

TEST_F(LiveryScanTest, AutomaticModeOrdersAndPrioritizesThePackages) {
  const fs::path community = folder / "Community";
  write("Community/aig-aitraffic-oci-beta/a/aircraft.cfg",
        cfg("A320", "DLH", "AIG DLH") + "[fltsim.1]\ntitle=AIG BAW\nicao_airline=BAW\n");
  write("Community/aig-aitraffic-oci_CVT_/aircraft.cfg", cfg("A320", "KLM", "Converted"));
  write("Community/justflight-fstraffic-module/a/aircraft.cfg", cfg("A320", "DLH", "JF DLH"));
  write("Community/fsltl-traffic-base/a/aircraft.cfg", cfg("B738", "KLM", "FSLTL KLM"));
  par_LIG_AUTOMATIC.setValue(true);
  par_LIG_PRIORITIZE.setValue(true);
  par_AI_PACKAGE_SELECTOR.setValue("JF, FSLTL, AIG");
  context.communityFolder = community;
  ASSERT_EQ(errorCodeOfScan(), 0);
  const std::string xml = liveriesXml();
  EXPECT_THAT(xml, HasSubstr("JF DLH"));
  EXPECT_THAT(xml, HasSubstr("FSLTL KLM"));
  EXPECT_THAT(xml, HasSubstr("AIG BAW"));
  EXPECT_THAT(xml, Not(HasSubstr("AIG DLH")));
  EXPECT_THAT(xml, Not(HasSubstr("Converted")));
  const std::string log = logText();
  EXPECT_LT(log.find("Automatic JF scan found folder"), log.find("Automatic FSLTL scan found folder"));
  EXPECT_LT(log.find("Automatic FSLTL scan found folder"), log.find("Automatic AIG scan found folder"));
  par_AI_PACKAGE_SELECTOR.setValue("AIG only");
  par_SCAN_LIVERIES.setValue(true);
  EXPECT_THROW(scanLiveries(context), std::runtime_error);
}

TEST_F(LiveryScanTest, BadInputIsReportedOrSkippedAndTheScanFinishes) {
  write("ai/empty/aircraft.cfg", "");
  // Several junk files, read by several scan threads at once, all report to one list.
  const std::string junk = std::string(64 * 1024, 'x') + std::string("\0\x01\x02junk[fltsim.0]", 17);
  constexpr int kJunkFiles = 12;
  for (int file = 0; file < kJunkFiles; ++file) write(fmt::format("ai/junk{}/aircraft.cfg", file), junk);
  fs::create_directories(folder / "ai/dir/aircraft.cfg");
#ifndef _WIN32
  // Links: a dangling one, a loop and one up the tree (Windows lets only
  // administrators make them).
  fs::create_symlink("nowhere", folder / "ai/dangling.cfg");
  fs::create_symlink("loop2", folder / "ai/AIRCRAFT.cfg");
  fs::create_symlink("AIRCRAFT.cfg", folder / "ai/loop2");
  fs::create_symlink("..", folder / "ai/empty/up");
#endif
  fs::path deep = "ai";
  for (int level = 0; level < 150; ++level) deep /= "d";
  write(deep / "aircraft.cfg", cfg("A320", "DLH", "Too deep"));
  write("ai/\xC3\x9Cnic\xC3\xB6" "de/\xE6\x97\xA5\xE6\x9C\xAC/aircraft.cfg",
        cfg("A320", "DLH", "AIG A320 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x9B\xA9"));
  par_lfolder[0].setValue((folder / "ai").string());

  ASSERT_EQ(errorCodeOfScan(), 0);
  EXPECT_THAT(liveriesXml(), HasSubstr("title=\"AIG A320 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x9B\xA9\""));
  EXPECT_THAT(liveriesXml(), Not(HasSubstr("Too deep")));
#ifndef _WIN32
  EXPECT_THAT(logText(), HasSubstr("liveries search in " + (folder / "ai/AIRCRAFT.cfg").string() + " aborted"));
#endif
  const std::string invalidFiles = testing::readFile(folder / "output/errors/InvalidAircraftCfgFiles.txt");
  for (int file = 0; file < kJunkFiles; ++file) {
    EXPECT_THAT(invalidFiles, HasSubstr((fs::path(fmt::format("junk{}", file)) / "aircraft.cfg").string() +
                                        " cannot be read: it holds NUL bytes"));
  }
  // An empty file leaves nothing.
  EXPECT_FALSE(fs::exists(folder / "output/info/AircraftCfgWithNoFltsimSection.txt"));
}

TEST_F(LiveryScanTest, AnEntryWhoseStatusCannotBeReadIsNamedWhateverItsName) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows lets only administrators make links";
#endif
  fs::create_directories(folder / "ai");
  fs::create_symlink("textures", folder / "ai/textures");
  std::vector<fs::path> found;
  walkAircraftCfgFiles(folder / "ai", [&](const fs::path& file) {
    found.push_back(file);
    return true;
  });
  EXPECT_TRUE(found.empty());
  EXPECT_THAT(logText(), HasSubstr("===> liveries search in " + (folder / "ai/textures").string() + " aborted, cause: "));
}

TEST_F(LiveryScanTest, AnIteratorProblemIsLoggedWithTheExceptionText) {
  const fs::path missing = folder / "missing";
  std::string problem;
  try {
    fs::recursive_directory_iterator walk(missing);
  } catch (const fs::filesystem_error& error) {
    problem = error.what();
  }
  ASSERT_FALSE(problem.empty());
  walkAircraftCfgFiles(missing, [](const fs::path&) { return true; });
  EXPECT_THAT(logText(), HasSubstr("===> liveries search in folder " + missing.string() +
                                   " aborted because of iterator problem: " + problem + "\n"));
}

TEST_F(LiveryScanTest, AStopKeepsTheStoredResultAndTheScanFlag) {
  for (int i = 0; i < 200; ++i) write(fmt::format("ai/{}/aircraft.cfg", i), cfg("A320", "DLH", fmt::format("L{}", i)));
  write("output/LiveriesScanned.xml", "<liveries><liv airl=\"DLH\" type=\"A320\" title=\"Old\"/></liveries>");
  par_lfolder[0].setValue((folder / "ai").string());
  setStatusRepaintCallback([] {
    if (statusLineText().find(" of 200 ") != std::string::npos) raiseStop();
  });
  ASSERT_EQ(errorCodeOfScan(), 0);
  EXPECT_EQ(liveriesXml(), "<liveries><liv airl=\"DLH\" type=\"A320\" title=\"Old\"/></liveries>");
  EXPECT_TRUE(par_SCAN_LIVERIES.value());
  EXPECT_FALSE(liveriesProcessed());
  EXPECT_THAT(logText(), Not(HasSubstr("Broken promise")));

  // The next scan starts with empty title and report lists.
  setStatusRepaintCallback({});
  clearStopRequest();
  ASSERT_EQ(errorCodeOfScan(), 0);
  EXPECT_EQ(liveryDatabase().indexes.liveryCount(), 200U);
  EXPECT_FALSE(fs::exists(folder / "output/errors/IncompleFltsimSections.txt"));
}

TEST_F(LiveryScanTest, ProgressShowsFilesDoneOfFilesFoundAndAWorkerLimitOfZeroIsOne) {
  for (int i = 0; i < 3; ++i) write(fmt::format("ai/{}/aircraft.cfg", i), cfg("A320", "DLH", fmt::format("L{}", i)));
  par_lfolder[0].setValue((folder / "ai").string());
  setWorkerLimit(0);
  std::vector<std::string> shown;
  setStatusRepaintCallback([&] { shown.push_back(statusLineText()); });
  ASSERT_EQ(errorCodeOfScan(), 0);
  EXPECT_THAT(shown, ::testing::Contains("Scanning  for liveries ..."));
  EXPECT_THAT(shown, ::testing::Contains("Scanning  for liveries ... 3 of 3 aircraft.cfg files"));
  EXPECT_EQ(statusLineText(), "");
}

TEST_F(LiveryScanTest, DontUseTitlesOfTheRegcodeFolderAreSkippedSilently) {
  write("input/my_regcodes/mine.txt", "AIG A320 Hidden\n");
  write("ai/a/aircraft.cfg", cfg("A320", "DLH", "AIG A320 Hidden") + "[fltsim.1]\ntitle=Shown\nicao_airline=DLH\n");
  par_lfolder[0].setValue((folder / "ai").string());
  ASSERT_EQ(errorCodeOfScan(), 0);
  EXPECT_THAT(liveriesXml(), Not(HasSubstr("Hidden")));
  EXPECT_THAT(logText(), HasSubstr("\nNo errors"));
  EXPECT_FALSE(fs::exists(folder / "output/errors"));
}

TEST_F(LiveryScanTest, LiveriesScannedXmlReaderErrors) {
  const std::pair<const char*, int> cases[] = {
      {"", 51},
      {"<other/>", 52},
      {"<liveries><liv airl=\"DLH\" title=\"T\"/></liveries>", 999},
      {"<liveries><x/></liveries>", 533},
  };
  for (const auto& [text, code] : cases) {
    write("output/LiveriesScanned.xml", text);
    try {
      readLiveriesScannedXml();
      ADD_FAILURE() << text;
    } catch (const UserErrorException& error) {
      EXPECT_EQ(std::stoi(error.what()), code) << text;
    }
  }
  write("output/LiveriesScanned.xml",
        "<liveries><liv airl=\"KLM\" type=\"B738\" title=\"B\" cargo=\"yes\"/><other/>"
        "<liv airl=\"DLH\" type=\"A320\" title=\"A\" cargo=\"no\" atcid=\"D-AIZA\"/></liveries>");
  readLiveriesScannedXml();
  EXPECT_THAT(describe(scannedLiveries()), ElementsAre("DLH A320 A D-AIZA", "KLM B738 B  cargo"));
}

TEST_F(LiveryScanTest, ADamagedStoredResultReachesTheCallerAndStaysAsItIs) {
  write("first/a/aircraft.cfg", cfg("A320", "DLH", "AIG A320 Lufthansa"));
  par_lfolder[5].setValue((folder / "first").string());
  const std::pair<std::string, int> damaged[] = {
      {"", 51},
      {"<liveries><liv airl=\"DLH\" type=\"A320\" ti", 51},
      {"<other/>", 52},
      {"<liveries><liv airl=\"DLH\" title=\"T\"/></liveries>", 999},
      {"<liveries><x/></liveries>", 533},
  };
  for (const auto& [text, code] : damaged) {
    SCOPED_TRACE(text);
    clearLiveryDatabase();
    write("output/LiveriesScanned.xml", text);
    par_SCAN_LIVERIES.setValue(false);

    EXPECT_EQ(errorCodeOfScan(), code);
    EXPECT_EQ(liveriesXml(), text);
    EXPECT_FALSE(liveriesProcessed());
    EXPECT_FALSE(par_SCAN_LIVERIES.value());
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(folder / "output"), fs::directory_iterator()), 1);
  EXPECT_THAT(logText(), Not(HasSubstr("rescan liveries")));
}

TEST_F(LiveryScanTest, ReportFilesCountLinesAndDropRepeats) {
  removePreviousScanOutputs();
  addIncompleteSectionLine("same");
  addIncompleteSectionLine("same");
  scanReports().invalidAirlines.add("A");
  scanReports().invalidAirlines.add("B");
  write("output/errors/notes.txt", "mine");
  LiveryList liveries{LiveryData{"BAW", "A320", "T", "G-EUPA", 1, false}};
  applyDbaseRegistrations(liveries);
  EXPECT_THAT(describe(liveries), ElementsAre("KLM A320 T G-EUPA cargo"));
  writeLiveryScanReport();
  EXPECT_EQ(testing::readTextFile(folder / "output/errors/IncompleFltsimSections.txt"), "same\n");
  EXPECT_EQ(testing::readFile(folder / "output/info/AirlineModelConversions.txt").substr(0, 2), "T ");
  const std::string log = logText();
  EXPECT_THAT(log, HasSubstr("2 incomplete [fltsim.x] sections, see"));
  EXPECT_THAT(log, HasSubstr("2 invalid airline codes, see"));
  EXPECT_THAT(log, HasSubstr("2 liveries updated with real live data from dbase"));
  removePreviousScanOutputs();
  EXPECT_THAT(logText(), HasSubstr("problems with removing previous files:"));
  EXPECT_TRUE(fs::exists(folder / "output/errors/notes.txt"));
}

TEST(ScanTaskPoolTest, AHungTaskDoesNotHoldUpTheOthers) {
  std::atomic<bool> release{false};
  {
    ScanTaskPool pool(1);
    pool.setCloseWait(std::chrono::milliseconds(10));
    auto hung = pool.submit(ScanTaskPool::Task([&] {
      while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return LiveryList{};
    }));
    auto next = pool.submit(ScanTaskPool::Task([] { return LiveryList{LiveryData{"DLH", "A320", "T", "", 1, false}}; }));
    EXPECT_FALSE(waitForResult(hung, std::chrono::milliseconds(50)).has_value());
    pool.addThread();
    const auto result = waitForResult(next, std::chrono::seconds(5));
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->size(), 1U);
  }
  release = true;
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

}  // namespace
}  // namespace crv
