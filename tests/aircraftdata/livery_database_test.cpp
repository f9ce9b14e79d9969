// The whole livery database built from generated lists, cleared from another
// thread and built again.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "aircraftdata/livery_database.h"
#include "aircraftdata/livery_matching.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "tests/aircraftdata/dbase_test_files.h"
#include "tests/aircraftdata/livery_test_lists.h"
#include "tests/support/settings_fixture.h"
#include "tools/liverygen/livery_generator.h"

namespace crv {
namespace {

class LiveryDatabaseTest : public SettingsFixture {
 protected:
  LiveryDatabaseTest() { testing::installShippedDbase(); }

  void writeRegcodeSources(const LiveryList& list, std::uint32_t seed) {
    testing::writeEncrypted(programPaths().aigRegcodesEnc, liverygen::generateAigRegcodesXml(list, seed));
    const LiveryData& first = list.front();
    testing::writeFile(programPaths().myRegcodesFolder / "mine.txt", first.title + ";MY-REG1,MY-REG2\n");
  }

  // Reads every byte of every title view the database holds.
  static std::size_t touchEveryView(const LiveryDatabase& database) {
    std::size_t bytes = 0;
    for (const auto& [registration, title] : database.regcodes.regcodeMap) bytes += std::string(title).size();
    for (const std::string_view title : database.regcodes.specialTitles) bytes += std::string(title).size();
    for (const auto* index : {&database.indexes.paxModelIndex(), &database.indexes.cargoModelIndex()}) {
      for (const auto& [type, views] : *index) {
        for (const std::string_view title : views) bytes += std::string(title).size();
      }
    }
    return bytes;
  }
};

TEST_F(LiveryDatabaseTest, BuildsAndARescanAfterAClearLeavesNoViewBehind) {
  const LiveryList first = liverygen::generateLiveries(aircraftDatabase(), {20000, 300, 1});
  writeRegcodeSources(first, 1);
  LiveryDatabase database;
  database.build(first);
  ASSERT_TRUE(database.isBuilt());
  EXPECT_EQ(database.indexes.liveryCount(), first.size());
  EXPECT_GT(database.regcodes.regcodeMap.size(), 15000u);
  EXPECT_FALSE(database.regcodes.specialTitles.empty());
  EXPECT_EQ(database.regcodes.regcodeMap.at("MY-REG1"), first.front().title);

  // Aircraft keep their titles; the clear is asked for by another thread
  // while the worker still matches.
  LiveryMatcher matcher(database, {});
  std::vector<AircraftBase> fleet;
  for (const LiveryData& entry : first) {
    if (fleet.size() == 500) break;
    fleet.emplace_back().category = SizeCategory::Large;
    fleet.back().identity.airline = entry.airl;
    fleet.back().identity.icaoType = entry.type;
  }
  std::atomic<bool> cleared{false};
  std::thread userInterface([&] {
    clearLiveryDatabase();  // the program's database: not this one
    database.requestClear();
    cleared = true;
  });
  for (AircraftBase& base : fleet) matcher.matchLiveryAtSpawn(base);
  userInterface.join();
  ASSERT_TRUE(cleared);
  EXPECT_FALSE(database.isBuilt());
  // Until the worker carries the clear out the tables stay whole.
  EXPECT_EQ(database.indexes.findInstalledTitle(first.front().title), first.front().title);
  EXPECT_TRUE(database.applyRequestedClear());
  const LiveryIndexes& indexes = database.indexes;
  EXPECT_TRUE(indexes.airlineIndex().empty() && indexes.paxAirlineModelIndex().empty() &&
              indexes.cargoModelIndex().empty() && indexes.similarModelMap().empty() &&
              indexes.similarModelsByAirline().empty() && indexes.lightModels().empty() &&
              indexes.findInstalledTitle(first.front().title).empty() && database.regcodes.regcodeMap.empty());
  EXPECT_FALSE(database.applyRequestedClear());

  // A clear asked for again before the next scan is done by the build.
  database.requestClear();
  const LiveryList second = liverygen::generateLiveries(aircraftDatabase(), {5000, 80, 2});
  writeRegcodeSources(second, 2);
  database.build(second);
  EXPECT_TRUE(database.isBuilt());
  EXPECT_EQ(database.indexes.liveryCount(), second.size());
  EXPECT_EQ(database.regcodes.regcodeMap.at("MY-REG1"), second.front().title);
  EXPECT_GT(touchEveryView(database), 0u);
  for (const AircraftBase& base : fleet) EXPECT_FALSE(base.liveryTitle.empty());
  liveryDatabase().applyRequestedClear();
}

TEST_F(LiveryDatabaseTest, ABuildWithoutAClearRequestReplacesTheOldTables) {
  LiveryDatabase database;
  database.build(testing::sortedLiveries({testing::livery("DLH", "A320", "Old", "D-OLDA")}));
  database.build(testing::sortedLiveries({testing::livery("DLH", "A320", "New", "D-NEWA")}));
  EXPECT_EQ(database.regcodes.regcodeMap.count("D-OLDA"), 0u);
  EXPECT_EQ(database.regcodes.regcodeMap.at("D-NEWA"), "New");
  EXPECT_TRUE(database.indexes.findInstalledTitle("Old").empty());
}

}  // namespace
}  // namespace crv
