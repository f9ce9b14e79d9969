// Flight plan files of live AI aircraft in orig_dest, and their hand-over to
// MSFS 2020.

#include <filesystem>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "foundation/line_end.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "platform/os/ansi_code_page.h"
#include "simlink/flight_plans.h"
#include "tests/simlink/link_test_support.h"

namespace crv::testing {
namespace {

using platform::SimFunction;

FlightPlanAircraft aircraft(std::uint32_t objectId, const std::string& departure, const std::string& destination,
                            SizeCategory category) {
  return FlightPlanAircraft{objectId, departure, destination, category, "DLH4AB A20N 4000123"};
}

class FlightPlansTest : public SimLinkFixture {
 protected:
  FlightPlansTest() { EXPECT_TRUE(createFlightPlanFolder()); }

  std::filesystem::path planOf(std::uint32_t objectId) { return flightPlanFolder() / flightPlanFileName(objectId); }
};

TEST_F(FlightPlansTest, TheFolderLivesInTheDataFolderAndGoesWithAllItsFiles) {
  EXPECT_EQ(flightPlanFolder(), folder.path() / "data" / "orig_dest");
  EXPECT_TRUE(std::filesystem::is_directory(flightPlanFolder()));
  writeFile(flightPlanFolder() / "sub" / "old.pln", "x");
  EXPECT_TRUE(gf_removeFlightPlanFolder());
  EXPECT_FALSE(std::filesystem::exists(flightPlanFolder()));
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "data"));
  EXPECT_TRUE(gf_removeFlightPlanFolder());  // nothing left to remove
}

TEST_F(FlightPlansTest, ThePlanFileHasItsEightLinesWithTheCodesEscaped) {
  setMsfs2020(false);
  const std::string lines =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<SimBase.Document Type=\"AceXML\" version=\"4,3\">\n"
      "<FlightPlan.FlightPlan>\n"
      "<FPType>IFR</FPType>\n"
      "<DepartureID>EDDF</DepartureID>\n"
      "<DestinationID>LSZH</DestinationID>\n"
      "</FlightPlan.FlightPlan>\n"
      "</SimBase.Document>\n";
  // The simulator reads plans with the line ends of its system: CR LF on
  // Windows.
  for (const bool crlf : {true, false}) {
    useCrLfLineEnds(crlf);
    ASSERT_EQ(createFlightPlan(aircraft(123, "EDDF", "LSZH", SizeCategory::Heavy), link.connection()), true);
    const std::string expected = crlf ? std::regex_replace(lines, std::regex("\n"), "\r\n") : lines;
    EXPECT_EQ(readFile(planOf(123)), expected) << crlf;
  }
  useCrLfLineEnds(kPlatformCrLfLineEnds);

  // Codes from the feed are escaped.
  ASSERT_EQ(createFlightPlan(aircraft(7, "A<B&\"C'", "</DestinationID>", SizeCategory::Light), link.connection()),
            true);
  const std::string text = readFile(planOf(7));
  EXPECT_EQ(testing::missingPieces(text, {"<DepartureID>A&lt;B&amp;&quot;C&apos;</DepartureID>",
                                          "<DestinationID>&lt;/DestinationID&gt;</DestinationID>",
                                          "<FPType>VFR</FPType>"}), "");
  // MSFS 2024 gets the files only.
  EXPECT_EQ(countOf(SimFunction::AISetAircraftFlightPlan), 0U);
}

TEST_F(FlightPlansTest, AnUnknownAirportWritesNothingAndAnUnwritableFileFailsWithAWarning) {
  EXPECT_EQ(createFlightPlan(aircraft(8, "EDDF", "", SizeCategory::Large), link.connection()), std::nullopt);
  EXPECT_EQ(createFlightPlan(aircraft(8, "", "LSZH", SizeCategory::Large), link.connection()), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(planOf(8)));
  ASSERT_TRUE(gf_removeFlightPlanFolder());
  EXPECT_EQ(createFlightPlan(aircraft(9, "EDDF", "LSZH", SizeCategory::Large), link.connection()), false);
  EXPECT_TRUE(logged("creating a flight plan failed"));
  EXPECT_EQ(countOf(SimFunction::AISetAircraftFlightPlan), 0U);
}

TEST_F(FlightPlansTest, Msfs2020GetsThePlanGivenToTheObject) {
  connect();
  const DWORD object = sim->addForeignObject(sim->userAircraft());
  ASSERT_EQ(createFlightPlan(aircraft(object, "EDDF", "LSZH", SizeCategory::Large), link.connection()), true);
  const auto calls = callsOf(SimFunction::AISetAircraftFlightPlan);
  ASSERT_EQ(calls.size(), 1U);
  EXPECT_EQ(calls[0].id(0), object);
  EXPECT_EQ(calls[0].texts.at(0), planOf(object).string());
  EXPECT_EQ(calls[0].id(1), 110U);
  EXPECT_EQ(sim->object(object)->flightPlanPaths, std::vector<std::string>{planOf(object).string()});

  // A refused plan: one warning, no pause.
  sim->failNext(SimFunction::AISetAircraftFlightPlan);
  EXPECT_EQ(createFlightPlan(aircraft(object, "EDDF", "LSZH", SizeCategory::Large), link.connection()), false);
  EXPECT_TRUE(logged("===> DLH4AB A20N 4000123 creating a flight plan failed"));
  EXPECT_FALSE(queues.simLinkPaused.load());
  EXPECT_FALSE(std::filesystem::exists(planOf(object))) << "a refused plan leaves no file behind";
}

// MSFS 2020 takes the plan's path as a text in the system's ANSI code page: a
// data folder in the home of José is given in it, and one whose name has no
// place in the code page gets a warning and leaves no file behind.
TEST_F(FlightPlansTest, ThePlanPathGoesToMsfs2020InTheAnsiCodePage) {
  connect();
  const DWORD object = sim->addForeignObject(sim->userAircraft());
  for (const char8_t* user : {u8"Jos\u00e9", u8"\u0395\u03bb\u03ad\u03bd\u03b7"}) {
    setDataFolderPath(folder.path() / std::filesystem::path(user) / "CRVN");
    ASSERT_TRUE(createFlightPlanFolder());
    const std::optional<std::string> ansiText = platform::ansiTextOfPath(planOf(object));
    SCOPED_TRACE(ansiText.has_value() ? *ansiText : "no text in the code page");
    const auto callsBefore = countOf(SimFunction::AISetAircraftFlightPlan);
    EXPECT_EQ(createFlightPlan(aircraft(object, "EDDF", "LSZH", SizeCategory::Large), link.connection()),
              ansiText.has_value());
    EXPECT_EQ(countOf(SimFunction::AISetAircraftFlightPlan), callsBefore + (ansiText ? 1 : 0));
    EXPECT_EQ(std::filesystem::exists(planOf(object)), ansiText.has_value());
  }
  EXPECT_EQ(sim->object(object)->flightPlanPaths, std::vector<std::string>{*platform::ansiTextOfPath(
                                                      folder.path() / std::filesystem::path(u8"Jos\u00e9") / "CRVN" /
                                                      "orig_dest" / flightPlanFileName(object))});
  EXPECT_TRUE(logged("===> DLH4AB A20N 4000123 creating a flight plan failed"));
}

}  // namespace
}  // namespace crv::testing
