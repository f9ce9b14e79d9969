#include "airports/stand_search.h"

#include <set>
#include <string>

#include <gsl/narrow>
#include <gtest/gtest.h>

#include "airports/stand_distances.h"
#include "tests/airports/stand_fixtures.h"

namespace crv {
namespace {

using testing::airliner;
using testing::kApron;
using testing::makeStand;
using testing::makeUsage;
using testing::pointAt;
using testing::StandKind;

constexpr double k55m = kStandNameDistanceNm;
constexpr double k20m = kTakeSmallStandNm;

// --- nearestFreeStand ------------------------------------------------------

// An 18 m stand: an aircraft within the tolerance fits as it is; one too
// large is taken and the stand enlarged only within 20 m.
TEST(NearestFreeStandTest, AStandTooSmallIsTakenWithin20mAndEnlarged) {
  struct Case { double standMeters, halfSpanMeters, searchNm; bool taken; double radiusAfterMeters; };
  const Case cases[] = {{10.0, 19.7, k55m, true, 18.0}, {10.0, 19.9, k55m, true, 18.9},
                        {25.0, 19.9, k55m, false, 18.0}, {25.0, 19.9, k20m, false, 18.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.standMeters << " m away, half span " << c.halfSpanMeters);
    StandTable stands{makeStand("A1", pointAt(kApron, c.standMeters), 18.0)};
    const auto before = standUpdates();
    const bool enlarged = c.radiusAfterMeters > 18.0;
    EXPECT_EQ(nearestFreeStand(stands, kApron, airliner(c.halfSpanMeters), c.searchNm, false) == stands.begin(),
              c.taken);
    EXPECT_NEAR(stands[0].radius * kMetersPerNm, c.radiusAfterMeters, 1e-9);
    EXPECT_EQ(stands[0].radius_change, enlarged);
    EXPECT_EQ(standUpdates(), before + (enlarged ? 1 : 0));
  }
}

// The nearest free stand; of two at the same distance the first.
TEST(NearestFreeStandTest, SkipsOccupiedStandsAndTakesTheNearest) {
  StandTable stands{makeStand("far", pointAt(kApron, 40.0), 30.0), makeStand("near", pointAt(kApron, 5.0), 30.0),
                    makeStand("nearer", pointAt(kApron, 3.0, 270.0), 30.0)};
  stands[2].occupied = true;

  EXPECT_EQ(nearestFreeStand(stands, kApron, airliner(17.0), k55m, false)->name, "near");
  EXPECT_EQ(nearestFreeStand(stands, kApron, airliner(17.0), metersToNm(4.0), false), stands.end());

  const GeoPoint spot = pointAt(kApron, 12.0);
  StandTable twins{makeStand("first", spot, 30.0), makeStand("second", spot, 30.0)};
  EXPECT_EQ(nearestFreeStand(twins, kApron, airliner(17.0), k55m, false), twins.begin());
}

TEST(NearestFreeStandTest, HelipadsAreForRotorcraftOnly) {
  StandTable gateOnly{makeStand("G1", pointAt(kApron, 10.0), 30.0)};
  StandAircraft helicopter = airliner(7.0, "PHHEL");
  helicopter.category = SizeCategory::Rotorcraft;
  EXPECT_EQ(nearestFreeStand(gateOnly, kApron, helicopter, k55m, false), gateOnly.end());

  StandTable helipadFirst{makeStand("H1", pointAt(kApron, 10.0), 10.0, StandKind::Helipad),
                          makeStand("G1", pointAt(kApron, 30.0), 30.0)};
  EXPECT_EQ(nearestFreeStand(helipadFirst, kApron, helicopter, k55m, false), helipadFirst.begin());

  // The airliner's nearest stand is the helipad, which it would not even fit:
  // refused, and the helipad is not enlarged.
  EXPECT_EQ(nearestFreeStand(helipadFirst, kApron, airliner(17.0), k55m, false), helipadFirst.end());
  EXPECT_DOUBLE_EQ(helipadFirst[0].radius, metersToNm(10.0));
  EXPECT_FALSE(helipadFirst[0].radius_change);
}

TEST(NearestFreeStandTest, FallsBackToAStandWhoseUsageNamesTheAircraft) {
  StandTable stands{makeStand("other", pointAt(kApron, 50.0), 30.0), makeStand("usual", pointAt(kApron, 60.0, 0.0), 30.0),
                    makeStand("toofar", pointAt(kApron, 90.0, 180.0), 30.0)};
  stands[1].usage.push_back(makeUsage(1, 2, 10, "KLM123"));
  stands[2].usage.push_back(makeUsage(1, 2, 10, "KLM123"));

  EXPECT_EQ(nearestFreeStand(stands, kApron, airliner(17.0), k20m, true)->name, "usual");
  EXPECT_EQ(nearestFreeStand(stands, kApron, airliner(17.0), k20m, false), stands.end());
  EXPECT_EQ(nearestFreeStand(stands, kApron, airliner(17.0, ""), k20m, true), stands.end());

  // A stand within reach ends the fallback.
  StandTable withClose{makeStand("close", pointAt(kApron, 15.0), 30.0),
                       makeStand("usual", pointAt(kApron, 60.0, 0.0), 30.0)};
  withClose[1].usage.push_back(makeUsage(1, 2, 10, "KLM123"));
  EXPECT_EQ(nearestFreeStand(withClose, kApron, airliner(17.0), k20m, true)->name, "close");
}

// --- collectStandCandidates --------------------------------------------------

constexpr DaySlot kSlot{3, 20};

std::set<std::string> namesChosen(StandTable& stands, DaySlot slot, const StandAircraft& aircraft,
                                  std::string_view icao, int draws) {
  std::set<std::string> names;
  for (int draw = 0; draw < draws; ++draw) {
    auto found = collectStandCandidates(stands, slot, aircraft, false, icao);
    names.insert(found == stands.end() ? std::string("<end>") : found->name);
  }
  return names;
}

TEST(CollectStandCandidatesTest, TakesTheTightestFittingFreeStand) {
  StandTable stands{makeStand("big", pointAt(kApron, 100.0), 32.0),   // 15 m larger: score 1
                    makeStand("snug", pointAt(kApron, 200.0), 18.0),  // 1 m larger: score 0
                    makeStand("small", pointAt(kApron, 300.0), 15.5),  // 1.5 m smaller: score 0
                    makeStand("tiny", pointAt(kApron, 400.0), 10.0)};  // does not fit
  EXPECT_EQ(namesChosen(stands, kSlot, airliner(17.0), "KXYZ", 40), (std::set<std::string>{"small", "snug"}));

  // A stand used at the slot is no candidate; at another slot it is.
  stands[1].usage.push_back(makeUsage(1, 3, 20));
  stands[2].usage.push_back(makeUsage(1, 3, 20));
  EXPECT_EQ(namesChosen(stands, kSlot, airliner(17.0), "KXYZ", 10), (std::set<std::string>{"big"}));
  EXPECT_EQ(namesChosen(stands, {3, 21}, airliner(17.0), "KXYZ", 40), (std::set<std::string>{"small", "snug"}));
}

TEST(CollectStandCandidatesTest, AStandWhoseUsageNamesTheAircraftComesFirst) {
  StandTable stands{makeStand("usual", pointAt(kApron, 100.0), 32.0), makeStand("snug", pointAt(kApron, 200.0), 18.0)};
  stands[0].usage.push_back(makeUsage(1, 6, 5, "KLM123"));  // another day: free at the slot
  EXPECT_EQ(namesChosen(stands, kSlot, airliner(17.0), "KXYZ", 20), (std::set<std::string>{"usual"}));
}

TEST(CollectStandCandidatesTest, WithoutATightFitTheLoosePassFindsAStand) {
  StandTable stands{makeStand("A", pointAt(kApron, 100.0), 20.0), makeStand("B", pointAt(kApron, 200.0), 25.0)};
  EXPECT_EQ(namesChosen(stands, kSlot, airliner(40.0), "KXYZ", 20), (std::set<std::string>{"A", "B"}));
}

TEST(CollectStandCandidatesTest, AtAnAirportBeginningWithKAnAirlinerGetsAGateWhileOneFits) {
  StandTable stands{makeStand("R1", pointAt(kApron, 100.0), 18.0, StandKind::Ramp),
                    makeStand("G1", pointAt(kApron, 200.0), 18.0),
                    makeStand("R2", pointAt(kApron, 300.0), 18.0, StandKind::Ramp)};
  EXPECT_EQ(namesChosen(stands, kSlot, airliner(17.0), "KJFK", 100), (std::set<std::string>{"G1"}));

  // With the gate taken at the slot, a ramp stand.
  stands[1].usage.push_back(makeUsage(1, 3, 20));
  EXPECT_EQ(namesChosen(stands, kSlot, airliner(17.0), "KJFK", 40), (std::set<std::string>{"R1", "R2"}));
}

TEST(CollectStandCandidatesTest, ElsewhereAnAirlinerMostlyGetsAGateAndSometimesARampStand) {
  StandTable stands{makeStand("R1", pointAt(kApron, 100.0), 18.0, StandKind::Ramp),
                    makeStand("G1", pointAt(kApron, 200.0), 18.0)};
  int rampCount = 0;
  constexpr int kDraws = 2000;
  for (int draw = 0; draw < kDraws; ++draw) {
    if (collectStandCandidates(stands, kSlot, airliner(17.0), false, "EHAM")->name == "R1") {
      ++rampCount;
    }
  }
  // One in ten on average; far outside these bounds only by a broken draw.
  EXPECT_GT(rampCount, kDraws / 20);
  EXPECT_LT(rampCount, kDraws / 5);
}

// Small and private aircraft take ramp stands only; freighters cargo stands
// first; rotorcraft helipads, then ramp stands. Each case's first choice is
// then used at the slot and the next choice drawn.
TEST(CollectStandCandidatesTest, EachKindOfAircraftHasItsOwnStands) {
  StandAircraft light = airliner(5.0, "PHABC");
  light.category = SizeCategory::Light;
  StandAircraft privateJet = airliner(9.0, "PHJET");
  privateJet.airline = "PVT";
  StandAircraft freighter = airliner(17.0, "MPH62");
  freighter.cargo = true;
  StandAircraft helicopter = airliner(6.0, "PHHEL");
  helicopter.category = SizeCategory::Rotorcraft;
  struct Case { const char* label; const StandAircraft& aircraft; std::set<std::string> first, then; };
  const Case cases[] = {{"light", light, {"R1"}, {"<end>"}},
                        {"private", privateJet, {"R1"}, {"<end>"}},
                        {"freighter", freighter, {"C1", "CR"}, {"G1", "R1"}},
                        {"rotorcraft", helicopter, {"H1"}, {"CR", "R1"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    StandTable stands{makeStand("G1", pointAt(kApron, 100.0), 18.0), makeStand("R1", pointAt(kApron, 200.0), 18.0, StandKind::Ramp),
                      makeStand("C1", pointAt(kApron, 300.0), 18.0, StandKind::Cargo),
                      makeStand("CR", pointAt(kApron, 400.0), 18.0, StandKind::CargoRamp),
                      makeStand("H1", pointAt(kApron, 500.0), 18.0, StandKind::Helipad)};
    EXPECT_EQ(namesChosen(stands, kSlot, c.aircraft, "EHAM", 40), c.first);
    for (const std::string& name : c.first) findStandByName(stands, name)->usage.push_back(makeUsage(1, 3, 20));
    EXPECT_EQ(namesChosen(stands, kSlot, c.aircraft, "EHAM", 40), c.then);
  }
}

// Ten stands used at day 3 half hour 47; of them only "free-next" is free at
// day 4 half hour 0.
StandTable busyAirport(std::size_t standCount, DaySlot busy) {
  StandTable stands;
  for (std::size_t index = 0; index < standCount; ++index) {
    const std::string name = index == 4 ? "free-next" : "S" + std::to_string(index);
    stands.push_back(makeStand(name, pointAt(kApron, 50.0 * static_cast<double>(index + 1)), 18.0));
    stands.back().usage.push_back(makeUsage(1, static_cast<std::uint32_t>(busy.weekday), busy.halfHour));
    if (index != 4) {
      stands.back().usage.push_back(makeUsage(2, static_cast<std::uint32_t>(busy.next().weekday), busy.next().halfHour));
    }
  }
  return stands;
}

TEST(CollectStandCandidatesTest, OnlyASmallAirportRetriesTheNextHalfHourOnce) {
  StandTable stands = busyAirport(10, {3, 47});
  auto found = collectStandCandidates(stands, {3, 47}, airliner(17.0), true, "EHAM");
  ASSERT_NE(found, stands.end());
  EXPECT_EQ(found->name, "free-next");
  EXPECT_EQ(collectStandCandidates(stands, {3, 47}, airliner(17.0), false, "EHAM"), stands.end());

  // From Sunday's last half hour to Monday's first.
  StandTable weekEnd = busyAirport(10, {7, 47});
  found = collectStandCandidates(weekEnd, {7, 47}, airliner(17.0), true, "EHAM");
  ASSERT_NE(found, weekEnd.end());
  EXPECT_EQ(found->name, "free-next");

  // A larger airport does not retry.
  StandTable larger = busyAirport(11, {3, 47});
  EXPECT_EQ(collectStandCandidates(larger, {3, 47}, airliner(17.0), true, "EHAM"), larger.end());
}

TEST(CollectStandCandidatesTest, AScoreBeyond32BitsIsAnError) {
  StandTable stands{makeStand("A", kApron, 18.0)};
  StandAircraft giant = airliner(17.0);
  giant.halfSpanNm = 1e12;
  EXPECT_THROW(collectStandCandidates(stands, kSlot, giant, false, "EHAM"), gsl::narrowing_error);
}

}  // namespace
}  // namespace crv
