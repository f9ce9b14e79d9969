// What the engine learns at the park airport survives leaving it: the
// schedule loads the airport's real files, the learning marks half hours
// (across midnight too), and leaving saves the learned file that the next
// visit reads.

#include <gtest/gtest.h>

#include <set>

#include "airports/park_airport_state.h"
#include "airports/park_airports.h"
#include "tests/airports/airport_file_fixtures.h"
#include "tests/traffic/engine_harness.h"
#include "traffic/learning/stand_learning.h"
#include "traffic/live/live_rules.h"
#include "traffic/statics/parking_schedule.h"
#include "traffic/statics/static_parking.h"

namespace crv::testing {
namespace {

class LearnedRoundTripTest : public AirportFilesTest {
 protected:
  LearnedRoundTripTest() {
    EngineHarness::installTestAircraftTypes();
    user.latitude = kApron.latitude;
    user.longitude = kApron.longitude;
  }
  ParkingScheduleServices services() {
    ParkingScheduleServices s;
    s.userAircraft = [this] { return user; };
    s.userOnGround = [] { return true; };
    s.closestAirport = [this](const GeoPoint&) { return std::optional<AirportRecord>(eham); };
    s.airportByIcao = [this](std::string_view) { return std::optional<AirportRecord>(eham); };
    s.currentSlot = [] { return DaySlot{7, 46}; };
    return s;
  }
  AirportRecord eham{"EHAM", "AMS", kApron.latitude, kApron.longitude, -11.0};
  UserAcData user;
  EngineHarness harness{{}, &parkAirportStands()};
  LiveRules rules{harness.engine, {}};
  StaticParking statics{harness.engine, {}};
  ParkAirportList list;
  ParkingSchedule schedule{harness.engine, statics, rules, &list, services()};
};

TEST_F(LearnedRoundTripTest, HalfHoursLearnedAcrossMidnightComeBackWithoutLossOrDuplicates) {
  write("airports/my_thirdparty/EHAM.xml", apfText(baseParameters("MyPub"), twoGates()));
  AircraftBase klm;
  klm.key = 4711;
  klm.identity.airline = "KLM";
  klm.identity.icaoType = "B738";
  klm.identity.callsign = "KLM5";
  klm.identity.registration = "PH-BXA";
  for (int visit = 0; visit < 2; ++visit) {
    schedule.updateParkAirport(true);
    ASSERT_TRUE(parkAirportActive()) << log();
    StandTable& stands = parkAirportStands();
    const std::uint32_t d8 = findStandByName(stands, "D8")->id;
    for (const DaySlot slot : {DaySlot{7, 46}, DaySlot{7, 47}, DaySlot{1, 0}, DaySlot{1, 1}}) {
      ASSERT_TRUE(addStandOption(stands, d8, klm, slot, kRealUsage, true));
    }
    schedule.clearParkAirportTraffic();
    EXPECT_FALSE(parkAirportActive());
    EXPECT_TRUE(stands.empty());
  }

  schedule.updateParkAirport(true);
  std::vector<UsageEntry> learned;
  std::set<std::uint32_t> ids;
  for (const UsageEntry& entry : findStandByName(parkAirportStands(), "D8")->usage) {
    EXPECT_TRUE(ids.insert(entry.id).second) << entry.id;
    if (entry.fromFile == 0) learned.push_back(entry);
  }
  ASSERT_EQ(learned.size(), 2u);
  EXPECT_EQ(learned[0].day, 7u);
  EXPECT_EQ(learned[0].hh.to_ullong(), (1ULL << 46) | (1ULL << 47));
  EXPECT_EQ(learned[1].day, 1u);
  EXPECT_EQ(learned[1].hh.to_ullong(), 0b11ULL);
  EXPECT_EQ(learned[1].reg, "PH-BXA");
  // The base file's entry of D7 is still the only one there.
  EXPECT_EQ(findStandByName(parkAirportStands(), "D7")->usage.size(), 1u);
}

}  // namespace
}  // namespace crv::testing
