#include <fstream>
#include <future>
#include <tuple>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "aircraftdata/aircraft_database.h"
#include "airports/airport_names.h"
#include "airports/apf_parameters.h"
#include "airports/airports_database.h"
#include "airportscan/airport_generation.h"
#include "airportscan/airport_scan.h"
#include "airportscan/publisher_lookup.h"
#include "airportscan/scan_log.h"
#include "foundation/errors.h"
#include "foundation/files.h"
#include "foundation/paths.h"
#include "foundation/session_flags.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "foundation/workers.h"
#include "tests/airportscan/bgl_builder.h"
#include "tests/support/settings_fixture.h"
#include "tests/support/thrown_text.h"

namespace crv {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::BglAirportSpec;
using testing::BglParkingSpec;

std::string airportWithStands(const std::string& icao, int parkings, int helipads = 0) {
  std::vector<std::string> subRecords;
  for (int index = 0; index < helipads; ++index) {
    subRecords.push_back(testing::bglHelipad({52.31 + index * 0.01, 4.77, 30.0F}));
  }
  std::vector<BglParkingSpec> list;
  for (int index = 0; index < parkings; ++index) {
    list.push_back({10, static_cast<unsigned>(index + 1), 1, 20.0F, 90.0F, 52.30 + index * 0.001, 4.76, 0});
  }
  subRecords.push_back(testing::bglParkingList(list));
  return testing::bglFile({testing::bglAirport(BglAirportSpec{icao, 0, subRecords})});
}

// A program folder, a small aircraft database (publisher Orbx with EGLC
// archived at 120 stands; simaddon KSEA) and a packages tree below a folder
// whose own name holds a skip word.
class AirportScanTest : public SettingsFixture {
 protected:
  AirportScanTest() {
    AircraftDatabase database;
    database.publisherNames = {{"Orbx", "orbx"}};
    database.simaddonAirports20 = {"KSEA"};
    database.thirdpartyAirports20 = {{"Orbx", {"EGLC 120"}}};
    installAircraftDatabase(std::move(database));
    airportsDb().airports = {{"EGLC", "LCY"}, {"EHAM", "AMS"}, {"KSEA", "SEA"}};
    setWorkerLimit(4);
    setMsfs2020(true);
    airportScanLog().takeLines();
    setStatusRepaintCallback([this] { statusLines.push_back(statusLineText()); });
  }
  ~AirportScanTest() override {
    setStatusRepaintCallback({});
    installAircraftDatabase(AircraftDatabase{});
    airportsDb().airports.clear();
    clearStopRequest();
  }

  fs::path put(const fs::path& relative, const std::string& bytes) const {
    testing::writeFile(community / relative, bytes);
    return community / relative;
  }

  AirportScanOptions options() const {
    AirportScanOptions scan;
    scan.folders = {community};
    scan.isSuitableForOfflineLearning = [](const std::string&) { return false; };
    return scan;
  }

