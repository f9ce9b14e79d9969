#include "foundation/parameters_file.h"

#include <gtest/gtest.h>
#include <fmt/format.h>

#include <pugixml.hpp>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/session_flags.h"
#include "tests/support/settings_fixture.h"
#include "tests/support/unprivileged_user.h"

namespace crv {
namespace {

using ParametersFileTest = SettingsFixture;

std::vector<std::string> storedKeys(const std::filesystem::path& path) {
  pugi::xml_document document;
  EXPECT_TRUE(document.load_file(path.c_str()));
  std::vector<std::string> keys;
  for (pugi::xml_node node : document.child("parameters").children("parameter")) {
    keys.emplace_back(node.attribute("name").value());
  }
  return keys;
}

TEST_F(ParametersFileTest, WithoutAFileEveryListedKeyIsWrittenOnceWithItsDefault) {
  gf_readParameters();

  const std::vector<std::string> keys = storedKeys(parametersPath());
  EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()).size(), keys.size());
  // One key of each kind the load lists.
  const auto file = parametersPath();
  EXPECT_EQ(fmt::format("{} {} {} {} {}", storedValue(file, "SIM_TIME"), storedValue(file, "MAIN_WINDOW_X"),
                        storedValue(file, "RANGE"), storedValue(file, "PROGRAM_VERSION"),
                        storedValue(file, "SIM_CHOICE")),
            "false 400 40 11.0.2 MSFS 2020");
  for (const char* notStored : {"parking_percentage", "MAX_FIT_FL", "CALLSIGN_2_OBJECTID", "ALL_INSTALL_PATH",
                                "lfolder0"}) {
    EXPECT_EQ(storedCount(file, notStored), 0) << notStored;
  }
  for (const Parameter* old : obsoleteParameters()) EXPECT_EQ(storedCount(file, old->name()), 0);

  const std::string log = logText();
  EXPECT_EQ(testing::missingPieces(log, {file.string() + " not found, default values taken:\n",
                                         "SIM_CHOICE=\"MSFS 2020\"\n", "'" + file.string() + "' saved\n"}),
            "");
  EXPECT_EQ(log.find("version update"), std::string::npos);
}

TEST_F(ParametersFileTest, IntegersAreClampedAndPresentNodesKeptAsTheyStand) {
  writeParameters(parameterNodes({{"TIME_SHIFT_HOURS", "-5"}, {"TIME_SHIFT_DAYS", "99"}, {"RANGE", "7"},
                                  {"MAIN_WINDOW_X", " 0x10"}, {"LAST_EPOCH_TIME:", "99999999999"},
                                  {"MAX_HOLDING_MINUTES", "twelve"}, {"PROGRAM_VERSION", "11.0.2"},
                                  {"SOMETHING_ELSE", "kept"}}));

  gf_readParameters();

  // RANGE 7 lies between two allowed values: kept; no number reads 0, clamped to 1.
  EXPECT_EQ(fmt::format("{} {} {} {} {} {}", par_TIME_SHIFT_HOURS.value(), par_TIME_SHIFT_DAYS.value(),
                        par_RANGE.value(), par_MAIN_WINDOW_X.value(), par_LAST_EPOCH_TIME.value(),
                        par_MAX_HOLDING_MINUTES.value()),
            "0 28 7 16 2147483647 1");
  EXPECT_EQ(trafficRadiusMeters(), 7 * 1852 + 10000);
  // The load appends absent keys but never rewrites a present one.
  EXPECT_EQ(storedValue(parametersPath(), "TIME_SHIFT_HOURS"), "-5");
  EXPECT_EQ(storedValue(parametersPath(), "SOMETHING_ELSE"), "kept");
}

