// The tools' own work: the livery generator's list and the data tool's
// decryption.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>

#include "aircraftdata/aircraft_database.h"
#include "aircraftdata/data_file_key.h"
#include "aircraftdata/livery_indexes.h"
#include "aircraftdata/type_lookups.h"
#include "tests/aircraftdata/livery_test_lists.h"
#include "tests/support/temp_folder.h"
#include "tools/datatool/stream_encrypt.h"
#include "tools/liverygen/livery_generator.h"

namespace crv {
namespace {

using testing::readFile;
using testing::writeFile;

TEST(GeneratedLiveriesTest, EveryLiveryIsReachableByEveryIndexOfItsKind) {
  testing::installShippedDbase();
  const LiveryList list = liverygen::generateLiveries(aircraftDatabase(), {});
  ASSERT_GT(list.size(), 19000u);
  LiveryIndexes indexes;
  indexes.buildAirlineIndex(list);
  indexes.buildAirlineModelIndexes();
  indexes.buildModelIndexes();
  indexes.buildSimilarModels(aircraftDatabase().similarTypeGroups);

  std::set<std::string> airlines;
  std::size_t cargo = 0;
  for (const LiveryData& entry : list) {
    airlines.insert(entry.airl);
    cargo += entry.cargo ? 1 : 0;
    const std::string_view installed = indexes.findInstalledTitle(entry.title);
    ASSERT_EQ(installed, entry.title);
    const TitleViews* byAirline =
        indexes.airlineModelTitles(entry.cargo ? kCargoIndex : kPassengerIndex, entry.airl, entry.type);
    ASSERT_NE(byAirline, nullptr) << entry.title;
    EXPECT_NE(std::find(byAirline->begin(), byAirline->end(), installed), byAirline->end());
    const TitleViews* byType = indexes.modelTitles(entry.cargo, entry.type);
    ASSERT_NE(byType, nullptr);
    EXPECT_NE(std::find(byType->begin(), byType->end(), installed), byType->end());
  }
  EXPECT_EQ(indexes.liveryCount(), list.size());
  EXPECT_EQ(indexes.airlineIndex().size(), airlines.size());
  EXPECT_GT(airlines.size(), 250u);
  EXPECT_GT(cargo, 500u);
  EXPECT_EQ(indexes.airlineIndex().count("ZZZ"), 1u);
  EXPECT_EQ(indexes.airlineIndex().count("PVT"), 1u);
  std::size_t modelViews = 0;
  for (const auto* index : {&indexes.paxModelIndex(), &indexes.cargoModelIndex()}) {
    for (const auto& [type, views] : *index) modelViews += views.size();
  }
  EXPECT_EQ(modelViews, list.size());
  EXPECT_FALSE(indexes.similarModelMap().empty());
}

TEST(GeneratedLiveriesTest, TheSameOptionsGiveTheSameListAndTitlesAreUnique) {
  testing::installShippedDbase();
  const LiveryList first = liverygen::generateLiveries(aircraftDatabase(), {3000, 60, 9});
  const LiveryList again = liverygen::generateLiveries(aircraftDatabase(), {3000, 60, 9});
  const LiveryList other = liverygen::generateLiveries(aircraftDatabase(), {3000, 60, 10});
  ASSERT_EQ(first.size(), again.size());
  EXPECT_TRUE(std::equal(first.begin(), first.end(), again.begin(), liveryEquals));
  EXPECT_FALSE(first.size() == other.size() && std::equal(first.begin(), first.end(), other.begin(), liveryEquals));

  std::set<std::string> titles;
  for (const LiveryData& entry : first) {
    EXPECT_TRUE(titles.insert(entry.title).second) << entry.title;
    EXPECT_TRUE(isKnownType(entry.type)) << entry.type;
  }
}

// The data tool's decryption: a failure must not cost an earlier plain file
// (arguments given the wrong way round, a damaged input).
TEST(DataToolTest, DecryptionKeepsAnOldOutputWhenItFails) {
  const testing::TempFolder folder;
  const auto encrypted = folder / "data.enc";
  const auto plain = folder / "data.xml";
  const std::string original = std::string(5000, 'x');
  writeFile(folder / "original.bin", original);
  datatool::encryptFile(kDataFileKey, folder / "original.bin", encrypted);
  writeFile(plain, "<dbase>old</dbase>");

  EXPECT_THROW(datatool::decryptFile(kDataFileKey, folder / "original.bin", plain), std::runtime_error);
  std::string cut = readFile(encrypted);
  cut.resize(cut.size() - 1);
  writeFile(folder / "cut.enc", cut);
  EXPECT_THROW(datatool::decryptFile(kDataFileKey, folder / "cut.enc", plain), std::runtime_error);
  EXPECT_EQ(readFile(plain), "<dbase>old</dbase>");

  datatool::decryptFile(kDataFileKey, encrypted, plain);
  EXPECT_EQ(readFile(plain), original);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 4) << "a temporary is left";
}

}  // namespace
}  // namespace crv