  fs::path community = folder / "my aircraft sims" / "Community";
  std::vector<std::string> statusLines;
};

TEST_F(AirportScanTest, GeneratedTreeGivesFilesLinksAndTheScanLog) {
  par_SCAN_AIRPORTS.setValue(true);
  put("dev-lcy/manifest.json", R"({"creator": "Orbx", "title": "London City"})");
  put("dev-lcy/scenery/EGLC.bgl", airportWithStands("EGLC", 3));
  put("Microsoft-Airport-ksea/scenery/ksea.bgl", airportWithStands("KSEA", 5));
  put("dev-eham/manifest.json", R"({"creator": "someone", "title": "Amsterdam"})");
  put("dev-eham/scenery/eham.BGL", airportWithStands("EHAM", 10, 2));
  put("aircraft-pack/scenery/eddf.bgl", airportWithStands("EDDF", 3));
  put("dev-lfpg/statics/lfpg.bgl", airportWithStands("LFPG", 3));
  put("dev-lfpo/scenery/lfpo.Bgl", airportWithStands("LFPO", 3));
  std::string broken = airportWithStands("EDDM", 3);
  testing::putU32(broken, 56 + 12, 0xFFFFFFF0);  // subsection table past the end
  put("dev-broken/scenery/broken.bgl", broken);
  for (int index = 0; index < 12; ++index) {
    put(fmt::format("dev-many/scenery/x{}.bgl", index), airportWithStands(fmt::format("ZZ{:02}", index), 1));
  }

  scanAddonAirports(options());

  const ProgramPaths& paths = programPaths();
  EXPECT_EQ(testing::readTextFile(paths.myThirdpartyFolder / "EGLC.txt"), "archive/thirdparty/Orbx/EGLC.xml\n");
  EXPECT_FALSE(fs::exists(paths.myThirdpartyFolder / "EGLC.xml")) << "3 stands, fewer than archived";
  EXPECT_EQ(testing::readTextFile(paths.mySimaddonFolder / "KSEA.txt"), "archive/simaddon/KSEA.xml\n");
  EXPECT_FALSE(fs::exists(paths.mySimaddonFolder / "KSEA.xml"));
  EXPECT_EQ(readApfPublisher(paths.myThirdpartyFolder / "EHAM.xml"), "unknown");
  for (const char* notRead : {"EDDF", "LFPG", "LFPO", "EDDM"}) {
    EXPECT_FALSE(fs::exists(paths.myThirdpartyFolder / (std::string(notRead) + ".xml"))) << notRead;
  }
  EXPECT_EQ(listXmlFiles(paths.myThirdpartyFolder).size(), 13U) << "EHAM and the twelve ZZnn";
  const std::string scanLog = testing::readTextFile(paths.airportsScanLog);
  EXPECT_THAT(scanLog, AllOf(HasSubstr("Generated EHAM.xml: 12 positions, of which 2 helipads"),
                             HasSubstr("Generated ZZ00.xml: 1 position\n"),
                             HasSubstr("thirdparty airport EGLC linked to archive/thirdparty/Orbx/EGLC.xml"),
                             HasSubstr("simaddon airport KSEA linked to archive/simaddon/KSEA.xml"),
                             HasSubstr("from manifest.json: creator 'Orbx' => publisher 'Orbx'"),
                             HasSubstr("aborted, futs"), Not(HasSubstr("EDDF"))));
  EXPECT_FALSE(par_SCAN_AIRPORTS.value());
  EXPECT_FALSE(fs::exists(paths.tbloFolder));
  EXPECT_THAT(statusLines, ::testing::Contains(HasSubstr("Scanning for addon airports ... 16 of 16 BGL files")));
  EXPECT_EQ(runningWorkers(), 0);
}

TEST_F(AirportScanTest, ManifestSearchStopsAtThePackagesRoot) {
  // A manifest above the Community folder belongs to no package.
  testing::writeFile(folder / "my aircraft sims" / "manifest.json", R"({"creator": "Orbx"})");
  put("dev-eglc/scenery/EGLC.bgl", airportWithStands("EGLC", 2));
  ScanLog log;
  EXPECT_FALSE(gf_searchManifest(community / "dev-eglc/scenery/EGLC.bgl", community, log));
  EXPECT_EQ(findAirportPublisher(community / "dev-eglc/scenery/EGLC.bgl", community, log).publisher, "unknown");
  put("dev-eglc/manifest.json", "[1, 2]");
  put("dev-eglc/scenery/manifest.json", R"({"manufacturer": "", "creator": "ORBX Ltd"})");
  EXPECT_EQ(findAirportPublisher(community / "dev-eglc/scenery/EGLC.bgl", community, log).publisher, "Orbx");
}

TEST_F(AirportScanTest, AManifestOfBlanksEndsTheSearch) {
  put("dev-eglc/manifest.json", R"({"creator": "Orbx"})");
  const fs::path bgl = community / "dev-eglc/scenery/EGLC.bgl";
  put("dev-eglc/scenery/manifest.json", "");  // no line: the search goes on upward
  ScanLog log;
  const auto below = gf_searchManifest(bgl, community, log);
  ASSERT_TRUE(below);
  EXPECT_EQ(below->creator, "Orbx");

  put("dev-eglc/scenery/manifest.json", "  \n\t\n");
  log.takeLines();
  EXPECT_FALSE(gf_searchManifest(bgl, community, log));
  ASSERT_EQ(log.lines().size(), 2U) << "found, then the parse error";
  EXPECT_THAT(log.lines()[1], ::testing::StartsWith("exception in gf_searchManifest: [json.exception.parse_error"));
}

TEST_F(AirportScanTest, ManifestSearchIsMadeOncePerFolderOfAScan) {
  put("dev-x/manifest.json", R"({"creator": "Orbx", "title": "EGLC London"})");
  ManifestSearchCache cache;
  ScanLog log;
  const auto first = gf_searchManifest(community / "dev-x/scenery/a.bgl", community, log, &cache);
  fs::remove(community / "dev-x/manifest.json");
  const auto second = gf_searchManifest(community / "dev-x/scenery/b.bgl", community, log, &cache);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(second->creator, "Orbx");
  EXPECT_EQ(second->title, "EGLC London");
  const std::string found = (community / "dev-x" / "manifest.json").string() + " found";
  EXPECT_EQ(log.lines(), (std::vector<std::string>{found, found})) << "the same lines for every file";
  EXPECT_FALSE(gf_searchManifest(community / "dev-x/other/c.bgl", community, log, &cache)) << "another folder";
  EXPECT_FALSE(gf_searchManifest(community / "dev-x/scenery/b.bgl", community, log)) << "no cache, no manifest";
}

TEST_F(AirportScanTest, UnrecognisedAirportNeedsAWholeCodeInTheTitle) {
  const AirportNameMap names;
  ScanLog log;
  const AirportScanTaskContext context{false, community, &names, &log};
  // The manifest's title, the BGL file's stem, the code found.
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"", "scenery1", ""}, {"EH", "scenery1", ""}, {"EHA", "scenery1", ""},
      {"eham schiphol", "scenery1", "EHAM"}, {"", "eglc", "EGLC"}};
  for (const auto& [title, stem, icao] : cases) {
    put("dev-x/manifest.json", fmt::format(R"({{"title": "{}"}})", title));
    const fs::path bgl = put(fmt::format("dev-x/scenery/{}.bgl", stem), "");
    EXPECT_EQ(findUnrecognisedAirportIcao(bgl.string(), context), icao) << title;
  }
}

