#include "traffic/statics/parking_adjustment.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>

#include "foundation/settings.h"
#include "tests/support/log_capture.h"
#include "tests/support/settings_fixture.h"
#include "tests/traffic/week_driver.h"

namespace crv::testing {
namespace {

using Placed = std::vector<std::pair<std::string, std::string>>;

// Twelve stands 80 m apart (no neighbours); three of them wanted.
class ParkingAdjustmentTest : public ::testing::Test {
 protected:
  ParkingAdjustmentTest() {
    par_parking_percentage.setValue(25);
    par_MAX_FIT.setValue(1);
    par_RT_PARKTRAFFIC_ONLY.setValue(false);
    p.parkedTrafficArrives = false;  // the parked traffic times out unless a test answers
  }
  ~ParkingAdjustmentTest() override { resetAllSettings(); }
  // The full calculation at the present half hour, placed and bound.
  void placeInitially() {
    p.setSlot({3, 20});
    ASSERT_GT(p.statics.recalcStaticParking(p.engine.wantedStaticCount()), 0u);
    p.stepEngine(10);
  }
  void adjustLater(DaySlot later, bool full = false) {
    p.setSlot(later);
    p.adjustment.adjustParking(full);
    p.stepEngine(10);
  }

  WeekDriver p;
};

TEST_F(ParkingAdjustmentTest, LearnedStaticsAreKeptReplacedAndRemovedAsHalfHoursPass) {
  p.stand("A1").usage = {dlhUsage(1, 3, {20, 21, 22}, "DLH100", "D-AIAA", "DLH101")};
  p.stand("A3").usage = {dlhUsage(1, 3, {20}, "DLH200", "D-AIAB")};
  p.stand("A5").usage = {dlhUsage(1, 3, {20, 21, 22, 23}, "DLH300", "D-AIAC")};
  p.stand("B1").usage = {dlhUsage(1, 3, {22}, "DLH400", "D-AIAD")};
  placeInitially();
  EXPECT_EQ(p.staticsByStand(), (Placed{{"A1", "DLH100*"}, {"A3", "DLH200*"}, {"A5", "DLH300*"}}));

  // An hour later: A1's arrival leaves in the next half hour and shows its
  // departure, A3's aircraft left, A5's stays, B1 arrived.
  adjustLater({3, 22});
  EXPECT_EQ(p.staticsByStand(), (Placed{{"A1", "DLH101*"}, {"A5", "DLH300*"}, {"B1", "DLH400*"}}));
  // The departure stands since the arrival was placed.
  for (const StaticAc& aircraft : p.engine.staticAircraft()) {
    if (aircraft.base.identity.callsign == "DLH101*") {
      EXPECT_EQ(DaySlot::fromPacked(aircraft.slot), (DaySlot{3, 20}));
    }
  }
}

// At 23:30 the arrival of a coupled pair stays only when its stand holds
// the pair's airline and type after midnight.
TEST_F(ParkingAdjustmentTest, ACoupledArrivalAtMidnightIsReplacedUnlessItsStandIsHeldAfter) {
  for (const bool heldAfterMidnight : {false, true}) {
    WeekDriver h;
    h.parkedTrafficArrives = false;
    h.stand("A1").usage = {dlhUsage(1, 3, {46, 47}, "DLH100", "D-AIAA", "DLH101")};
    if (heldAfterMidnight) h.stand("A1").usage.push_back(dlhUsage(2, 4, {0}, "DLH555", "D-AIAX"));
    h.setSlot({3, 46});
    ASSERT_EQ(h.statics.recalcStaticParking(1), 1u);
    h.stepEngine(5);
    h.setSlot({3, 47});
    h.adjustment.adjustParking(false);
    h.stepEngine(10);
    EXPECT_EQ(h.staticsByStand(), (Placed{{"A1", heldAfterMidnight ? "DLH100*" : "DLH101*"}}));
  }
}

TEST_F(ParkingAdjustmentTest, ReplacementWaitsForTheRemovalOfTheAircraftItReplaces) {
  p.stand("A1").usage = {dlhUsage(1, 3, {20, 21}, "DLH100", "D-AIAA", "DLH101")};
  placeInitially();
  p.simulatorAnswersRemovals = false;
  adjustLater({3, 21});
  // The old aircraft is still on its way out: the departure waits.
  EXPECT_TRUE(p.staticsByStand().empty());
  ASSERT_EQ(p.statics.pendingStatics().size(), 1u);
  EXPECT_EQ(p.statics.pendingStatics()[0].callsign, "DLH100");

  p.simulatorAnswersRemovals = true;
  p.stepEngine(5);
  EXPECT_EQ(p.staticsByStand(), (Placed{{"A1", "DLH101*"}}));
}

TEST_F(ParkingAdjustmentTest, EntryWaitingForARemovalThatNeverEndsIsGivenUp) {
  p.stand("A1").usage = {dlhUsage(1, 3, {20, 21}, "DLH100", "D-AIAA", "DLH101")};
  placeInitially();
  p.simulatorAnswersRemovals = false;
  adjustLater({3, 21});
  p.stepEngine(25);
  EXPECT_TRUE(p.statics.pendingStatics().empty());
  EXPECT_TRUE(p.staticsByStand().empty());
}

TEST_F(ParkingAdjustmentTest, ParkedTrafficOnlyFollowsTheFeedAndEndsBeforeLearnedUsage) {
  par_RT_PARKTRAFFIC_ONLY.setValue(true);
  p.parkedTrafficArrives = true;
  p.stand("B6").usage = {dlhUsage(1, 3, {20, 21}, "DLH900", "D-AIAZ")};
  p.parkedTraffic = {p.parkedRecord("A1", 0x400001, "BAW1", 2), p.parkedRecord("A3", 0x400002, "KLM3", 1),
                     p.parkedRecord("A5", 0x400003, "AFR5", 1)};
  placeInitially();
  ASSERT_EQ(p.staticsByStand(), (Placed{{"A1", "BAW1*"}, {"A3", "KLM3*"}, {"A5", "AFR5*"}}));

  // Half an hour later BAW1 is still parked, KLM3 left, AFR5 flies again
  // (still listed, beside EZY9 that the feed puts on A5 since before it) and
  // EZY7 arrived.
  p.parkedTraffic = {p.parkedRecord("A1", 0x400001, "BAW1", 3), p.parkedRecord("A5", 0x400003, "AFR5", 2),
                     p.parkedRecord("B2", 0x400004, "EZY7", 0), p.parkedRecord("A5", 0x400005, "EZY9", 3)};
  p.collected.keys = {0x400003};
  adjustLater({3, 21});
  EXPECT_EQ(p.staticsByStand(), (Placed{{"A1", "BAW1*"}, {"B2", "EZY7*"}}));
  EXPECT_EQ(p.staticCreates["BAW1*"], 1);
  EXPECT_EQ(p.adjustment.keptStatics().size(), 1u);

  // The feed is silent: the adjustment goes on with the learned usage and
  // leaves the statics of the feed as they are.
  p.parkedTrafficArrives = false;
  adjustLater({3, 21});
  EXPECT_EQ(p.staticsByStand(), (Placed{{"A1", "BAW1*"}, {"B2", "EZY7*"}, {"B6", "DLH900*"}}));
}

// The adjustment asks for the parked traffic and, when it arrives, asks
// once more for the answer it follows: with only the first answer the
// feed's statics stay as they are and, with parked traffic only, the
// adjustment ends there; without the first it goes on with learned usage.
TEST_F(ParkingAdjustmentTest, TheParkedTrafficIsAskedForAgainAndFollowedOnlyWhenThatAnswerArrives) {
  struct Case {
    std::deque<bool> answers;
    int requests;
    Placed expected;
  };
  const Case cases[] = {
      {{true, true}, 2, {{"A1", "BAW1*"}, {"B2", "EZY7*"}}},
      {{true, false}, 2, {{"A1", "BAW1*"}, {"A3", "KLM3*"}}},
      {{false}, 1, {{"A1", "BAW1*"}, {"A3", "KLM3*"}, {"B6", "DLH900*"}}},
  };
  for (const Case& c : cases) {
    WeekDriver h;
    par_RT_PARKTRAFFIC_ONLY.setValue(true);
    h.stand("B6").usage = {dlhUsage(1, 3, {20, 21}, "DLH900", "D-AIAZ")};
    h.parkedTraffic = {h.parkedRecord("A1", 0x400001, "BAW1", 2), h.parkedRecord("A3", 0x400002, "KLM3", 1)};
    h.setSlot({3, 20});
    ASSERT_EQ(h.statics.recalcStaticParking(h.engine.wantedStaticCount()), 2u);
    h.stepEngine(10);
    // Half an hour later KLM3 left and EZY7 arrived.
    h.parkedTraffic = {h.parkedRecord("A1", 0x400001, "BAW1", 3), h.parkedRecord("B2", 0x400004, "EZY7", 0)};
    h.parkedTrafficAnswers = c.answers;
    h.parkedTrafficRequests = 0;
    h.setSlot({3, 21});
    h.adjustment.adjustParking(false);
    h.stepEngine(10);
    EXPECT_EQ(h.parkedTrafficRequests, c.requests) << c.answers.size();
    EXPECT_EQ(h.staticsByStand(), c.expected) << c.answers.size();
  }
  par_RT_PARKTRAFFIC_ONLY.setValue(false);
}

// A static of the feed that the adjustment sends away leaves at once: the
// learned-usage search does not refuse the stand beside it for it.
TEST_F(ParkingAdjustmentTest, AStaticTheAdjustmentRemovesNoLongerBlocksTheStandBesideIt) {
  ParkingPosition& a1 = p.stand("A1");
  ParkingPosition& a2 = p.stand("A2");
  const GeoPoint beside = offsetMeters(a1.position(), 0.0, 10.0);  // within two half wing spans
  a2.latitude = beside.latitude;
  a2.longitude = beside.longitude;
  a1.neighbours = {a2.id};
  a2.neighbours = {a1.id};
  a2.usage = {dlhUsage(1, 3, {22}, "DLH200", "D-AIAB")};
  p.parkedTrafficArrives = true;
  p.parkedTraffic = {p.parkedRecord("A1", 0x400001, "BAW1", 1)};
  placeInitially();
  ASSERT_EQ(p.staticsByStand(), (Placed{{"A1", "BAW1*"}}));

  p.parkedTraffic.clear();  // BAW1 left
  adjustLater({3, 22});
  EXPECT_EQ(p.staticsByStand(), (Placed{{"A2", "DLH200*"}}));
}

// A static placed from A1's usage at one half hour, then an adjustment at a
// later one with the feed reporting BAW1 on A1 (or nothing).
TEST_F(ParkingAdjustmentTest, ALaterAdjustmentKeepsOrReplacesAStaticByUsageAndArrival) {
  struct Case {
    DaySlot placed;
    DaySlot later;
    int recordAge;  // BAW1's; negative: no parked traffic
    int maxFit;
    Placed expected;
  };
  const Case cases[] = {
      {{3, 20}, {3, 22}, 1, 1, {{"A1", "BAW1*"}}},    // arrived after the static was placed
      {{3, 20}, {3, 22}, 3, 1, {{"A1", "DLH100*"}}},  // was there before it
      {{3, 20}, {3, 22}, 2, 1, {{"A1", "DLH100*"}}},  // arrived in the half hour it was placed
      {{7, 47}, {1, 1}, 1, 1, {{"A1", "BAW1*"}}},     // Monday's arrival comes after Sunday's placement
      // Wednesday 00:30: four half hours back reach Tuesday 22:30, not 21:00.
      {{2, 45}, {3, 1}, -1, 4, {{"A1", "DLH100*"}}},
      {{2, 42}, {3, 1}, -1, 4, {}},
  };
  for (const Case& c : cases) {
    WeekDriver h;
    par_MAX_FIT.setValue(c.maxFit);
    h.setSlot(c.placed);
    h.parkedTrafficArrives = false;
    h.stand("A1").usage = {dlhUsage(1, c.placed.weekday, {c.placed.halfHour}, "DLH100", "D-AIAA")};
    if (c.recordAge >= 0)
      h.stand("A1").usage.push_back(dlhUsage(2, c.later.weekday, {c.later.halfHour}, "DLH100", "D-AIAA"));
    ASSERT_EQ(h.statics.recalcStaticParking(1), 1u);
    h.stepEngine(5);
    h.parkedTrafficArrives = c.recordAge >= 0;
    h.parkedTraffic = {h.parkedRecord("A1", 0x400001, "BAW1", c.recordAge)};
    h.setSlot(c.later);
    h.adjustment.adjustParking(false);
    h.stepEngine(5);
    EXPECT_EQ(h.staticsByStand(), c.expected) << c.later.weekday << " " << c.later.halfHour << " " << c.recordAge;
  }
}

TEST_F(ParkingAdjustmentTest, FullAdjustmentReplacesEveryLearnedStatic) {
  par_parking_percentage.setValue(17);  // two of four candidates
  const char* names[] = {"A1", "A3", "A5", "B1"};
  for (std::uint32_t i = 0; i < 4; ++i) {
    p.stand(names[i]).usage = {dlhUsage(1, 3, {20}, "DLH10" + std::to_string(i), "D-AIA" + std::to_string(i))};
  }
  placeInitially();
  const Placed before = p.staticsByStand();
  ASSERT_EQ(before.size(), 2u);
  adjustLater({3, 20}, true);
  const Placed after = p.staticsByStand();
  ASSERT_EQ(after.size(), 2u);
  for (const auto& placed : after) {
    EXPECT_EQ(std::find(before.begin(), before.end(), placed), before.end()) << placed.second;
  }
}

// An airport file may want more statics than the airport has stands: every
// stand with usage is filled, and the adjustment keeps them.
TEST_F(ParkingAdjustmentTest, AShareAboveAHundredPercentFillsEveryStandWithUsage) {
  par_parking_percentage.setValue(250);
  const char* names[] = {"A1", "A3", "A5", "B1"};
  for (std::uint32_t i = 0; i < 4; ++i) {
    p.stand(names[i]).usage = {dlhUsage(1, 3, {20, 21}, "DLH10" + std::to_string(i), "D-AIA" + std::to_string(i))};
  }
  EXPECT_EQ(p.engine.wantedStaticCount(), 30);  // of twelve stands
  placeInitially();
  EXPECT_EQ(p.staticsByStand().size(), 4u);
  adjustLater({3, 21});
  EXPECT_EQ(p.staticsByStand().size(), 4u);
}

TEST_F(ParkingAdjustmentTest, ExcessLiveParkedLeaveBeforeAnyStaticIsAdded) {
  par_parking_percentage.setValue(8);  // one
  p.stand("B6").usage = {dlhUsage(1, 3, {20}, "DLH900", "D-AIAZ")};
  p.parkedLive(4000001, "BAW1", "A1");
  p.parkedLive(4000002, "BAW2", "A3");
  p.adjustment.adjustParking(false);
  EXPECT_EQ(p.adjustment.parkedLive().size(), 1u);
  EXPECT_TRUE(p.statics.pendingStatics().empty());
  ASSERT_EQ(p.engine.removeQueue().size(), 1u);
}

// Each static aircraft the adjustment takes away (and a live one it trims)
// says in the log which of its rules removed it.
TEST_F(ParkingAdjustmentTest, EveryAircraftTheAdjustmentRemovesSaysWhy) {
  const auto place = [](WeekDriver& h, DaySlot slot) {
    h.setSlot(slot);
    h.statics.recalcStaticParking(h.engine.wantedStaticCount());
    h.stepEngine(10);
  };
  const auto adjust = [](WeekDriver& h, DaySlot slot, bool full = false) {
    h.setSlot(slot);
    h.adjustment.adjustParking(full);
    h.stepEngine(10);
  };
  struct Case {
    std::vector<std::string> lines;
    std::function<void(WeekDriver&)> run;
  };
  const Case cases[] = {
      {{"A1      : DLH100*  removed: its coupled flight DLH101 takes the stand over",
        "A3      : DLH200*  removed: the usage of its stand holds it in none of the last 2 half hours"},
       [&](WeekDriver& h) {
         h.stand("A1").usage = {dlhUsage(1, 3, {20, 21, 22}, "DLH100", "D-AIAA", "DLH101")};
         h.stand("A3").usage = {dlhUsage(1, 3, {20}, "DLH200", "D-AIAB")};
         place(h, {3, 20});
         adjust(h, {3, 22});
       }},
      {{"A1      : DLH100*  removed: a full parking adjustment replaces it"},
       [&](WeekDriver& h) {
         h.stand("A1").usage = {dlhUsage(1, 3, {20}, "DLH100", "D-AIAA")};
         place(h, {3, 20});
         adjust(h, {3, 20}, true);
       }},
      {{"A1      : DLH100*  removed: its flight DLH100 is in the live feed"},
       [&](WeekDriver& h) {
         h.stand("A1").usage = {dlhUsage(1, 3, {20, 21}, "DLH100", "D-AIAA")};
         place(h, {3, 20});
         h.collected.callsigns = {"DLH100"};
         adjust(h, {3, 21});
       }},
      {{"A1      : DLH100*  removed: BAW1 stands on A1 since 1 half hours, it was placed 2 half hours ago"},
       [&](WeekDriver& h) {
         h.stand("A1").usage = {dlhUsage(1, 3, {20, 22}, "DLH100", "D-AIAA")};
         place(h, {3, 20});
         h.parkedTrafficArrives = true;
         h.parkedTraffic = {h.parkedRecord("A1", 0x400001, "BAW1", 1)};
         adjust(h, {3, 22});
       }},
      // Trimming takes the last of those kept, then the parked live aircraft.
      {{"A1      : DLH100*  removed: more parked aircraft than the 1 wanted"},
       [&](WeekDriver& h) {
         h.stand("A1").usage = {dlhUsage(1, 3, {20, 21}, "DLH100", "D-AIAA")};
         h.stand("A3").usage = {dlhUsage(2, 3, {20, 21}, "DLH300", "D-AIAC")};
         place(h, {3, 20});
         par_parking_percentage.setValue(8);  // one
         adjust(h, {3, 21});
       }},
      {{"A1      : BAW1     removed: more parked aircraft than the 0 wanted"},
       [&](WeekDriver& h) {
         h.parkedLive(4000001, "BAW1", "A1");
         par_parking_percentage.setValue(0);
         adjust(h, {3, 21});
       }},
      {{"A5      : AFR5*    removed: it is in the live feed again (hexid 400003)",
        "A3      : KLM3*    removed: the parked traffic no longer shows it on its stand",
        "A1      : BAW1*    removed: the parked traffic puts EZY9 on its stand"},
       [&](WeekDriver& h) {
         par_RT_PARKTRAFFIC_ONLY.setValue(true);
         h.parkedTrafficArrives = true;
         h.parkedTraffic = {h.parkedRecord("A1", 0x400001, "BAW1", 2), h.parkedRecord("A3", 0x400002, "KLM3", 1),
                            h.parkedRecord("A5", 0x400003, "AFR5", 1)};
         place(h, {3, 20});
         h.parkedTraffic = {h.parkedRecord("A1", 0x400004, "EZY9", 0), h.parkedRecord("A5", 0x400003, "AFR5", 2)};
         h.collected.keys = {0x400003};
         adjust(h, {3, 21});
       }},
  };
  for (const Case& c : cases) {
    LogCapture log;
    {
      WeekDriver h;
      h.parkedTrafficArrives = false;
      c.run(h);
    }
    for (const std::string& line : c.lines) {
      EXPECT_EQ(countOf(log.text(), line + "\n"), 1U) << line << "\n" << log.text();
    }
    par_parking_percentage.setValue(25);
    par_RT_PARKTRAFFIC_ONLY.setValue(false);
  }
}

}  // namespace
}  // namespace crv::testing