TEST_F(ParametersFileTest, BooleansAreTrueOnlyForTextsBeginningWithOneTOrY) {
  writeParameters(parameterNodes({{"SIM_TIME", "yes"}, {"WEEK", "Yo"}, {"PARK_FAKE", "1"}, {"ALWAYS_ON_TOP", "True"},
                                  {"LOG", "on"}, {"SCAN_LIVERIES", ""}}) +
                  "<parameter name=\"SCAN_AIRPORTS\"/>\n" + parameterNodes({{"GUID_CHANGES", " true"}}));

  gf_readParameters();

  EXPECT_EQ(fmt::format("{} {} {} {} {} {}", par_SIM_TIME.value(), par_WEEK.value(), par_PARK_FAKE.value(),
                        par_ALWAYS_ON_TOP.value(), par_LOG.value(), par_GUID_CHANGES.value()),
            "true true true true false false");
  // A first run (no PROGRAM_VERSION) converts nothing and keeps both scans
  // as read.
  EXPECT_FALSE(par_SCAN_LIVERIES.value());
  EXPECT_FALSE(par_SCAN_AIRPORTS.value());
  EXPECT_TRUE(par_PARK_SOFT.value());  // absent: default
}

TEST_F(ParametersFileTest, EmptyLiveryFolderKeysAreRemoved) {
  writeParameters(parameterNodes({{"lfolder2", "/ai/liveries"}, {"lfolder3", ""}}) + R"(<parameter name="lfolder4"/>)" +
                  parameterNodes({{"PROGRAM_VERSION", "11.0.2"}}));

  gf_readParameters();

  EXPECT_EQ(par_lfolder[2].value(), "/ai/liveries");
  EXPECT_EQ(storedValue(parametersPath(), "lfolder2"), "/ai/liveries");
  // Absent ones are not added.
  for (const char* gone : {"lfolder3", "lfolder4", "lfolder5"}) EXPECT_EQ(storedCount(parametersPath(), gone), 0) << gone;
  EXPECT_EQ(testing::missingPieces(logText(), {"Parameter 'lfolder3' removed\n", "Parameter 'lfolder4' removed\n"}), "");
}

TEST_F(ParametersFileTest, NodeWithoutValueReadsZeroAndGetsTheAttributeWhenSaved) {
  writeParameters(R"(<parameter name="RANGE"/><parameter name="DESTINATION"/>)" +
                  parameterNodes({{"PROGRAM_VERSION", "11.0.2"}}));

  gf_readParameters();

  EXPECT_EQ(par_RANGE.value(), 2);
  EXPECT_EQ(par_DESTINATION.value(), "");
  EXPECT_EQ(storedValue(parametersPath(), "RANGE"), "(no value)");

  par_RANGE.setValue(25);
  saveIntParameter(par_RANGE);
  setStringParameterAndSave(par_DESTINATION, "EDDF");
  EXPECT_EQ(storedValue(parametersPath(), "RANGE") + " " + storedValue(parametersPath(), "DESTINATION"), "25 EDDF");
  EXPECT_EQ(storedCount(parametersPath(), "RANGE"), 1);
}

