// The status panel's paint: bands, boxes and texts in the states a user sees.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include <fmt/format.h>

#include "app/main_window.h"
#include "app/status_panel.h"
#include "foundation/settings.h"
#include "tests/app/program_harness.h"

namespace crv::testing {
namespace {

using platform::PaintItem;

constexpr platform::Colour kRed = 0x0000FF;
constexpr platform::Colour kGreen = 0x32CD32;
constexpr platform::Colour kYellow = 0x00FFFF;

std::vector<PaintItem> paintOf(const PanelState& state) {
  platform::PaintSurface surface;
  paintStatusPanel(surface, state);
  return surface.take();
}

const PaintItem* textAt(const std::vector<PaintItem>& items, int x, int y) {
  const PaintItem* found = nullptr;
  for (const PaintItem& item : items) {
    if (item.kind == PaintItem::Kind::Text && item.rect.left == x && item.rect.top == y) found = &item;
  }
  return found;
}

const PaintItem* fillOf(const std::vector<PaintItem>& items, platform::Rect rect) {
  const PaintItem* found = nullptr;
  for (const PaintItem& item : items) {
    if (item.kind == PaintItem::Kind::FillRect && item.rect == rect) found = &item;
  }
  return found;
}

TEST(StatusPanelTest, NotConnectedShowsTheModeARedBoxAndMissingLiveries) {
  PanelState state;
  state.msfs2020 = false;
  const auto items = paintOf(state);
  ASSERT_NE(fillOf(items, {397, 30, 425, 112}), nullptr);
  EXPECT_EQ(fillOf(items, {397, 30, 425, 112})->colour, kRed);
  EXPECT_EQ(textAt(items, 5, 35)->text, "MSFS 2024 mode");
  EXPECT_EQ(textAt(items, 5, 91)->text, "# liveries: ...");
  EXPECT_EQ(textAt(items, 5, 91)->colour, kRed);
  EXPECT_EQ(fillOf(items, {0, 448, 880, 476})->colour, kGreen);
  EXPECT_EQ(textAt(items, 458, 63), nullptr);
}

TEST(StatusPanelTest, WeatherIndicatorDecidesWeatherAndQnh) {
  struct Case { int indicator; std::int32_t qnh; const char* weather; platform::Colour colour; const char* qnhText; };
  for (const Case& c : {Case{3, 1013, nullptr, 0, nullptr}, Case{2, 0, "Weather", kYellow, ""},
                        Case{1, 1013, "Weather", kGreen, "qnh: 1013"}}) {
    PanelState state;
    state.loggedIn = true;
    state.rtNotStarted = false;
    state.weatherIndicator = c.indicator;
    state.qnhHpa = c.qnh;
    const auto items = paintOf(state);
    const PaintItem* weather = textAt(items, 458, 63);
    const PaintItem* qnh = textAt(items, 642, 63);
    if (c.weather == nullptr) {
      EXPECT_EQ(weather, nullptr);
      EXPECT_EQ(qnh, nullptr);
      continue;
    }
    ASSERT_NE(weather, nullptr);
    EXPECT_EQ(weather->colour, c.colour);
    ASSERT_NE(qnh, nullptr);
    EXPECT_EQ(qnh->text, c.qnhText);
  }
}

TEST(StatusPanelTest, ParkTrafficOnlyHidesQualityAndMaxPark) {
  PanelState state;
  state.texts.parkAirportIcao = "EHAM";
  state.parkAirportActive = true;
  state.wantedStatic = 40;
  state.wantedStaticPercent = 30;
  for (const bool parkTrafficOnly : {false, true}) {
    par_RT_PARKTRAFFIC_ONLY.setValue(parkTrafficOnly);
    const auto items = paintOf(state);
    EXPECT_EQ(textAt(items, 430, 399) != nullptr, !parkTrafficOnly);
    EXPECT_EQ(textAt(items, 708, 427) != nullptr, !parkTrafficOnly);
    EXPECT_EQ(textAt(items, 5, 399)->colour, kGreen);
  }
  par_RT_PARKTRAFFIC_ONLY.setValue(false);
  EXPECT_EQ(textAt(paintOf(state), 708, 427)->text, "max park:  40 (=30 %)");
}

TEST(StatusPanelTest, AnErrorReplacesTheStatusAndTurnsTheStripRed) {
  PanelState state;
  state.statusText = "working";
  state.errorText = "RealTraffic refused the key";
  const auto items = paintOf(state);
  EXPECT_EQ(fillOf(items, {0, 448, 880, 476})->colour, kRed);
  EXPECT_EQ(textAt(items, 3, 455)->text, "RealTraffic refused the key");
  EXPECT_EQ(textAt(items, 3, 455)->colour, kYellow);
}

// Under ThreadSanitizer: the SimClient thread and the worker write while
// the window paints.
TEST(PanelTextsTest, WritersOnOtherThreadsNeverMeetAPaint) {
  publishServerName("server 0");
  std::atomic<bool> done{false};
  std::thread simClient([&done] {
    SimLinkDisplay link;
    for (int i = 0; !done.load(); ++i) {
      link.setSimulatorText(fmt::format("MSFS 2020 connected {}", i));
      publishSimulatorTexts(link);
    }
  });
  std::thread worker([&done] {
    for (std::uint32_t i = 0; !done.load(); ++i) {
      publishServerName(fmt::format("server {}", i));
      publishObjectIdResult(i);
    }
  });
  for (int paint = 0; paint < 300; ++paint) {
    PanelState state;
    state.texts = panelTexts();
    state.simConnected = true;
    state.loggedIn = true;
    const auto items = paintOf(state);
    const PaintItem* server = textAt(items, 458, 35);
    ASSERT_NE(server, nullptr);
    EXPECT_TRUE(server->text.rfind("server ", 0) == 0 && server->text.size() > 7) << server->text;
  }
  done.store(true);
  simClient.join();
  worker.join();
}

TEST(MainWindowPaintTest, ThePanelShowsWhatTheSessionAndTheWritersPublished) {
  ProgramHarness harness;
  Session& session = harness.session();
  platform::WindowModel model("CRVN", 0, 0, 880, 516);
  MainWindow window(model, session);
  session.link().display().simConnected.store(true);
  session.link().display().setSimulatorText("MSFS 2024 connected");
  session.link().display().setUserStandText("D7");
  publishSimulatorTexts(session.link().display());
  session.feedDisplay().loggedIn.store(true);
  session.feedDisplay().trafficIndicator.store(1);
  session.display().liveInSim.store(12);
  session.display().parkedLive.store(3);
  panelCounts().liveries.store(1234);
  publishServerName(std::string(60, 'x'));  // cut to what the panel can show
  publishObjectIdResult(42);
  par_CALLSIGN_2_OBJECTID.setValue("KLM12");
  updatePanelTexts([](PanelTexts& texts) { texts.parkAirportIcao = "EHAM"; });
  window.windowProcedure({platform::kWmPaint, 0, 0});
  const auto items = model.lastPaint();
  struct Case { int x, y; std::string text; };
  for (const Case& c : {Case{5, 35, "MSFS 2024 connected, user stand D7"}, Case{458, 35, std::string(32, 'x')},
                        Case{642, 91, "live:  12"}, Case{5, 91, "# liveries: 1234"}, Case{561, 259, "= 42"},
                        Case{5, 399, "EHAM"}, Case{111, 427, "parked live:   3"}}) {
    const PaintItem* item = textAt(items, c.x, c.y);
    ASSERT_NE(item, nullptr) << c.text;
    EXPECT_EQ(item->text, c.text);
  }
  EXPECT_EQ(textAt(items, 370, 399), nullptr) << "no static parking calculated yet";
  // Once the schedule has calculated the static parking the mark shows.
  session.parking().recalcStaticParking();
  window.windowProcedure({platform::kWmPaint, 0, 0});
  const auto calculated = model.lastPaint();
  const PaintItem* mark = textAt(calculated, 370, 399);
  ASSERT_NE(mark, nullptr);
  EXPECT_EQ(mark->text, "*S*");
  updatePanelTexts([](PanelTexts& texts) { texts.parkAirportIcao.clear(); });
  par_CALLSIGN_2_OBJECTID.setValue("");
  panelCounts().liveries.store(0);
}

}  // namespace
}  // namespace crv::testing
