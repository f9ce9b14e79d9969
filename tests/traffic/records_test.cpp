#include <stdexcept>

#include <gtest/gtest.h>

#include "tests/support/settings_fixture.h"
#include "traffic/flight_vocabulary.h"
#include "traffic/path_point.h"
#include "traffic/record_labels.h"

namespace crv {
namespace {

TEST(Vocabulary, ValuesOutsideTheTablesThrow) {
  EXPECT_THROW(simStateName(static_cast<SimState>(5)), std::out_of_range);
  EXPECT_THROW(phaseName(static_cast<FlightPhase>(8)), std::out_of_range);
  EXPECT_THROW(categoryName(static_cast<SizeCategory>(6)), std::out_of_range);
}

TEST(RecordLabels, CallsignValidityAndAirlineFromCallsign) {
  AircraftIdentity id;
  EXPECT_FALSE(hasValidCallsign(id));
  for (const auto& [callsign, valid] : {std::pair{"@@@@@@@@", false}, {"ABCDEFGHI", false}, {"ABCDEFGH", true}}) {
    id.callsign = callsign;
    EXPECT_EQ(hasValidCallsign(id), valid) << callsign;
  }

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
  par_LIGHT_AIRCRAFT.setValue(false);
  par_HELICOPTERS.setValue(true);
  EXPECT_FALSE(isCategoryEnabled(SizeCategory::Light));
  EXPECT_TRUE(isCategoryEnabled(SizeCategory::Rotorcraft));
  EXPECT_TRUE(isCategoryEnabled(SizeCategory::Heavy));
  EXPECT_FALSE(isCategoryEnabled(static_cast<SizeCategory>(9)));
  resetAllSettings();
}

TEST(PathPoints, DueTicksAreReadRelativeToNow) {
  // A stored tick is read as the nearest tick to now, before or after it.
  EXPECT_EQ(dueTickOf(static_cast<std::uint32_t>(-40), 0), -40);
  EXPECT_EQ(dueTickOf(3000, 0), 3000);
  const std::int64_t late = (std::int64_t{1} << 32) + 100;
  EXPECT_EQ(dueTickOf(static_cast<std::uint32_t>(late + 3000), late), late + 3000);
  EXPECT_EQ(dueTickOf(static_cast<std::uint32_t>(late - 50), late), late - 50);
}

}  // namespace
}  // namespace crv
