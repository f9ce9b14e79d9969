// The park airport in a running program: on the ground at Schiphol the
// worker loads the airport's stands, runs the full parking calculation and
// publishes the airport to the window, whose thread paints meanwhile.

#include <gtest/gtest.h>

#include <fmt/format.h>

#include "airports/stand_table.h"
#include "app/status_panel.h"
#include "foundation/settings.h"
#include "platform/window/control_model.h"
#include "tests/app/program_harness.h"

namespace crv::testing {
namespace {

using namespace std::chrono_literals;

// Six stands east of the user with a schedule for every half hour of the week.
std::string schipholStands() {
  std::string stands;
  for (int n = 0; n < 6; ++n) {
    std::string usage;
    for (int day = 1; day <= 7; ++day) {
      usage += fmt::format(R"(<opt reg="PH-T{:02}" airl="KLM" type="B738" day="{}" hh="{}" cs="KLM{}"/>)", n, day,
                           "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31,"
                           "32,33,34,35,36,37,38,39,40,41,42,43,44,45,46,47",
                           700 + n);
    }
    stands += fmt::format(R"(<parkpos id="T{}" latitude="52.3120" longitude="{:.6f}" heading="90.0" radius="25.0")"
                          R"( cargo="false" ramp="false">{}</parkpos>)",
                          n + 1, 4.7750 + n * 0.0012, usage);
  }
  return R"(<meta><info name="author" value="CRVN"/><info name="version" value="11.0.2"/>)"
         R"(<info name="date" value="Dec 05, 2026"/><info name="MSFS" value="2020"/></meta>)"
         R"(<parameters><parameter name="airport_name" value="Schiphol"/><parameter name="publisher" value="Pub"/>)"
         R"(<parameter name="altitude" value="-11"/></parameters><parkpositions>)" +
         stands + "</parkpositions>";
}

TEST(ParkAirportSessionTest, OnTheGroundTheAirportIsLoadedCalculatedAndShown) {
  ProgramHarness program([](SessionOptions& options) { options.engineConfig.stands = &parkAirportStands(); });
  writeFile(program.folder() / "airports" / "my_thirdparty" / "EHAM.xml", schipholStands());
  program.start();
  ASSERT_TRUE(program.waitUntilRunning()) << program.log();
  ASSERT_TRUE(program.waitForLog("% vs wanted 30%", 20s)) << program.log();
  EXPECT_NE(program.log().find("The park airport is EHAM (AMS)"), std::string::npos);
  EXPECT_TRUE(ProgramHarness::waitFor([] { return panelTexts().parkAirportIcao == "EHAM"; }, 5s));
  EXPECT_EQ(panelTexts().parkAirportLine, "EHAM (AMS)");
  EXPECT_TRUE(ProgramHarness::waitFor(
      [] { return platform::mainWindowControls().isEnabled(par_DESTINATION.controlId()).value_or(false); }, 5s))
      << "the destination box takes input once the airport's file is read";
  program.clickClose();
  ASSERT_TRUE(program.waitForExit().has_value());
  EXPECT_EQ(panelTexts().parkAirportIcao, "") << "leaving resets the window's texts";
}

}  // namespace
}  // namespace crv::testing
