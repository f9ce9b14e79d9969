// The user aircraft: position replies with the teleport test and the
// simulator's UTC time, the once-a-second ground reply, the title and the
// ATC model with the type deduced from them, and the user's stand.

#include <array>
#include <chrono>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "aircraftdata/aircraft_database.h"
#include "airports/stand_names.h"
#include "foundation/session_flags.h"
#include "foundation/status_line.h"
#include "tests/simlink/link_test_support.h"

namespace crv::testing {
namespace {

constexpr double kNm = 1.0 / 1852.0;  // one metre in nautical miles

AircraftDatabase typeDatabase() {
  AircraftDatabase database;
  const std::vector<std::pair<std::string, double>> spans = {
      {"A20N", 18.0}, {"A320", 17.0}, {"B737", 17.2}, {"B738", 17.9}, {"CRJ7", 11.6}, {"E190", 14.3}, {"A388", 39.9}};
  for (const auto& [type, halfSpanMeters] : spans) {
    database.halfSpanMap[type] = halfSpanMeters * kNm;
    database.typeSets.all.insert(type);
  }
  database.maxHalfSpan = 39.9 * kNm;
  for (const char* type : {"A20N", "A320", "B737"}) database.categoryByType[type] = SizeCategory::Large;
  database.categoryByType["A388"] = SizeCategory::Heavy;
  return database;
}

UserAcData at(double latitude, double longitude) {
  UserAcData data;
  data.latitude = latitude;
  data.longitude = longitude;
  return data;
}

class UserAircraftTest : public SimLinkFixture {
 protected:
  UserAircraftTest() { installAircraftDatabase(typeDatabase()); }
  ~UserAircraftTest() override {
    installAircraftDatabase(AircraftDatabase{});
    standNameIndex().clear();
  }

