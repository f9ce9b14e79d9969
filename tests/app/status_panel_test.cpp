// The status panel's paint: boxes and texts in the states a user sees, and
// the texts other threads publish to it.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include <fmt/format.h>

#include "app/main_window.h"
#include "app/status_panel.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
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

// The last item of the kind whose rectangle starts at (x, y).
const PaintItem* itemAt(const std::vector<PaintItem>& items, int x, int y,
                        PaintItem::Kind kind = PaintItem::Kind::Text) {
  const PaintItem* found = nullptr;
  for (const PaintItem& item : items) {
    if (item.kind == kind && item.rect.left == x && item.rect.top == y) found = &item;
  }
  return found;
}

// The text painted at (x, y), "(nothing)" where none is.
std::string textAt(const std::vector<PaintItem>& items, int x, int y) {
  const PaintItem* item = itemAt(items, x, y);
  return item != nullptr ? item->text : "(nothing)";
}

TEST(StatusPanelTest, NotConnectedShowsTheModeARedBoxAndMissingLiveries) {
  PanelState state;
  state.msfs2020 = false;
  const auto items = paintOf(state);
  ASSERT_NE(itemAt(items, 397, 30, PaintItem::Kind::FillRect), nullptr);
  EXPECT_EQ(itemAt(items, 397, 30, PaintItem::Kind::FillRect)->colour, kRed);
  EXPECT_EQ(textAt(items, 5, 35), "MSFS 2024 mode");
  EXPECT_EQ(textAt(items, 5, 91), "# liveries: ...");
  EXPECT_EQ(itemAt(items, 5, 91)->colour, kRed);
}

TEST(StatusPanelTest, ThePanelFillsTheWholeClientAreaOfTheMainWindow) {
  for (const bool withError : {false, true}) {
    PanelState state;
    if (withError) state.errorText = "Error 41";
    const auto items = paintOf(state);
    // Each row of the client area lies in a filled band as wide as the window.
    for (int y = 0; y < kMainWindowHeight; ++y) {
      const bool filled = std::any_of(items.begin(), items.end(), [y](const PaintItem& item) {
        return item.kind == PaintItem::Kind::FillRect && item.rect.left <= 0 && item.rect.right >= kMainWindowWidth &&
               item.rect.top <= y && y < item.rect.bottom;
      });
      ASSERT_TRUE(filled) << "row " << y << " of " << kMainWindowHeight << " is left unpainted";
    }
  }
}

TEST(StatusPanelTest, WeatherIndicatorDecidesWeatherAndQnh) {
  struct Case { int indicator; std::int32_t qnh; std::string weather; platform::Colour colour; std::string qnhText; };
  for (const Case& c : {Case{3, 1013, "(nothing)", 0, "(nothing)"}, Case{2, 0, "Weather", kYellow, ""},
                        Case{1, 1013, "Weather", kGreen, "qnh: 1013"}}) {
    PanelState state;
    state.loggedIn = true;
    state.rtNotStarted = false;
    state.weatherIndicator = c.indicator;
    state.qnhHpa = c.qnh;
    const auto items = paintOf(state);
    EXPECT_EQ(textAt(items, 458, 63), c.weather) << c.indicator;
    EXPECT_EQ(textAt(items, 642, 63), c.qnhText) << c.indicator;
    if (c.colour != 0) {
      EXPECT_EQ(itemAt(items, 458, 63)->colour, c.colour) << c.indicator;
    }
  }
}