TEST_F(ParametersFileTest, AnUnreadableFileIsKeptAsideBeforeDefaultsAreWritten) {
  // Tampered: 20,000 levels of unknown nodes, about 140 KB; kept, each save
  // indented them to hundreds of megabytes.
  std::string nested = "<parameters><parameter name=\"RANGE\" value=\"25\"/>";
  for (int level = 0; level < 20000; ++level) nested += "<x>";
  for (int level = 0; level < 20000; ++level) nested += "</x>";
  nested += "</parameters>";
  std::filesystem::path setAside = parametersPath();
  setAside += ".bad";
  for (const std::string& broken : {std::string("<parameters>\n<parameter name=\"RANGE\" value=\"25\"\n"),
                                    std::string(), nested}) {
    SCOPED_TRACE(broken.substr(0, 40));
    std::filesystem::remove(setAside);
    testing::writeFile(parametersPath(), broken);
    gf_readParameters();

    EXPECT_EQ(testing::readFile(setAside), broken);
    EXPECT_EQ(par_RANGE.value(), 40);
    EXPECT_EQ(storedValue(parametersPath(), "RANGE"), "40");
    EXPECT_LT(std::filesystem::file_size(parametersPath()), 10'000u);
  }
  const std::string log = logText();
  const std::size_t warning = log.find("===> '" + parametersPath().string() + "' cannot be read");
  ASSERT_NE(warning, std::string::npos);
  EXPECT_LT(warning, log.find(" not found, default values taken:"));
  EXPECT_NE(log.find("nodes nested deeper than"), std::string::npos);
}

TEST_F(ParametersFileTest, AnEarlierFileSetAsideIsNeverOverwritten) {
  // .bad and .bad1 to .bad999 are taken: the 1,001st used to overwrite .bad999.
  const auto setAsideName = [this](int number) {
    std::filesystem::path name = parametersPath();
    name += number == 0 ? std::string(".bad") : fmt::format(".bad{}", number);
    return name;
  };
  for (int number = 0; number < 1000; ++number) {
    testing::writeFile(setAsideName(number), fmt::format("broken file {}", number));
  }
  testing::writeFile(parametersPath(), "the newest broken file");

  saveBoolParameter(par_LOG);

  EXPECT_EQ(testing::readFile(setAsideName(0)), "broken file 0");
  EXPECT_EQ(testing::readFile(setAsideName(999)), "broken file 999");
  EXPECT_EQ(testing::readFile(setAsideName(1000)), "the newest broken file");
  EXPECT_EQ(storedKeys(parametersPath()), std::vector<std::string>{"LOG"});
}

TEST_F(ParametersFileTest, TemporariesOfAKilledSaveAreRemovedAtTheNextStart) {
  std::filesystem::path stale = parametersPath();
  stale += ".tmp0badf00d";
  testing::writeFile(stale, "half a save");
  std::filesystem::path foreign = parametersPath();
  foreign += ".tmp-not-ours";
  testing::writeFile(foreign, "someone else's");

  gf_readParameters();

  EXPECT_FALSE(std::filesystem::exists(stale));
  EXPECT_TRUE(std::filesystem::exists(foreign));
  EXPECT_EQ(storedValue(parametersPath(), "LOG"), "true");
}

TEST_F(ParametersFileTest, ValuesOfTheWrongKindAreLoggedWithTheValueUsed) {
  struct Case {
    const char* key;
    const char* stored;
    std::string warning;  // empty: the value is taken as it stands, no warning
  };
  const Case cases[] = {
      {"RANGE", "forty", "Parameter 'RANGE' has the value \"forty\", which is no whole number; 2 is used"},
      {"MATCHING_DEPTH", "1e9", "Parameter 'MATCHING_DEPTH' has the value \"1e9\", which is no whole number; 1 is used"},
      {"AIRP_HEIGHT", "99999999", "Parameter 'AIRP_HEIGHT' has the value \"99999999\", outside "},
      {"LOG", "on", "Parameter 'LOG' has the value \"on\", which is neither true nor false; false is used"},
      {"MAX_FIT", "6", ""},
      {"WEEK", "Yes", ""},
      {"SIM_TIME", "0", ""},
  };
  std::string nodes;
  for (const Case& c : cases) nodes += parameterNodes({{c.key, c.stored}});
  writeParameters(nodes + parameterNodes({{"PROGRAM_VERSION", "11.0.2"}}));

  gf_readParameters();

  const std::string log = logText();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    const std::string prefix = fmt::format("===> Parameter '{}' has the value", c.key);
    if (c.warning.empty()) {
      EXPECT_EQ(log.find(prefix), std::string::npos) << log;
    } else {
      EXPECT_NE(log.find("===> " + c.warning), std::string::npos) << log;
    }
  }
  // The values themselves are taken as before.
  EXPECT_EQ(par_RANGE.value(), 2);
  EXPECT_EQ(par_MATCHING_DEPTH.value(), 1);
}

