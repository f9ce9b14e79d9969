#include <fmt/format.h>
#include <gtest/gtest.h>

#include "airports/airport_downloads.h"
#include "airports/airport_locations.h"
#include "airports/apf_reader.h"
#include "airports/learned_save.h"
#include "airports/stand_distances.h"
#include "foundation/status_line.h"
#include "platform/os/file_access.h"
#include "tests/airports/airport_file_fixtures.h"
#include "tests/support/pattern_matcher.h"
#include "tests/support/shown_path.h"

namespace crv {
namespace {

using testing::apfText;
using testing::baseParameters;
using testing::parameter;
using testing::twoGates;

// Where the base file lies and what publisher it names.
// The base file is relative to the program folder or on the site; the
// redirect is my_thirdparty/EHAM.txt's text, or none.
struct Variant { const char *label, *baseFile, *redirect, *publisher, *learnedFile; };

const Variant kVariants[] = {
    {"stock", "site/MSFS/archive/stock/EHAM.xml", nullptr, "stock", "airports/learned/stock/EHAM.xml"},
    {"simaddon", "site/MSFS/archive/stock/EHAM.xml", nullptr, "simaddon", "airports/learned/simaddon/EHAM.xml"},
    {"my_simaddon", "airports/my_simaddon/EHAM.xml", nullptr, "simaddon", "airports/learned/simaddon/EHAM.xml"},
    {"thirdparty", "site/MSFS2024/EHAM_addon.xml", "EHAM_addon.xml", "Pub A",
     "airports/learned/thirdparty/Pub A/EHAM.xml"},
    {"my_thirdparty", "airports/my_thirdparty/EHAM.xml", nullptr, "MyPub", "airports/learned/thirdparty/MyPub/EHAM.xml"},
    {"my_thirdparty2024", "airports/my_thirdparty2024/EHAM.xml", "airports/my_thirdparty2024/EHAM.xml", "Pub24",
     "airports/learned/thirdparty/Pub24/EHAM.xml"},
    {"hostile publisher", "airports/my_thirdparty/EHAM.xml", nullptr, "../../x:y*",
     "airports/learned/thirdparty/.._.._x_y_/EHAM.xml"},
    {"no publisher", "airports/my_thirdparty/EHAM.xml", nullptr, "", "airports/learned/thirdparty/EHAM.xml"},
    {"publisher \"..\"", "airports/my_thirdparty/EHAM.xml", nullptr, "..", "airports/learned/thirdparty/EHAM.xml"},
    {"leading blank", "airports/my_thirdparty/EHAM.xml", nullptr, " Pub C",
     "airports/learned/thirdparty/ Pub C/EHAM.xml"},
    {"long publisher", "airports/my_thirdparty/EHAM.xml", nullptr,
     "Airport Sceneries of the Low Countries and the North Sea Coast, Second Edition",
     "airports/learned/thirdparty/Airport Sceneries of the Low Countries and the North Sea Coast, Second Edition/"
     "EHAM.xml"},
};

class LearnedSaveTest : public testing::AirportFilesTest {
 protected:
  LearnedSaveTest() {
    setMsfs2020(false);
    setAirportDownloadSite({"site/", [](const std::string& url, const std::filesystem::path& target,
                                        const std::atomic<bool>&) {
                              std::error_code error;
                              return platform::copyFileReplacing(url, target, error) ? DownloadResult::downloaded
                                                                                     : DownloadResult::notThere;
                            },
                            {}});
  }
  ~LearnedSaveTest() override {
    setAirportDownloadSite({});
    setMsfs2020(true);
  }

