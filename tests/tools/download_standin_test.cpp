#include "tools/download-standin/site_builder.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "aircraftdata/aircraft_database.h"
#include "aircraftdata/type_lookups.h"
#include "feed/downloader.h"
#include "foundation/settings.h"
#include "tests/feed/download_test_support.h"

namespace crv {
namespace {

// The thirdparty lines of the shipped dbase.xml give each archived airport's
// stand count; the files the download site serves must have exactly that many.
TEST(DownloadStandInTest, ThirdpartyListsAgreeWithTheArchivedFilesServed) {
  testing::DownloadWorld world;
  pugi::xml_document dbase;
  ASSERT_TRUE(dbase.load_file(CRVN_DATA_FOLDER "/dbase.xml"));
  for (const bool msfs2024 : {false, true}) {
    setMsfs2020(!msfs2024);
    std::vector<ThirdpartyAirports> lists;
    readThirdpartiesSection(dbase, msfs2024 ? "thirdparties24" : "thirdparties20", lists,
                            msfs2024 ? "thirdpartie24" : "thirdpartie20");
    ASSERT_GE(lists.size(), 4u);
    for (const ThirdpartyAirports& publisher : lists) {
      for (const std::string& line : publisher.airports) {
        ThirdpartyLineContext context{publisher.publisher, line.substr(0, 4)};
        ASSERT_TRUE(checkThirdpartyLine(context, line));
        std::string publisherInUrl = publisher.publisher;
        for (std::size_t blank; (blank = publisherInUrl.find(' ')) != std::string::npos;) {
          publisherInUrl.replace(blank, 1, "%20");
        }
        const std::string url = downloadBaseUrl(world.site(), false) + "archive/thirdparty/" + publisherInUrl + "/" +
                                context.icao + ".xml";
        const auto target = world.programFolder() / "airport.xml";
        ASSERT_TRUE(downloadUrlToFile(url, target, world.site().options)) << url;
        pugi::xml_document airport;
        ASSERT_TRUE(airport.load_file(target.c_str())) << url;
        const auto stands = airport.child("parkpositions").children("parkpos");
        EXPECT_EQ(std::distance(stands.begin(), stands.end()), context.parkingCount) << line;
        EXPECT_EQ(airport.select_node("/parameters/parameter[@name='num_parkpos']").node().attribute("value").as_int(),
                  context.parkingCount)
            << line;
        EXPECT_EQ(airport.select_node("/parameters/parameter[@name='publisher']").node().attribute("value").as_string(),
                  publisher.publisher);
      }
    }
  }
}

}  // namespace
}  // namespace crv