  UserAircraft& user = link.user();
};

TEST(UserModelFixTest, KnownFormsOfTheAtcModelBecomeTypeCodes) {
  installAircraftDatabase(typeDatabase());
  const std::array<const char*, 3> cases[] = {  // model, title, type code
      {"777", "", "772"}, {"ATCCOM.AC_MODEL_B738.0.text", "", "B738"}, {".0.text", "", ".0.text"},
      {"ATCCOM.AC_MODEL_ZZZZ.0.text", "", "ATCCOM.AC_MODEL_ZZZZ.0.text"}, {"E190.0.text", "", "E190"},
      {"$$:B738", "", "B738"}, {"$$:X", "", "$$:X"}, {"737", "DG 737-800", "B738"}, {"737", "Boeing 737 MAX", "737"},
      {"A20N", "DG 737-800", "A20N"}};
  for (const auto& [model, title, type] : cases) EXPECT_EQ(fixUserModel(model, title), type) << model << " " << title;
  installAircraftDatabase(AircraftDatabase{});
}

// A garbled day or time gives no time (0) instead of overflowing; the year
// is 16 bits; a leap second is still a time.
TEST(SimulatorTimeTest, ZuluValuesGiveSecondsSince1970) {
  constexpr std::int64_t kHuge = std::numeric_limits<std::int64_t>::max();
  const std::array<std::int64_t, 4> cases[] = {  // year, day of year, seconds of day, expected
      {2025, 1, 10, 1735689610}, {2024, 366, 86399, 1735689599}, {2025 + 65536, 1, 10, 1735689610},
      {2025, 0, 10, 0},          {2025, 367, 10, 0},            {2025, 1, kHuge, 0},
      {2025, 1, -1, 0},          {2025, 1, 86400, 1735776000}};
  for (const auto& [year, day, seconds, expected] : cases) {
    EXPECT_EQ(simulatorUtcSeconds(year, day, seconds), expected) << year << " " << day << " " << seconds;
  }
}

// The ground reply counts only once the position is known.
TEST_F(UserAircraftTest, AJumpOfMoreThanTenMilesIsANewFlight) {
  user.onUserOnGround(1);
  EXPECT_TRUE(user.secondTick.exchange(false));
  EXPECT_FALSE(user.userOnGround.load() || user.userDataReady.load());

  UserAcData first = at(47.0, 8.0);  // far from 0, 0: still the first reply
  first.altitudeFeet = -12.0;        // below sea level counts as zero
  user.onUserPosition(first, 1);
  EXPECT_EQ(user.data().altitudeFeet, 0.0);
  user.onUserOnGround(0x100000000LL);  // only the low 32 bits count
  EXPECT_FALSE(user.userOnGround.load());
  EXPECT_TRUE(user.userDataReady.load());
  user.onUserOnGround(1);
  EXPECT_TRUE(user.userOnGround.load() && user.secondTick.load());

  user.onUserPosition(at(47.0 + 9.99 / 60.0, 8.0), 1);
  EXPECT_FALSE(stopRequested());
  user.onUserPosition(at(47.0 + 9.99 / 60.0 + 10.01 / 60.0, 8.0), 1);
  EXPECT_TRUE(stopRequested());
  EXPECT_EQ(exits(), std::vector<LinkExitReason>{LinkExitReason::newFlight});
  EXPECT_TRUE(logged("\nTeleport\n"));
  user.onUserPosition(at(10.0, 10.0), 1);
  EXPECT_EQ(exits().size(), 1U);
}

// The first 48 characters, a UTF-8 character never cut in two.
TEST_F(UserAircraftTest, TheTitleIsCutTo48CharactersNeverInsideOneAndLoggedWhenItChanges) {
  std::string umlauts;
  for (int i = 0; i < 50; ++i) umlauts += "\xC3\x84";  // two bytes each
  const std::string euro = "\xE2\x82\xAC";            // three bytes
  const std::pair<std::string, std::string> cases[] = {
      {std::string(47, 'A') + euro + "uro", std::string(47, 'A') + euro},
      {umlauts, umlauts.substr(0, 96)},
      {std::string(46, 'B') + "\xF0\x9F\x9B\xA9\xF0\x9F\x9B\xA9x", std::string(46, 'B') + "\xF0\x9F\x9B\xA9\xF0\x9F\x9B\xA9"},
      {std::string(60, 'T'), std::string(48, 'T')}};
  for (const auto& [title, expected] : cases) {
    user.onUserAcTitle(title);
    EXPECT_EQ(user.title(), expected);
  }
  user.onUserAcTitle(std::string(60, 'T'));
  EXPECT_EQ(link.display().userAircraftText(), std::string(48, 'T'));
  const std::string line = "          SimConnect: User aircraft title: " + std::string(48, 'T') + "\n";
  const std::string log = logText();
  EXPECT_NE(log.find(line), std::string::npos);
  EXPECT_EQ(log.find(line), log.rfind(line));

  user.onUserAcTitle("");
  EXPECT_TRUE(logged("! Title of your aircraft is empty?"));
  EXPECT_EQ(user.title(), std::string(48, 'T'));
}

// The model the simulator names, else one read from the title; the CRJ7
// without a model, the largest span for an unknown one.
TEST_F(UserAircraftTest, TheModelOrTheTitleGivesSpanAndCategory) {
  struct Case { const char *title, *model; bool known; double halfSpanMeters; std::optional<SizeCategory> category;
                const char *logged, *status; };
  const Case cases[] = {
      {"", "$$:A20N", true, 18.0, SizeCategory::Large,
       "SimConnect: User aircraft model: A20N, half wing span: 18.0 meter, category: Large", ""},
      {"PMDG DG 737-700 Lufthansa", "737", true, 17.2, SizeCategory::Large, "", ""},
      {"", "", false, 11.6, std::nullopt, "",
       "171: No model info from your user aircraft received in SimConnect, CRJ7 is taken instead"},
      {"", "Crew Vessel 2", true, 14.3, SizeCategory::Light, "", ""},  // camera pods and vessels are small
      {"Aerosoft A320 Lufthansa D-AIPA", "FNX_320", true, 17.0, SizeCategory::Large,
       "SimConnect: User aircraft model deduced from title: A320, half wing span: 17.0 meter", ""},
      {"Some Homebuilt", "HOMEBUILT", false, 39.9, SizeCategory::Light,
       "SimConnect: User aircraft model: HOMEBUILT, category: Light",
       "User aircraft wing span unknown, max is taken instead, please report in my Forum!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.model);
    clearStatusLine();
    user.onUserAcTitle(c.title);
    user.onUserAcModel(c.model);
    if (*c.model != '\0') {
      EXPECT_EQ(link.display().userAircraftKnown.load(), c.known);
    } else {
      EXPECT_EQ(link.display().userAircraftText(), "Unknown (encrypted?) aircraft");
    }
    EXPECT_DOUBLE_EQ(*user.type().halfWingSpanNm, c.halfSpanMeters * kNm);
    if (c.category) {
      EXPECT_EQ(user.type().category, *c.category);
    }
    EXPECT_TRUE(logged(c.logged));
    EXPECT_EQ(statusLineText(), c.status);
  }
  EXPECT_TRUE(logged("model raw: $$:A20N"));
}

TEST_F(UserAircraftTest, TheStandUnderTheUserIsShownAndHandedOverWhenStanding) {
  StandTable table;
  table.emplace_back("B12", std::vector<UsageEntry>{}, std::array<double, 3>{47.4600, 8.5500, 0.0}, 30.0, false,
                      false, false);
  publishStandNames(table);
  user.onUserPosition(at(47.4601, 8.5501), 1);
  user.onUserOnGround(1);  // on the ground from now on
  user.onUserPosition(at(47.4600, 8.5500), 1);
  EXPECT_EQ(link.display().userStandText(), "B12");
  EXPECT_EQ(user.userStandName(), "B12");

  user.rememberUserStand();
  EXPECT_EQ(stands(), std::vector<std::string>{"B12"});

  UserAcData rolling = at(47.4600, 8.5500);
  rolling.groundSpeedKnots = 5.0;
  user.onUserPosition(rolling, 1);
  user.rememberUserStand();
  EXPECT_EQ(stands().size(), 1U);

  user.onUserPosition(at(47.4700, 8.5500), 1);
  EXPECT_EQ(link.display().userStandText(), "");
}

TEST_F(UserAircraftTest, RequestsAreSkippedWhilePausedAndFailuresEndTheSession) {
  queues.simLinkPaused.store(true);
  user.getUserAcPosition();
  EXPECT_EQ(countOf(platform::SimFunction::RequestDataOnSimObject), 0U);
  queues.simLinkPaused.store(false);

  user.getUserAcPosition();  // no connection: the call fails
  EXPECT_EQ(requestErrors.load(), 1);
  EXPECT_TRUE(queues.simLinkPaused.load());
  user.requestUserAcTitleModel();
  const std::string log = logText();
  EXPECT_EQ(testing::missingPieces(log, {"===> SimConnect request user ac position fails",
                                         "===> SimConnect request user ac title fails",
                                         "===> SimConnect reques user ac model fails"}), "");
}

// The user aircraft arrives in the units its data definition names, whatever
// units the simulator keeps it in.
TEST_F(UserAircraftTest, ThePositionArrivesInTheUnitsOfItsDefinition) {
  platform::SimObjectState state = sim->userAircraft();
  state.latitudeDegrees = 51.4706;
  state.longitudeDegrees = -0.4619;
  state.pitchRadians = 0.052;
  state.bankRadians = -0.175;
  state.headingRadians = 2.356;
  state.altitudeFeet = 4120.0;
  state.altitudeAboveGroundFeet = 3040.0;
  state.groundSpeedKnots = 212.0;
  state.onGround = false;
  sim->setUserAircraft(state);
  connect();
  user.getUserAcPosition();
  settle();
  const UserAcData data = user.data();
  const std::vector<std::pair<double, double>> arrivedAndKept = {
      {data.latitude, state.latitudeDegrees},  {data.longitude, state.longitudeDegrees},
      {data.pitchRadians, state.pitchRadians}, {data.bankRadians, state.bankRadians},
      {data.headingRadians, state.headingRadians}, {data.altitudeFeet, state.altitudeFeet},
      {data.altitudeAboveGroundFeet, state.altitudeAboveGroundFeet}, {data.groundSpeedKnots, state.groundSpeedKnots}};
  for (std::size_t field = 0; field < arrivedAndKept.size(); ++field) {
    EXPECT_NEAR(arrivedAndKept[field].first, arrivedAndKept[field].second, 1e-9) << "field " << field;
  }
}

TEST_F(UserAircraftTest, TheSimulatorsRepliesArriveOnTheSimClientThread) {
  platform::SimObjectState state = sim->userAircraft();
  state.title = "Airbus A320 Neo Asobo Lufthansa With A Title Longer Than Forty-Eight";
  state.atcModel = "$$:A20N";
  state.groundSpeedKnots = 0.0;
  sim->setUserAircraft(state);
  sim->setSimulatorUtc(1735689610);
  connect();

  user.requestUserAcTitleModel();
  user.getUserAcPosition();
  ASSERT_TRUE(link.connection().requestUserOnGroundEverySecond());
  settle();
  EXPECT_EQ(fmt::format("{} {} {} {}|{}", user.objectId(), user.data().latitude, user.data().longitude,
                        user.simUtcTime.load(), user.title()),
            fmt::format("{} {} {} 1735689610|{}", sim->userObjectId(), state.latitudeDegrees, state.longitudeDegrees,
                        state.title.substr(0, 48)));
  EXPECT_EQ(user.type().category, SizeCategory::Large);
  EXPECT_FALSE(user.secondTick.load());

  sim->advanceClock(std::chrono::seconds(1));
  settle();
  EXPECT_TRUE(user.secondTick.exchange(false) && user.userOnGround.load() && user.userDataReady.load());
  sim->advanceClock(std::chrono::seconds(1));
  settle();
  EXPECT_TRUE(user.secondTick.load());
  // The request of the worker comes from the test thread, the replies are
  // handled on the SimClient thread.
  const auto requests = callsOf(platform::SimFunction::RequestDataOnSimObject);
  ASSERT_EQ(requests.size(), 4U);
  EXPECT_EQ(requests[0].arguments + "|" + requests[1].arguments + "|" + requests[2].arguments + "|" +
                requests[3].arguments,
            "106, 407, 0, 1, 0, 0, 0, 0|107, 408, 0, 1, 0, 0, 0, 0|109, 403, 0, 1, 0, 0, 0, 0|108, 409, 0, 4, 0, 0, 0, 0");
}

}  // namespace
}  // namespace crv::testing