  std::string load() {
    parkAirportStands().clear();
    QualityFactors quality;
    return gf_readApf(findAirportFilePath("EHAM"), "EHAM", parkAirportHeader, quality, parkAirportStands());
  }
};

TEST_F(LearnedSaveTest, EveryVariantFindsWhatItLearnedAtTheSamePath) {
  for (const Variant& variant : kVariants) {
    SCOPED_TRACE(variant.label);
    std::filesystem::remove_all(path("airports"));
    std::filesystem::remove_all(path("site"));
    write(variant.baseFile, apfText(baseParameters(variant.publisher), twoGates()));
    if (variant.redirect != nullptr) write("airports/my_thirdparty/EHAM.txt", std::string(variant.redirect) + "  \n");

    ASSERT_EQ(load(), "");
    ParkingPosition& d8 = *findStandByName(parkAirportStands(), "D8");
    d8.usage.push_back(testing::makeUsage(nextUsageId(d8.usage), 5, 30, "KLM9", "KLM", "B77W"));
    d8.radius_change = true;
    d8.radius = metersToNm(33.0);
    countStandUpdate();
    countStandUpdate();
    ASSERT_TRUE(saveAirportFile("EHAM", parkAirportHeader, parkAirportStands()));
    EXPECT_TRUE(std::filesystem::exists(path(variant.learnedFile)));
    EXPECT_EQ(learnedPathFor("EHAM", variant.publisher), std::filesystem::path(variant.learnedFile));

    ASSERT_EQ(load(), "");
    const ParkingPosition& again = *findStandByName(parkAirportStands(), "D8");
    ASSERT_EQ(again.usage.size(), 1U);
    EXPECT_EQ(again.usage.front().cs, "KLM9");
    EXPECT_NEAR(again.radius * kMetersPerNm, 33.0, 1e-9);
    EXPECT_EQ(findStandByName(parkAirportStands(), "D7")->usage.size(), 1U);  // the base entry, once
  }
}

TEST_F(LearnedSaveTest, SaveReportsOnTheStatusLineAndResetsTheCounters) {
  write("airports/my_thirdparty/EHAM.xml", apfText(baseParameters("stock"), twoGates()));
  ASSERT_EQ(load(), "");
  findStandByName(parkAirportStands(), "D8")->usage.push_back(testing::makeUsage(1, 1, 1, "A"));
  countStandUpdate();
  setAirportParametersChanged(true);
  ASSERT_TRUE(saveAirportFile("EHAM", parkAirportHeader, parkAirportStands()));
  const std::string status = statusLineText();
  EXPECT_THAT(status, crv::testing::MatchesPattern("[0-9][0-9]:[0-9][0-9]:[0-9][0-9] .*"));
  EXPECT_EQ(status.substr(9), "'" + testing::shownPath("airports/learned/stock/EHAM.xml") +
                                  "' saved with 1 update and one or more parameter changes");
  EXPECT_EQ(standUpdates(), 0U);
  EXPECT_FALSE(airportParametersChanged());
  // Only D8 carries learned usage; D7's entry came from the base file.
  EXPECT_EQ(read("airports/learned/stock/EHAM.xml").find("\"D7\""), std::string::npos);
}

TEST_F(LearnedSaveTest, AFailedSaveIsReportedAndNeverThrows) {
  write("airports/my_thirdparty/EHAM.xml", apfText(baseParameters("MyPub"), twoGates()));
  ASSERT_EQ(load(), "");
  write("airports/learned/thirdparty", "a file where the folder belongs");
  for (int i = 0; i < 4; ++i) countStandUpdate();
  EXPECT_FALSE(saveAirportFile("EHAM", parkAirportHeader, parkAirportStands()));
  EXPECT_THAT(statusLineText(), ::testing::EndsWith("saving '" + testing::shownPath("airports/learned/thirdparty/MyPub/EHAM.xml") + "' did not succeed"));
  EXPECT_EQ(standUpdates(), 0U);
}

// Usage whose weekday is absent, 0, beyond 7 or negative is learned usage
// all the same: numbered with the rest and saved as it was read.
TEST_F(LearnedSaveTest, UsageOnAnOddWeekdaySurvivesALoadAndASave) {
  write("airports/my_thirdparty/EHAM.xml", apfText(baseParameters("MyPub"), twoGates()));
  const std::string learned = "airports/learned/thirdparty/MyPub/EHAM.xml";
  write(learned, apfText(parameter("airport_name", "Schiphol"),
                         R"(<parkpos id="D8"><opt reg="PH-B1" airl="KLM" type="B738" hh="3" cs="KLM11"/>)"
                         R"(<opt reg="PH-B2" airl="KLM" type="B738" day="0" hh="4"/>)"
                         R"(<opt reg="PH-B3" airl="KLM" type="B738" day="9" hh="5"/>)"
                         R"(<opt reg="PH-B4" airl="KLM" type="B738" day="-2" hh="6"/>)"
                         R"(<opt reg="PH-B5" airl="KLM" type="B738" day="2" hh="7"/></parkpos>)"));
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    ASSERT_EQ(load(), "");
    std::string entries;
    for (const UsageEntry& entry : findStandByName(parkAirportStands(), "D8")->usage) {
      entries += fmt::format("{}:{}:{} ", entry.id, entry.reg, static_cast<std::int32_t>(entry.day));
    }
    EXPECT_EQ(entries, "1:PH-B1:0 2:PH-B2:0 3:PH-B3:9 4:PH-B4:-2 5:PH-B5:2 ");
    ASSERT_TRUE(saveAirportFile("EHAM", parkAirportHeader, parkAirportStands()));
    const std::string saved = read(learned);
    EXPECT_EQ(testing::missingPieces(saved, {R"(reg="PH-B1" airl="KLM" type="B738" day="0" hh="3" cs="KLM11")",
                                             R"(reg="PH-B2" airl="KLM" type="B738" day="0")",
                                             R"(reg="PH-B3" airl="KLM" type="B738" day="9")",
                                             R"(reg="PH-B4" airl="KLM" type="B738" day="-2")",
                                             R"(reg="PH-B5" airl="KLM" type="B738" day="2")"}),
              "");
  }
}

TEST(PublisherFolderName, IsOneSafeFolderName) {
  const std::pair<const char*, const char*> cases[] = {
      {"MyPub", "MyPub"},   {"", ""},                 {"..", ""},              {"a/b\\c", "a_b_c"},
      {"x. ", "x"},         {"CON", "_CON"},          {"lpt1.txt", "_lpt1.txt"}, {"a<b>c|d?e*f\"g", "a_b_c_d_e_f_g"},
      {"tab\there", "tab_here"}, {"COMPANY", "COMPANY"}, {"  Pub", "  Pub"},
  };
  for (const auto& [publisher, folder] : cases) EXPECT_EQ(publisherFolderName(publisher), folder) << publisher;
  EXPECT_EQ(publisherFolderName(std::string(100, 'p')), std::string(100, 'p'));
  // Beyond what one folder name may hold, the name is cut, never inside a character.
  EXPECT_EQ(publisherFolderName(std::string(300, 'p')).size(), 255U);
  std::string accents;
  for (int i = 0; i < 150; ++i) accents += "\xC3\xA9";
  EXPECT_EQ(publisherFolderName(accents), accents.substr(0, 254));
}

}  // namespace
}  // namespace crv
