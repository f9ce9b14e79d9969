// The facts a live path keeps about its front never outlive a change of it.

#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "traffic/live_path.h"

namespace crv::testing {
namespace {

PathPoint pointDue(std::int64_t dueTick, bool stationary = false) {
  PathPoint p;
  p.latitude = 52.3;
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

}  // namespace
}  // namespace crv::testing
