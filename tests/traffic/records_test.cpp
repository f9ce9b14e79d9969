#include <cmath>
#include <stdexcept>

#include <gtest/gtest.h>

#include "foundation/settings.h"
#include "traffic/flight_vocabulary.h"
#include "traffic/live_ac.h"
#include "traffic/path_point.h"
#include "traffic/record_labels.h"
#include "traffic/static_ac.h"

namespace crv {
namespace {

TEST(Vocabulary, NamesAndValuesOutsideTheTables) {
  EXPECT_EQ(simStateName(SimState::adding2sim), "adding2sim");
  EXPECT_EQ(simStateName(SimState::removingfromsim), "removingfromsim");
  EXPECT_EQ(phaseName(FlightPhase::pushing_back), "pushing_back");
  EXPECT_EQ(phaseName(FlightPhase::birth), "birth");
  EXPECT_EQ(categoryName(SizeCategory::Rotorcraft), "Rotorcraft");
  EXPECT_THROW(simStateName(static_cast<SimState>(5)), std::out_of_range);
  EXPECT_THROW(phaseName(static_cast<FlightPhase>(8)), std::out_of_range);
  EXPECT_THROW(categoryName(static_cast<SizeCategory>(6)), std::out_of_range);
}

TEST(RecordLabels, CallsignValidityAndAirlineFromCallsign) {
  AircraftIdentity id;
  EXPECT_FALSE(hasValidCallsign(id));
  id.callsign = "@@@@@@@@";
  EXPECT_FALSE(hasValidCallsign(id));
  id.callsign = "ABCDEFGHI";
  EXPECT_FALSE(hasValidCallsign(id));
  id.callsign = "ABCDEFGH";
  EXPECT_TRUE(hasValidCallsign(id));

  EXPECT_EQ(airlineFromCallsign("dlh4ab"), "DLH");
  EXPECT_EQ(airlineFromCallsign("BAW1"), "BAW");
  EXPECT_FALSE(airlineFromCallsign("BAW"));
  EXPECT_FALSE(airlineFromCallsign("B1W123"));
  EXPECT_FALSE(airlineFromCallsign("BA1123"));
  EXPECT_FALSE(airlineFromCallsign("BAWX12"));

  id.callsign = "ezy12ab";
  EXPECT_TRUE(setAirlineFromCallsign(id));
  EXPECT_EQ(id.airline, "EZY");
  id.callsign = "N123AB";
  EXPECT_FALSE(setAirlineFromCallsign(id));
  EXPECT_EQ(id.airline, "EZY");
}

TEST(RecordLabels, LineFormats) {
  AircraftIdentity id;
  id.airline = "DLH";
  id.icaoType = "A320";
  id.callsign = "DLH4AB";
  id.registration = "D-AIPA";
  EXPECT_EQ(routeLabel(id), "        ");
  EXPECT_EQ(formatRecordLine(id), "         DLH4AB   D-AIPA DLH A320");
  id.departure = "EDDF";
  id.destination = "LH";
  EXPECT_EQ(routeLabel(id), "EDDF->LH ");
  EXPECT_EQ(formatRecordLine3(id), "DLH4AB   D-AIPA DLH A320");
  EXPECT_EQ(noMatchKey(id), "DLH A320 D-AIPA");
  AircraftIdentity other = id;
  other.registration = "D-AIPB";
  EXPECT_TRUE(sameAirlineType(id, other));
  other.icaoType = "A321";
  EXPECT_FALSE(sameAirlineType(id, other));
}

TEST(RecordLabels, PrecedingHalfHoursCrossIntoTheWeekdayBefore) {
  std::vector<std::uint32_t> halfHours;
  precedingHalfHourSlots(halfHours, 3, DaySlot{1, 1});
  EXPECT_EQ(halfHours, (std::vector<std::uint32_t>{1, 0, 47}));
  halfHours.clear();
  precedingHalfHourSlots(halfHours, 0, DaySlot{3, 10});
  EXPECT_TRUE(halfHours.empty());
}

TEST(RecordLabels, CategoriesFollowTheirSettings) {
  const bool light = par_LIGHT_AIRCRAFT.value();
  const bool heli = par_HELICOPTERS.value();
  par_LIGHT_AIRCRAFT.setValue(false);
  par_HELICOPTERS.setValue(true);
  EXPECT_FALSE(isCategoryEnabled(SizeCategory::Light));
  EXPECT_TRUE(isCategoryEnabled(SizeCategory::Rotorcraft));
  EXPECT_TRUE(isCategoryEnabled(SizeCategory::Heavy));
  EXPECT_FALSE(isCategoryEnabled(static_cast<SizeCategory>(9)));
  par_LIGHT_AIRCRAFT.setValue(light);
  par_HELICOPTERS.setValue(heli);
}

TEST(Records, NewRecordsStartWithTheirDefaults) {
  AircraftBase base;
  base.key = 0x3C6589;
  PathPoint first;
  first.dueTick = 3000;
  const LiveAc live = makeLiveAc(base, first, 1700000000.5);
  EXPECT_EQ(live.state, SimState::buffer);
  EXPECT_EQ(live.phase, FlightPhase::birth);
  EXPECT_EQ(live.previousPhase, FlightPhase::birth);
  EXPECT_EQ(live.throttleIndex, 5U);
  EXPECT_EQ(live.flapsIndex, 4U);
  EXPECT_EQ(live.objectId, 0U);
  ASSERT_EQ(live.path.size(), 1U);
  EXPECT_EQ(live.path.front().dueTick, 3000);
  EXPECT_DOUBLE_EQ(live.lastRecordTime, 1700000000.5);
  EXPECT_DOUBLE_EQ(live.motion.heightAboveGroundFeet, 2500.0);
  EXPECT_EQ(live.motion.groundInfoState, 1U);
  EXPECT_TRUE(std::isnan(live.motion.presetHeadingRadians));

  const StaticAc parked = makeStaticAc(base, 17, {50.1, 8.6, 2.0}, true);
  EXPECT_EQ(parked.standId, 17U);
  EXPECT_DOUBLE_EQ(parked.standLatitude, 50.1);
  EXPECT_DOUBLE_EQ(parked.standHeadingRadians, 2.0);
  EXPECT_TRUE(parked.standCargo);
  EXPECT_EQ(parked.fromUsage, 1U);
  EXPECT_EQ(parked.state, SimState::buffer);
}

TEST(PathPoints, TakeTheRecordsPositionAndReadDueTicksRelativeToNow) {
  LiveTrafficRecord record;
  record.latitude = 1.5;
  record.altitudeFeet = 3000.0;
  record.bankRadians = 0.2;
  record.hasTrueHeading = true;
  record.airborne = true;
  const PathPoint point = pathPointOf(record, -40);
  EXPECT_DOUBLE_EQ(point.latitude, 1.5);
  EXPECT_EQ(point.dueTick, -40);
  EXPECT_TRUE(point.bankValid);
  EXPECT_DOUBLE_EQ(point.bankRadians, 0.2);
  EXPECT_TRUE(point.headingValid);
  EXPECT_TRUE(point.airborne);

  // A stored tick is read as the nearest tick to now, before or after it.
  EXPECT_EQ(dueTickOf(static_cast<std::uint32_t>(-40), 0), -40);
  EXPECT_EQ(dueTickOf(3000, 0), 3000);
  const std::int64_t late = (std::int64_t{1} << 32) + 100;
  EXPECT_EQ(dueTickOf(static_cast<std::uint32_t>(late + 3000), late), late + 3000);
  EXPECT_EQ(dueTickOf(static_cast<std::uint32_t>(late - 50), late), late - 50);
}

}  // namespace
}  // namespace crv