TEST_F(ParametersFileTest, AListValueThatIsNoneOfTheChoicesIsKeptAsReadWithAWarning) {
  for (const char* stored : {"msfs 2020", " MSFS 2024 ", "X-Plane", ""}) {
    SCOPED_TRACE(stored);
    writeParameters(parameterNodes({{"SIM_CHOICE", stored},
                                    {"AI_PACKAGE_SELECTOR", "fsltl,aig,jf"},
                                    {"PROGRAM_VERSION", "11.0.2"}}));
    const std::size_t before = logText().size();
    gf_readParameters();
    const std::string log = logText().substr(before);
    EXPECT_EQ(par_SIM_CHOICE.value(), stored);
    EXPECT_NE(log.find(fmt::format("===> Parameter 'SIM_CHOICE' has the value \"{0}\", which is none of \"MSFS "
                                   "2020\" or \"MSFS 2024\"; \"{0}\" is used\n",
                                   stored)),
              std::string::npos)
        << log;
    EXPECT_EQ(par_AI_PACKAGE_SELECTOR.value(), "fsltl,aig,jf");
    EXPECT_NE(log.find("===> Parameter 'AI_PACKAGE_SELECTOR' has the value \"fsltl,aig,jf\""), std::string::npos);
    // The file keeps what the user wrote.
    EXPECT_EQ(storedValue(parametersPath(), "SIM_CHOICE"), stored);
  }
  // A node without a value reads the empty text.
  writeParameters(R"(<parameter name="AI_PACKAGE_SELECTOR"/>)" + parameterNodes({{"PROGRAM_VERSION", "11.0.2"}}));
  gf_readParameters();
  EXPECT_EQ(par_AI_PACKAGE_SELECTOR.value(), "");
  writeParameters(parameterNodes({{"SIM_CHOICE", "MSFS 2024"}, {"PROGRAM_VERSION", "11.0.2"}}));
  const std::size_t before = logText().size();
  gf_readParameters();
  EXPECT_EQ(par_SIM_CHOICE.value(), "MSFS 2024");
  EXPECT_EQ(logText().find("has the value", before), std::string::npos);
}

// The user's own text stands whole in its line (a long livery folder or
// install path); a control byte in it is escaped as the log escapes them.
TEST_F(ParametersFileTest, AHugeTextSettingIsReadAndLoggedWhole) {
  const std::string callsigns(1'000'000, 'K');
  writeParameters(parameterNodes({{"BLOCK_CALLSIGN", callsigns}, {"PROGRAM_VERSION", "11.0.2"}}));

  gf_readParameters();
  setStringParameterAndSave(par_BLOCK_CALLSIGN, callsigns + "X\x1B");

  EXPECT_EQ(par_BLOCK_CALLSIGN.value().size(), callsigns.size() + 2);
  EXPECT_EQ(storedValue(parametersPath(), "BLOCK_CALLSIGN").size(), callsigns.size() + 2);
  const std::string log = logText();
  EXPECT_NE(log.find("BLOCK_CALLSIGN=\"" + callsigns + "\"\n"), std::string::npos);
  EXPECT_NE(log.find("BLOCK_CALLSIGN=\"" + callsigns + "X\\x1B\"\n"), std::string::npos);
}

TEST_F(ParametersFileTest, AFolderInThePlaceOfTheFileIsNamedAndLeftAlone) {
  std::filesystem::create_directories(parametersPath() / "inside");

  gf_readParameters();
  saveBoolParameter(par_LOG);

  EXPECT_TRUE(std::filesystem::is_directory(parametersPath() / "inside"));
  std::filesystem::path setAside = parametersPath();
  setAside += ".bad";
  EXPECT_FALSE(std::filesystem::exists(setAside));
  const std::string log = logText();
  EXPECT_NE(log.find("===> '" + parametersPath().string() + "' is a folder, not a settings file"), std::string::npos)
      << log;
  EXPECT_EQ(log.find("allocate memory"), std::string::npos) << log;
  EXPECT_EQ(par_RANGE.value(), 40);
}

TEST_F(ParametersFileTest, ASaveThatCannotUseTheFileLogsTheSettingBeforeItsFailure) {
  std::filesystem::create_directories(parametersPath() / "inside");
  par_LOG.setValue(false);
  saveBoolParameter(par_LOG);
  EXPECT_NE(logText().find("LOG=false\nSaving '" + parametersPath().string() + "' failed\n"), std::string::npos)
      << logText();
  EXPECT_TRUE(std::filesystem::is_directory(parametersPath() / "inside"));
}