TEST_F(AirportScanTest, StoppedScanIsNotRecordedAndAnEmptyScanSaysSo) {
  put("dev-eham/scenery/eham.bgl", airportWithStands("EHAM", 2));
  par_SCAN_AIRPORTS.setValue(true);
  raiseStop();
  scanAddonAirports(options());
  EXPECT_TRUE(par_SCAN_AIRPORTS.value()) << "a stopped scan is not complete";
  EXPECT_FALSE(fs::exists(programPaths().myThirdpartyFolder / "EHAM.xml"));
  clearStopRequest();

  airportFoundFlag().store(true);  // left from an earlier scan
  fs::remove_all(community / "dev-eham");
  scanAddonAirports(options());
  EXPECT_FALSE(par_SCAN_AIRPORTS.value());
  EXPECT_THAT(logText(), HasSubstr("Warning: Scan has not found any add-on airports"));
}

TEST_F(AirportScanTest, GeneratedFilesWhoseMakerIsKnownAreCollectedForOfflineLearning) {
  put("dev-lcy/manifest.json", R"({"creator": "Orbx", "title": "London City"})");
  put("dev-lcy/scenery/EGLC.bgl", airportWithStands("EGLC", 130));  // more than the 120 archived
  put("dev-eham/manifest.json", R"({"creator": "someone", "title": "Amsterdam"})");
  put("dev-eham/scenery/eham.bgl", airportWithStands("EHAM", 4));
  put("dev-ksea/scenery/ksea-x.bgl", airportWithStands("KSEB", 2));  // no manifest: nobody named
  AirportScanOptions scan = options();
  scan.isSuitableForOfflineLearning = [](const std::string&) { return true; };

  scanAddonAirports(scan);

  const ProgramPaths& paths = programPaths();
  EXPECT_EQ(readApfPublisher(paths.tbloFolder / "EGLC.xml"), "Orbx");
  EXPECT_FALSE(fs::exists(paths.myThirdpartyFolder / "EGLC.xml")) << "the link is used";
  EXPECT_TRUE(fs::exists(paths.myThirdpartyFolder / "EGLC.txt"));
  EXPECT_TRUE(fs::exists(paths.tbloFolder / "EHAM.xml")) << "its creator names the maker";
  EXPECT_TRUE(fs::exists(paths.myThirdpartyFolder / "EHAM.xml"));
  EXPECT_FALSE(fs::exists(paths.tbloFolder / "KSEB.xml"));
  EXPECT_TRUE(fs::exists(paths.myThirdpartyFolder / "KSEB.xml"));
  EXPECT_EQ(collectedAirportFileCount().load(), 2);
  EXPECT_THAT(logText(), HasSubstr("EGLC copied to "));
}

