// Screenshots of the real window (FLTK under Xvfb) in the states a user
// meets, compared with the reference PNGs with a small tolerance. A failing
// comparison writes the new image and a difference image next to the
// test's output. CRVN_UPDATE_SCREENSHOTS=1 writes new references instead.

#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/status_panel.h"
#include "app/window_controls.h"
#include "platform/window/control_model.h"
#include "platform/window/window_view.h"
#include "platform/window/window_model.h"

namespace crv::testing {
namespace {

namespace fs = std::filesystem;

// A pixel differs when a channel is off by more than this; the images match
// while at most kMaxDifferingShare of the pixels differ (font smoothing).
constexpr int kChannelTolerance = 48;
constexpr double kMaxDifferingShare = 0.005;

// A cairo image surface that frees itself.
using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

std::uint32_t* pixelRow(cairo_surface_t* surface, int y) {
  return reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface) +
                                          static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(surface));
}

Surface surfaceOf(const std::vector<std::uint8_t>& rgb, int width, int height) {
  Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height), &cairo_surface_destroy);
  cairo_surface_flush(surface.get());
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* in = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
      pixelRow(surface.get(), y)[x] = (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
    }
  }
  cairo_surface_mark_dirty(surface.get());
  return surface;
}

// The share of pixels of the shot that differ from the reference; they are
// marked red in the difference image over a faded copy of the shot (each
// channel a quarter of its value plus 160).
double compare(cairo_surface_t* reference, cairo_surface_t* shot, cairo_surface_t* difference) {
  const int width = cairo_image_surface_get_width(shot);
  const int height = cairo_image_surface_get_height(shot);
  std::size_t differing = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t expected = pixelRow(reference, y)[x];
      const std::uint32_t seen = pixelRow(shot, y)[x];
      bool off = false;
      for (const int shift : {0, 8, 16}) {
        off = off || std::abs(int((expected >> shift) & 0xFFU) - int((seen >> shift) & 0xFFU)) > kChannelTolerance;
      }
      differing += off ? 1 : 0;
      pixelRow(difference, y)[x] = off ? 0xFF0000U : 0xA0A0A0U + ((seen >> 2) & 0x3F3F3FU);
    }
  }
  cairo_surface_mark_dirty(difference);
  return static_cast<double>(differing) / (static_cast<double>(width) * height);
}

class WindowScreenshotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!platform::displayAvailable()) GTEST_SKIP() << "no display (run under xvfb-run)";
    createControls(platform::mainWindowControls(), &model);
  }
  void TearDown() override {
    setControlsWindow(nullptr);
    platform::mainWindowControls().destroyAll();
  }

  void expectScreen(const std::string& name, const PanelState& state) {
    platform::PaintSurface surface;
    paintStatusPanel(surface, state);
    model.finishPaint(std::move(surface));
    platform::WindowView view(model, platform::mainWindowControls());
    view.show();
    for (int i = 0; i < 5; ++i) view.pump(std::chrono::milliseconds(20));
    const Surface shot = surfaceOf(view.captureRgb(), model.width(), model.height());

    const fs::path reference = fs::path(CRVN_SCREENSHOT_REFERENCES) / (name + ".png");
    const fs::path output = fs::path(CRVN_SCREENSHOT_OUTPUT);
    fs::create_directories(output);
    if (std::getenv("CRVN_UPDATE_SCREENSHOTS") != nullptr) {  // NOLINT(concurrency-mt-unsafe)
      cairo_surface_write_to_png(shot.get(), reference.c_str());
      return;
    }
    const Surface expected(cairo_image_surface_create_from_png(reference.c_str()), &cairo_surface_destroy);
    ASSERT_EQ(cairo_surface_status(expected.get()), CAIRO_STATUS_SUCCESS) << reference;
    const bool sameSize = cairo_image_surface_get_width(expected.get()) == model.width() &&
                          cairo_image_surface_get_height(expected.get()) == model.height();
    const Surface difference(cairo_image_surface_create(CAIRO_FORMAT_RGB24, model.width(), model.height()),
                             &cairo_surface_destroy);
    const double share = sameSize ? compare(expected.get(), shot.get(), difference.get()) : 1.0;
    if (share > kMaxDifferingShare) {
      cairo_surface_write_to_png(shot.get(), (output / (name + ".new.png")).c_str());
      if (sameSize) cairo_surface_write_to_png(difference.get(), (output / (name + ".diff.png")).c_str());
      ADD_FAILURE() << name << ": " << share * 100 << " % of the pixels differ; see " << output;
    }
  }

  platform::WindowModel model{"CRVN", 0, 0, kMainWindowWidth, kMainWindowHeight};
};

PanelState connectedWithTraffic() {
  PanelState state;
  state.texts.simulatorLine = "MSFS 2020 connected";
  state.texts.userAircraftLine = "Airbus A320 Neo Asobo, A20N";
  state.texts.serverName = "rt-standin 127.0.0.1";
  state.simConnected = true;
  state.flightRunning = true;
  state.rtNotStarted = false;
  state.loggedIn = true;
  state.trafficIndicator = 1;
  state.weatherIndicator = 1;
  state.qnhHpa = 1013;
  state.liveInSim = 42;
  state.liveries = 1234;
  state.addonLiveries = 56;
  state.thirdPartyLiveries = 7;
  return state;
}

TEST_F(WindowScreenshotTest, NotConnected) { expectScreen("not_connected", PanelState{}); }

TEST_F(WindowScreenshotTest, ConnectedWithTraffic) { expectScreen("connected_with_traffic", connectedWithTraffic()); }

// Logged in over a region without traffic: "Traffic" in yellow, no aircraft.
TEST_F(WindowScreenshotTest, NoTrafficInTheRegion) {
  PanelState state = connectedWithTraffic();
  state.trafficIndicator = 2;
  state.qnhHpa = 1008;
  state.liveInSim = 0;
  expectScreen("no_traffic_in_region", state);
}

TEST_F(WindowScreenshotTest, ParkAirportActive) {
  PanelState state = connectedWithTraffic();
  state.texts.parkAirportIcao = "EHAM";
  state.texts.parkAirportLine = "Amsterdam Schiphol";
  state.texts.parkAirportDetail = "214 stands";
  state.texts.qualityFactor = "0.82";
  state.parkAirportActive = true;
  state.trafficWeek = 49;
  state.staticParkingCalculated = true;
  state.standUpdates = 12;
  state.stands = 214;
  state.parkedLive = 31;
  state.parkedStatic = 64;
  state.averageLiveParkedHours = 2.5F;
  state.averageStaticParkedHours = 3.0F;
  state.wantedStatic = 64;
  state.wantedStaticPercent = 30;
  expectScreen("park_airport_active", state);
}

TEST_F(WindowScreenshotTest, ErrorLine) {
  PanelState state;
  state.rtNotStarted = false;
  state.errorText = "RealTraffic login failed: the license key was refused";
  expectScreen("error_line", state);
}

}  // namespace
}  // namespace crv::testing