// A folder in the place of the file, or a file in the place of the data
// folder (its status cannot be had): the defaults are taken and the log says
// they were not saved.
TEST_F(ParametersFileTest, ALoadThatCannotSaveItsDefaultsSaysSo) {
  for (const bool folderInPlace : {true, false}) {
    SCOPED_TRACE(folderInPlace ? "a folder in the place of the file" : "a file in the place of the data folder");
    if (folderInPlace) {
      std::filesystem::create_directories(parametersPath() / "inside");
    } else {
      testing::writeFile(folder / "not a folder", "x");
      setDataFolderPath(folder / "not a folder");
    }
    const std::size_t before = logText().size();
    gf_readParameters();
    const std::string log = logText().substr(before);
    const std::string path = parametersPath().string();
    const std::size_t defaults = log.find(path + " not found, default values taken:\n");
    EXPECT_NE(defaults, std::string::npos) << log;
    EXPECT_NE(log.find("LOG=true\n", defaults), std::string::npos) << log;
    EXPECT_NE(log.find("could not save to '" + path + "'\n", log.find("LOG=true\n", defaults)), std::string::npos)
        << log;
  }
  EXPECT_TRUE(std::filesystem::is_directory(folder / "data" / "parameters.xml" / "inside"));
  EXPECT_EQ(testing::readFile(folder / "not a folder"), "x");
}

// The user froze the settings: a save is refused as an open for writing
// would be (a user whom permissions bind; on Windows the read-only mark).
TEST_F(ParametersFileTest, AReadOnlyFileRefusesTheSaveAndStaysAsItIs) {
  writeParameters(parameterNodes({{"RANGE", "25"}}));
  const std::string frozen = parametersText();
  constexpr auto kReadOnly =
      std::filesystem::perms::owner_read | std::filesystem::perms::group_read | std::filesystem::perms::others_read;
  testing::handToUnprivilegedUser(folder / "data");
  testing::handToUnprivilegedUser(parametersPath());
  std::filesystem::permissions(parametersPath(), kReadOnly);

  EXPECT_EQ(testing::runAsUnprivilegedUser([] {
              par_RANGE.setValue(30);
              saveIntParameter(par_RANGE);
              return std::string("saved");
            }),
            "saved");

  EXPECT_EQ(parametersText(), frozen);
  EXPECT_EQ(std::filesystem::status(parametersPath()).permissions(), kReadOnly);
  EXPECT_NE(logText().find("RANGE=30\nSaving '" + parametersPath().string() + "' failed\n"), std::string::npos)
      << logText();
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "data"), {}), 1);
  std::filesystem::permissions(parametersPath(), std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
}

TEST_F(ParametersFileTest, EveryLoadLogsTheWholeBlockOfEverySetting) {
  writeParameters(parameterNodes({{"RANGE", "25"}, {"PROGRAM_VERSION", "11.0.2"}}));
  gf_readParameters();
  const std::size_t firstBlock = logText().size();
  writeParameters(parameterNodes({{"RANGE", "60"}, {"LOG", "false"}, {"PROGRAM_VERSION", "11.0.2"}}));
  gf_readParameters();

  const std::string first = logText().substr(0, firstBlock);
  const std::string second = logText().substr(firstBlock);
  const std::string path = parametersPath().string();
  for (const std::string& block : {first, second}) {
    EXPECT_EQ(testing::missingPieces(block, {"parameters *", "from '" + path + "'\n", "SIM_TIME=", "MAX_LIVE_SEL=",
                                             "SIM_CHOICE=\"MSFS 2020\"\n", std::string(80, '*') + "\n\n"}),
              "")
        << block;
  }
  EXPECT_NE(first.find("RANGE=25\n"), std::string::npos) << first;
  EXPECT_EQ(testing::missingPieces(second, {"RANGE=60\n", "LOG=false\n"}), "") << second;
}

