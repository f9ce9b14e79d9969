// The facts a live path keeps about its front never outlive a change of it.

#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "tests/traffic/engine_test_access.h"
#include "tests/traffic/flight_driver.h"
#include "traffic/live_path.h"

namespace crv::testing {
namespace {

PathPoint pointDue(std::int64_t dueTick, bool stationary = false, double northDegrees = 0.0) {
  PathPoint p;
  p.latitude = 52.3 + northDegrees;
  p.longitude = 4.76;
  p.dueTick = dueTick;
  p.stationary = stationary;
  p.speedKnots = 15.0;
  return p;
}

TEST(LivePath, KeptFrontFactsFollowEveryChangeOfTheFront) {
  const struct {
    const char* name;
    std::function<void(LivePath&)> change;
  } cases[] = {
      {"pop_front", [](LivePath& p) { p.pop_front(); }},
      {"push_front", [](LivePath& p) { p.push_front(pointDue(50, true)); }},
      {"erase the front", [](LivePath& p) { p.erase(p.begin()); }},
      {"erase a range from the front", [](LivePath& p) { p.erase(p.begin(), p.begin() + 2); }},
      {"insert before the front", [](LivePath& p) { p.insert(p.begin(), pointDue(60, true)); }},
      {"write through front()", [](LivePath& p) { p.front().dueTick = 7; p.front().stationary = true; }},
      {"write through [0]", [](LivePath& p) { p[0].dueTick = 8; }},
      {"write through begin()", [](LivePath& p) { p.begin()->stationary = true; }},
      {"write through back() of one point", [](LivePath& p) { p.resize(1); p.back().dueTick = 9; }},
      {"clear and push_back", [](LivePath& p) { p.clear(); p.push_back(pointDue(70, true)); }},
      {"new points assigned", [](LivePath& p) { p = LivePath::Points{pointDue(80, true)}; }},
      {"copy assigned", [](LivePath& p) { const LivePath other(LivePath::Points{pointDue(90, true)}); p = other; }},
      {"move assigned", [](LivePath& p) { p = LivePath(LivePath::Points{pointDue(95, true)}); }},
  };
  for (const auto& c : cases) {
    LivePath path(LivePath::Points{pointDue(100), pointDue(200, true), pointDue(300)});
    ASSERT_EQ(path.frontDueTick(), 100) << c.name;  // the facts are kept from here
    c.change(path);
    ASSERT_FALSE(path.empty()) << c.name;
    const PathPoint front = std::as_const(path).front();
    EXPECT_EQ(path.frontDueTick(), front.dueTick) << c.name;
    EXPECT_EQ(path.frontStationary(), front.stationary) << c.name;
  }
}

TEST(LivePath, EmptinessFollowsTheEmptyingAndTheMovedFromSource) {
  LivePath path(LivePath::Points{pointDue(100)});
  ASSERT_EQ(path.frontDueTick(), 100);
  EXPECT_FALSE(path.empty());
  path.pop_front();
  EXPECT_TRUE(path.empty());
  path.push_back(pointDue(200));
  ASSERT_EQ(path.frontDueTick(), 200);

  LivePath taker(std::move(path));
  EXPECT_TRUE(path.empty());  // NOLINT(bugprone-use-after-move): the source is left empty
  EXPECT_FALSE(taker.empty());
  EXPECT_EQ(taker.frontDueTick(), 200);
}

// The step reads only the kept facts; a front made due between two steps
// (as a stand approach or the end of generated legs does) is still taken.
TEST(LivePath, AFrontMadeDueBetweenStepsStartsTheNextLeg) {
  FlightDriver driver;
  LiveAc& a = driver.harness.placeLive(50101, "T50101", SimState::active, 201);
  a.path = LivePath::Points{pointDue(0), pointDue(5000, false, 0.003), pointDue(9000, false, 0.006)};
  a.onGround = true;
  a.phase = FlightPhase::taxi;
  a.position.latitude = a.path.front().latitude;
  a.position.longitude = a.path.front().longitude;
  driver.harness.step(20);
  LiveAc* stepped = driver.aircraft(50101);
  ASSERT_NE(stepped, nullptr);
  ASSERT_EQ(stepped->path.size(), 2U) << "the first leg runs towards the point due at 5000";

  stepped->path.front().dueTick = driver.harness.engine.tick();
  driver.harness.step(1);
  stepped = driver.aircraft(50101);
  ASSERT_NE(stepped, nullptr);
  EXPECT_EQ(stepped->path.size(), 1U) << "the point made due was taken at once";
}

}  // namespace
}  // namespace crv::testing
