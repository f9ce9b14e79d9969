// The world file of the simulator stand-in.

#include <cmath>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "platform/simconnect/sim_world.h"
#include "tests/support/temp_folder.h"
#include "tests/support/thrown_text.h"

namespace crv::testing {
namespace {

using platform::parseSimWorld;
using platform::SimWorldError;

TEST(SimWorldFile, AWholeWorldIsRead) {
  const platform::SimWorld world = parseSimWorld(R"({
    "simulator": "2024", "flightRunning": false, "frameRate": 60, "utcSeconds": 1735689610, "maxObjects": 500,
    "userAircraft": {"latitude": -33.9461, "longitude": 151.1772, "altitudeFeet": 21, "groundAltitudeFeet": 21,
                     "headingDegrees": 180, "pitchDegrees": -2, "bankDegrees": 0, "groundSpeedKnots": 0,
                     "onGround": true, "lightStates": 3, "title": "Some Airliner", "atcModel": "$$:A388",
                     "atcId": "VH-OQA"}})");
  EXPECT_EQ(world.identity.applicationName, "SunRise");
  EXPECT_EQ(std::tuple(world.flightRunning, world.frameRate, world.utcSeconds, world.maxObjects),
            std::tuple(false, 60.0, std::int64_t{1735689610}, std::size_t{500}));
  EXPECT_EQ(world.userAircraft.lightStates, 3);
  EXPECT_NEAR(world.userAircraft.headingRadians, M_PI, 1e-12);
  EXPECT_NEAR(world.userAircraft.pitchRadians, -2.0 * M_PI / 180.0, 1e-12);
  EXPECT_DOUBLE_EQ(world.userAircraft.altitudeAboveGroundFeet, 0.0);
  EXPECT_EQ(world.userAircraft.atcModel + " " + world.userAircraft.atcId, "$$:A388 VH-OQA");
}

TEST(SimWorldFile, MissingMembersKeepTheDefaults) {
  const platform::SimWorld world = parseSimWorld(R"({"simulator": 2020, "applicationName": "Kitty-Hawk!"})");
  EXPECT_EQ(world.identity.applicationName, "Kitty-Hawk!");
  EXPECT_EQ(world.identity.versionMajor, 11U);
  EXPECT_DOUBLE_EQ(world.frameRate, 30.0);
  EXPECT_EQ(world.userAircraft.title, platform::SimWorld::defaultUserAircraft().title);
}

TEST(SimWorldFile, BadWorldsAreRefusedNamingTheMember) {
  struct Case { const char *json, *expected; };
  const Case cases[] = {
      {"{\"simulator\": 2020", "not valid JSON"},
      {"[1, 2]", "must be a JSON object"},
      {R"({"simulator": 2022})", "'simulator' must be 2020 or 2024"},
      {R"({"frameRate": "fast"})", "'frameRate' must be a number"},
      {R"({"frameRate": -1})", "'frameRate' must lie between"},
      {R"({"flightRunning": 1})", "'flightRunning' must be true or false"},
      {R"({"framerate": 30})", "unknown member 'framerate'"},
      {R"({"userAircraft": {"latitude": 91}})", "'userAircraft.latitude' must lie between"},
      {R"({"userAircraft": {"title": 5}})", "'userAircraft.title' must be a text"},
      {R"({"userAircraft": {"heading": 5}})", "unknown member 'userAircraft.heading'"},
      {R"({"userAircraft": []})", "'userAircraft' must be an object"},
  };
  for (const Case& c : cases) {
    EXPECT_THAT(testing::thrownText<SimWorldError>([&] { parseSimWorld(c.json); }), ::testing::HasSubstr(c.expected));
  }
}

TEST(SimWorldFile, AFileThatCannotBeReadOrParsedIsNamed) {
  TempFolder folder;
  const auto loadError = [&](const char* name) {
    return testing::thrownText<SimWorldError>([&] { platform::loadSimWorldFile(folder / name); });
  };
  EXPECT_THAT(loadError("missing.json"), ::testing::HasSubstr("missing.json' cannot be read"));
  writeFile(folder / "cut.json", "{\"userAircraft\": {\"latitude\": 4");
  EXPECT_THAT(loadError("cut.json"), ::testing::HasSubstr("cut.json': not valid JSON"));
  EXPECT_EQ(readFile(folder / "cut.json"), "{\"userAircraft\": {\"latitude\": 4");  // left as it was
}

}  // namespace
}  // namespace crv::testing