TEST(StatusPanelTest, ParkTrafficOnlyHidesQualityAndMaxPark) {
  PanelState state;
  state.texts.parkAirportIcao = "EHAM";
  state.texts.qualityFactor = "0.8";
  state.parkAirportActive = true;
  state.wantedStatic = 40;
  state.wantedStaticPercent = 30;
  EXPECT_EQ(itemAt(paintOf(state), 5, 399)->colour, kGreen) << "the active park airport";
  EXPECT_EQ(textAt(paintOf(state), 430, 399), "qf: 0.8");
  EXPECT_EQ(textAt(paintOf(state), 708, 427), "max park:  40 (=30 %)");
  par_RT_PARKTRAFFIC_ONLY.setValue(true);
  EXPECT_EQ(textAt(paintOf(state), 430, 399), "(nothing)");
  EXPECT_EQ(textAt(paintOf(state), 708, 427), "(nothing)");
  par_RT_PARKTRAFFIC_ONLY.setValue(false);
}

TEST(StatusPanelTest, AnErrorReplacesTheStatusAndTurnsTheStripRed) {
  PanelState state;
  state.statusText = "working";
  state.errorText = "RealTraffic refused the key";
  const auto items = paintOf(state);
  EXPECT_EQ(itemAt(items, 0, 448, PaintItem::Kind::FillRect)->colour, kRed);
  EXPECT_EQ(textAt(items, 3, 455), "RealTraffic refused the key");
  EXPECT_EQ(itemAt(items, 3, 455)->colour, kYellow);
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
    const std::string server = textAt(paintOf(state), 458, 35);
    EXPECT_TRUE(server.rfind("server ", 0) == 0 && server.size() > 7) << server;
  }
  done.store(true);
  simClient.join();
  worker.join();
}

TEST(MainWindowPaintTest, ThePanelShowsWhatTheSessionAndTheWritersPublished) {
  ProgramHarness harness;
  Session& session = harness.session();
  platform::WindowModel model("CRVN", 0, 0, kMainWindowWidth, kMainWindowHeight);
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
  publishServerName(std::string(60, 'x'));  // painted whole
  publishObjectIdResult(42);
  par_CALLSIGN_2_OBJECTID.setValue("KLM12");
  updatePanelTexts([](PanelTexts& texts) { texts.parkAirportIcao = "EHAM"; });
  window.windowProcedure({platform::kWmPaint, 0, 0});
  struct Case { int x, y; std::string text; };
  for (const Case& c : {Case{5, 35, "MSFS 2024 connected, user stand D7"}, Case{458, 35, std::string(60, 'x')},
                        Case{642, 91, "live:  12"}, Case{5, 91, "# liveries: 1234"}, Case{561, 259, "= 42"},
                        Case{5, 399, "EHAM"}, Case{111, 427, "parked live:   3"},
                        Case{370, 399, "(nothing)"}}) {  // no static parking calculated yet
    EXPECT_EQ(textAt(model.lastPaint(), c.x, c.y), c.text);
  }
  // Once the schedule has calculated the static parking the mark shows.
  session.parking().recalcStaticParking();
  window.windowProcedure({platform::kWmPaint, 0, 0});
  EXPECT_EQ(textAt(model.lastPaint(), 370, 399), "*S*");
  updatePanelTexts([](PanelTexts& texts) { texts.parkAirportIcao.clear(); });
  panelCounts().liveries.store(0);
}

// A text that does not convert for drawing (here a status text with bytes
// that are no UTF-8) is drawn by no view and logged with the conversion's
// failure.
TEST(MainWindowPaintTest, ATextThatCannotBeDrawnIsLeftOutOfThePaintAndLogged) {
  ProgramHarness program;
  program.start();
  ASSERT_TRUE(program.waitUntilRunning()) << program.log();
  const std::string undrawable = "Holding \xFF\xFE for 2 seconds";
  setStatusLine(undrawable, false);
  ASSERT_TRUE(program.waitForLog("Holding \\xFF\\xFE for 2 seconds conversion exception Invalid UTF-8 sequence found "
                                 "in input string., error code: 1113",
                                 std::chrono::seconds(10)))
      << program.log();
  for (const PaintItem& item : program.window().lastPaint()) {
    EXPECT_NE(item.text, undrawable);
  }
  clearStatusLine();
}

}  // namespace
}  // namespace crv::testing