TEST_F(AirportScanTest, TheFutsInnerLineCountsTheFailedTask) {
  setWorkerLimit(1);
  std::string broken = airportWithStands("EDDM", 3);
  testing::putU32(broken, 56 + 12, 0xFFFFFFF0);  // subsection table past the end
  const fs::path first = put(fs::path("dev-a") / "scenery" / "a.bgl", broken);  // as the walk spells it
  const fs::path second = put(fs::path("dev-b") / "scenery" / "b.bgl", broken);
  scanAddonAirports(options());
  // The second start holds two futures; the failed oldest is one of them.
  const std::string scanLog = testing::readTextFile(programPaths().airportsScanLog);
  EXPECT_THAT(scanLog, AllOf(HasSubstr("futs inner"), ::testing::AnyOf(HasSubstr("\n2\n" + first.string() + "\n"),
                                                                        HasSubstr("\n2\n" + second.string() + "\n"))))
      << scanLog;
}

// A file nobody can remove, root included: on Windows one held open; here
// the folder leads to a proc file system folder, whose entries are never
// removed.
class UndeletableFolder {
 public:
  explicit UndeletableFolder(const fs::path& folder) : folder_(folder) {
    fs::remove_all(folder);
    if (folder.has_parent_path()) {
      fs::create_directories(folder.parent_path());
    }
#ifdef _WIN32
    fs::create_directories(folder);
    held_.open(folder / "EHAM.xml");
#else
    fs::create_directory_symlink("/proc/self/fdinfo", folder);
#endif
  }
  ~UndeletableFolder() {
#ifdef _WIN32
    held_.close();
    fs::remove_all(folder_);
#else
    fs::remove(folder_);
#endif
  }

 private:
  fs::path folder_;
  std::ofstream held_;
};

TEST_F(AirportScanTest, AFileThatCannotBeRemovedFromTheScansFoldersIsUserErrorFive) {
  const ProgramPaths& paths = programPaths();
  for (const fs::path& folder : {paths.tbloFolder, paths.mySimaddonFolder, paths.myThirdpartyFolder}) {
    par_SCAN_AIRPORTS.setValue(true);
    const UndeletableFolder undeletable(folder);
    EXPECT_THAT(testing::thrownText<UserErrorException>([&] { scanAddonAirports(options()); }),
                ::testing::StartsWith("5: "))
        << folder;
    EXPECT_TRUE(par_SCAN_AIRPORTS.value()) << folder << ": nothing was scanned";
  }
}

