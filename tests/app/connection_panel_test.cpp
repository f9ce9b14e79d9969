// What the running program shows of its RealTraffic connection: the Traffic
// and Weather indicators, the QNH the first history waits for, and the note
// about a region without traffic.

#include <gtest/gtest.h>

#include <algorithm>

#include "feed/feed_hooks.h"
#include "tests/app/program_harness.h"
#include "tools/rt-standin/rt_standin.h"

namespace crv::testing {
namespace {

using namespace std::chrono_literals;

constexpr platform::Colour kGreen = 0x32CD32;
constexpr platform::Colour kYellow = 0x00FFFF;

// The colour of the text painted at (x, y) in the window's last paint; none
// when nothing is painted there.
std::optional<platform::Colour> textColourAt(const platform::WindowModel& window, int x, int y,
                                             const std::string& text) {
  std::optional<platform::Colour> colour;
  for (const platform::PaintItem& item : window.lastPaint()) {
    if (item.kind == platform::PaintItem::Kind::Text && item.rect.left == x && item.rect.top == y &&
        item.text == text) {
      colour = item.colour;
    }
  }
  return colour;
}

// Far out over the Atlantic: no traffic, no airport.
constexpr double kEmptyLatitude = 45.0;
constexpr double kEmptyLongitude = -30.0;

TEST(ConnectionPanelTest, InARegionWithoutTrafficTheTrafficIndicatorTurnsToNoData) {
  ProgramHarness program;
  program.sim().moveUserAircraft(kEmptyLatitude, kEmptyLongitude);
  program.start();
  ASSERT_TRUE(program.waitUntilRunning()) << program.log();
  const FeedDisplay& feed = program.session().feedDisplay();
  EXPECT_TRUE(ProgramHarness::waitFor([&] { return feed.trafficIndicator.load() == kIndicatorNoData; }, 20s))
      << feed.trafficIndicator.load();
  EXPECT_EQ(feed.weatherIndicator.load(), kIndicatorDataArrive) << "the weather still arrives";
  // On screen: "Traffic" in yellow, "Weather" in green.
  EXPECT_TRUE(ProgramHarness::waitFor(
      [&] { return textColourAt(program.window(), 458, 91, "Traffic") == kYellow; }, 20s));
  EXPECT_EQ(textColourAt(program.window(), 458, 63, "Weather"), kGreen);
  EXPECT_TRUE(program.waitForLog("No traffic in this region?", 10s)) << program.log();
}

TEST(ConnectionPanelTest, WithTrafficAroundBothIndicatorsShowDataAndTheRegionIsNotReportedEmpty) {
  ProgramHarness program;
  program.start();
  ASSERT_TRUE(program.waitUntilRunning()) << program.log();
  Session& session = program.session();
  ASSERT_TRUE(ProgramHarness::waitFor([&] { return session.display().liveKnown.load() >= 1; }, 10s));
  EXPECT_EQ(session.feedDisplay().trafficIndicator.load(), kIndicatorDataArrive);
  EXPECT_EQ(session.feedDisplay().weatherIndicator.load(), kIndicatorDataArrive);
  EXPECT_EQ(program.log().find("No traffic in this region?"), std::string::npos);
}

// The history request is the first traffic request that asks for buffered
// snapshots.
std::optional<std::chrono::steady_clock::time_point> firstHistoryRequest(const standin::RtStandIn& rt) {
  for (const standin::ReceivedRequest& request : rt.requests()) {
    if (request.path == standin::kTrafficPath && request.body.find("buffercount") != std::string::npos) {
      return request.receivedAt;
    }
  }
  return std::nullopt;
}

std::optional<std::chrono::steady_clock::time_point> firstRequest(const standin::RtStandIn& rt,
                                                                  std::string_view path) {
  for (const standin::ReceivedRequest& request : rt.requests()) {
    if (request.path == path) {
      return request.receivedAt;
    }
  }
  return std::nullopt;
}

TEST(ConnectionPanelTest, TheFirstHistoryIsAskedForOnlyOnceTheQnhHasArrived) {
  // The session's wait for the QNH (3 s) runs at a quarter of its length,
  // long enough for a weather answer that takes a quarter of a second.
  constexpr auto kWeatherAnswerDelay = 250ms;
  ProgramHarness program({}, 4.0);
  program.rt().setPace(200, 10);
  program.rt().queueJson(standin::kWeatherPath, {{"status", 200}, {"wrrl", 10}, {"data", {{"QNH", 1008}}}},
                         kWeatherAnswerDelay);
  EXPECT_EQ(program.session().feedDisplay().qnhHpa.load(), 0) << "no QNH is known before the first answer";
  program.start();
  ASSERT_TRUE(program.waitUntilRunning(30s)) << program.log();
  const auto weather = firstRequest(program.rt(), standin::kWeatherPath);
  const auto history = firstHistoryRequest(program.rt());
  ASSERT_TRUE(weather && history);
  EXPECT_GE(*history - *weather, kWeatherAnswerDelay) << "the history was decoded before the QNH was known";
  EXPECT_EQ(program.session().feedDisplay().qnhHpa.load(), 1008) << "the scenario's QNH";
}

}  // namespace
}  // namespace crv::testing
