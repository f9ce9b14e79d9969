// Screenshots of the real window (FLTK under Xvfb) in the states a user
// meets, compared with the reference PNGs with a small tolerance. A failing
// comparison writes the new image and a difference image next to the
// test's output. CRVN_UPDATE_SCREENSHOTS=1 writes new references instead.

#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/status_panel.h"
#include "app/window_controls.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "platform/window/control_model.h"
#include "platform/window/fltk_view.h"
#include "platform/window/window_model.h"

namespace crv::testing {
namespace {

namespace fs = std::filesystem;

// A pixel differs when a channel is off by more than this; the images match
// while at most kMaxDifferingShare of the pixels differ (font smoothing).
constexpr int kChannelTolerance = 48;
constexpr double kMaxDifferingShare = 0.005;

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
};

void writePng(const Image& image, const fs::path& file) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, image.width, image.height);
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t* in = &image.rgb[(static_cast<std::size_t>(y) * image.width + x) * 3];
      auto* out = reinterpret_cast<std::uint32_t*>(data + y * stride) + x;
      *out = (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
    }
  }
  cairo_surface_mark_dirty(surface);
  cairo_surface_write_to_png(surface, file.c_str());
  cairo_surface_destroy(surface);
}

bool readPng(const fs::path& file, Image& image) {
  cairo_surface_t* surface = cairo_image_surface_create_from_png(file.c_str());
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return false;
  }
  image.width = cairo_image_surface_get_width(surface);
  image.height = cairo_image_surface_get_height(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  image.rgb.resize(static_cast<std::size_t>(image.width) * image.height * 3);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const std::uint32_t pixel = reinterpret_cast<const std::uint32_t*>(data + y * stride)[x];
      std::uint8_t* out = &image.rgb[(static_cast<std::size_t>(y) * image.width + x) * 3];
      out[0] = static_cast<std::uint8_t>(pixel >> 16);
      out[1] = static_cast<std::uint8_t>(pixel >> 8);
      out[2] = static_cast<std::uint8_t>(pixel);
    }
  }
  cairo_surface_destroy(surface);
  return true;
}

// The share of differing pixels; the difference image marks them red.
double compare(const Image& reference, const Image& shot, Image& difference) {
  difference = shot;
  std::size_t differing = 0;
  const std::size_t pixels = static_cast<std::size_t>(shot.width) * shot.height;
  for (std::size_t i = 0; i < pixels; ++i) {
    bool off = false;
    for (int c = 0; c < 3; ++c) {
      off = off || std::abs(int{reference.rgb[i * 3 + c]} - int{shot.rgb[i * 3 + c]}) > kChannelTolerance;
    }
    std::uint8_t* out = &difference.rgb[i * 3];
    if (off) {
      ++differing;
      out[0] = 255, out[1] = 0, out[2] = 0;
    } else {
      out[0] = out[1] = out[2] = static_cast<std::uint8_t>(out[0] / 4 + 160);
    }
  }
  return static_cast<double>(differing) / static_cast<double>(pixels);
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
    platform::FltkView view(model, platform::mainWindowControls());
    view.show();
    for (int i = 0; i < 5; ++i) view.pump(std::chrono::milliseconds(20));
    Image shot{model.width(), model.height(), view.captureRgb()};

    const fs::path reference = fs::path(CRVN_SCREENSHOT_REFERENCES) / (name + ".png");
    const fs::path output = fs::path(CRVN_SCREENSHOT_OUTPUT);
    fs::create_directories(output);
    if (std::getenv("CRVN_UPDATE_SCREENSHOTS") != nullptr) {  // NOLINT(concurrency-mt-unsafe)
      writePng(shot, reference);
      return;
    }
    Image expected;
    ASSERT_TRUE(readPng(reference, expected)) << reference;
    Image difference;
    const bool sameSize = expected.width == shot.width && expected.height == shot.height;
    const double share = sameSize ? compare(expected, shot, difference) : 1.0;
    if (share > kMaxDifferingShare) {
      writePng(shot, output / (name + ".new.png"));
      if (sameSize) writePng(difference, output / (name + ".diff.png"));
      ADD_FAILURE() << name << ": " << share * 100 << " % of the pixels differ; see " << output;
    }
  }

  platform::WindowModel model{"CRVN", 0, 0, 880, 516};
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