TEST_F(AirportScanTest, TheNamesAreReadBeforeTheFoldersAreEmptiedAndTheOldScanLogIsRemoved) {
  const ProgramPaths& paths = programPaths();
  testing::writeFile(paths.inputFolder / kAirportNamesFile,
                     R"(<AirportNames><airport ICAO="EHAM" name="Schiphol"/></AirportNames>)");
  const std::string namesLine =
      "1 airport names read from '" + (paths.inputFolder / kAirportNamesFile).string() + "'";
  // A folder with an entry in the place of the old scan log cannot be removed.
  testing::writeFile(paths.airportsScanLog / "held.txt", "");
  scanAddonAirports(options());
  std::string log = logText();
  const std::size_t names = log.find(namesLine);
  ASSERT_NE(names, std::string::npos) << log;
  EXPECT_LT(log.find("airports scan  starts"), names);
  EXPECT_GT(log.find("problems with removing previous files (maybe still open?)"), names);
  fs::remove_all(paths.airportsScanLog);

  const std::size_t secondScan = log.size();
  const UndeletableFolder undeletable(paths.myThirdpartyFolder);
  EXPECT_THAT(testing::thrownText<UserErrorException>([&] { scanAddonAirports(options()); }),
              ::testing::StartsWith("5: "));
  log = logText();
  EXPECT_NE(log.find(namesLine, secondScan), std::string::npos) << log.substr(secondScan);
}

TEST_F(AirportScanTest, TheWalkStartsATaskOnlyInAFreeWorkerSlot) {
  put("dev-eham/scenery/eham.bgl", airportWithStands("EHAM", 2));
  setWorkerLimit(1);
  workerStarted();  // another scan task holds the only slot
  auto scan = std::async(std::launch::async, [this] { scanAddonAirports(options()); });
  EXPECT_EQ(scan.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
  EXPECT_FALSE(fs::exists(programPaths().myThirdpartyFolder / "EHAM.xml"));
  workerDone();
  scan.get();
  EXPECT_TRUE(fs::exists(programPaths().myThirdpartyFolder / "EHAM.xml"));
  EXPECT_EQ(runningWorkers(), 0);
}

TEST_F(AirportScanTest, UnrecognisedAirportIsTheDatabaseCodeThatBeginsTheTitle) {
  airportsDb().airports.insert(airportsDb().airports.begin() + 2, AirportRecord{"EHL", ""});  // kept in code order
  const AirportNameMap names;
  ScanLog log;
  const AirportScanTaskContext context{false, community, &names, &log};
  put("dev-x/manifest.json", R"({"title": "ehle Lelystad"})");
  const fs::path bgl = put("dev-x/scenery/scenery1.bgl", "");
  EXPECT_EQ(findUnrecognisedAirportIcao(bgl.string(), context), "EHL");
}

TEST(AirportScanFilters, SkipWordsAndExtensions) {
  EXPECT_TRUE(isSkippedScanFolder("C:/x", "pkg-aircraft-a320/scenery"));
  EXPECT_FALSE(isSkippedScanFolder("C:/aircraft sims/Community/pkg", "pkg"));
  EXPECT_TRUE(isSkippedScanFolder(std::string(250, 'a'), "pkg"));
  // Characters as Windows counts them, not the bytes of their UTF-8 text.
  const auto repeated = [](std::string_view text, int times) {
    std::string repeat;
    for (int index = 0; index < times; ++index) repeat += text;
    return repeat;
  };
  EXPECT_FALSE(isSkippedScanFolder(repeated("\u00e9", 249), "pkg")) << "498 bytes";
  EXPECT_TRUE(isSkippedScanFolder(repeated("\u00e9", 250), "pkg"));
  EXPECT_TRUE(isSkippedScanFolder(repeated("\U0001D11E", 125), "pkg")) << "each two UTF-16 units";
  EXPECT_TRUE(isBglFile(".BGL"));
  EXPECT_TRUE(isBglFile(".bgl"));
  EXPECT_FALSE(isBglFile(".Bgl"));
}

}  // namespace
}  // namespace crv