TEST_F(ParametersFileTest, SaveAddsTheParametersElementWhenItIsMissing) {
  testing::writeFile(parametersPath(), "<?xml version=\"1.0\"?>\n<settings><x/></settings>\n");

  saveBoolParameter(par_LOG);

  EXPECT_EQ(storedKeys(parametersPath()), std::vector<std::string>{"LOG"});
  EXPECT_NE(parametersText().find("<settings>"), std::string::npos);
}

TEST_F(ParametersFileTest, SaveWithoutAFileCreatesOneWithTheValueAsItStands) {
  par_TIME_SHIFT_HOURS.setValue(77);  // callers clamp user input, the save does not
  saveIntParameter(par_TIME_SHIFT_HOURS);
  EXPECT_EQ(storedKeys(parametersPath()), std::vector<std::string>{"TIME_SHIFT_HOURS"});
  EXPECT_EQ(storedValue(parametersPath(), "TIME_SHIFT_HOURS"), "77");
  EXPECT_NE(logText().find("TIME_SHIFT_HOURS=77\n"), std::string::npos);
}

TEST_F(ParametersFileTest, SaveIntoAnUnwritableFolderIsLoggedNotThrown) {
  setDataFolderPath(folder / "missing" / "folder");
  EXPECT_NO_THROW(saveBoolParameter(par_LOG));
  EXPECT_NE(logText().find("Saving '" + parametersPath().string() + "' failed\n"), std::string::npos);
}

TEST_F(ParametersFileTest, SettingLinesAreDroppedWhileStopping) {
  raiseStop();
  par_LOG.setValue(false);
  saveBoolParameter(par_LOG);
  clearStopRequest();
  EXPECT_EQ(storedValue(parametersPath(), "LOG"), "false");
  EXPECT_EQ(logText().find("LOG=false"), std::string::npos);
}

TEST_F(ParametersFileTest, ConcurrentSavesOfDifferentSettingsLoseNothing) {
  writeParameters("<parameter name=\"UNKNOWN_KEY\" value=\"survives\"/>\n");
  constexpr int kRounds = 300;
  // Each thread saves, alternating between two settings of its own.
  std::thread ui([] {
    for (int i = 0; i < kRounds; ++i) {
      if (i % 2 == 0) {
        par_MAIN_WINDOW_X.setValue(i);
        saveIntParameter(par_MAIN_WINDOW_X);
      } else {
        setStringParameterAndSave(par_BLOCK_CALLSIGN, "BAW" + std::to_string(i));
      }
    }
  });
  std::thread worker([] {
    for (int i = 0; i < kRounds; ++i) {
      if (i % 2 == 0) {
        par_SCAN_LIVERIES.setValue(i % 4 == 0);
        saveBoolParameter(par_SCAN_LIVERIES);
      } else {
        setStringParameterAndSave(par_lfolder[3], "/liveries/" + std::to_string(i));
      }
    }
  });
  ui.join();
  worker.join();

  const auto file = parametersPath();
  EXPECT_EQ(fmt::format("{} {} {} {} {}", storedValue(file, "UNKNOWN_KEY"), storedValue(file, "MAIN_WINDOW_X"),
                        storedValue(file, "BLOCK_CALLSIGN"), storedValue(file, "SCAN_LIVERIES"),
                        storedValue(file, "lfolder3")),
            "survives 298 BAW299 false /liveries/299");  // the last even round, 298, is not a multiple of 4
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder / "data"), {}), 1);
}

TEST_F(ParametersFileTest, TextSettingsAreHandedOverWhole) {
  std::atomic<bool> done{false};
  std::thread reader([&done] {
    while (!done.load()) {
      const std::string value = par_DESTINATION.value();
      ASSERT_TRUE(value.empty() || value == std::string(64, 'A') || value == std::string(64, 'B')) << value;
    }
  });
  for (int i = 0; i < 2000; ++i) par_DESTINATION.setValue(std::string(64, i % 2 == 0 ? 'A' : 'B'));
  done = true;
  reader.join();
}

}  // namespace
}  // namespace crv
