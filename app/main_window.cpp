#include "app/main_window.h"

#include <stdexcept>
#include <string>

#include <fmt/format.h>

#include "airports/park_airport_panel.h"
#include "airports/park_airport_state.h"
#include "airports/stand_table.h"
#include "airportscan/airport_generation.h"
#include "app/status_panel.h"
#include "app/window_controls.h"
#include "foundation/clock.h"
#include "foundation/errors.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "foundation/utf8.h"
#include "foundation/version.h"

namespace crv {

namespace {

bool atBound(const IntParameter& setting) {
  return setting.value() == setting.minimum() || setting.value() == setting.maximum();
}

// A text of the paint that the window cannot draw: the conversion's failure
// goes to the log (the text itself as the log takes outside text).
void logUndrawableText(const std::string& text) {
  try {
    utf8ToUtf16(text);
  } catch (const win32::Utf8ConversionException& error) {
    gf_logLineUnlessStopping(
        fmt::format("{} conversion exception {}, error code: {}", logExcerpt(text), error.what(), error.errorCode()));
  } catch (const std::overflow_error& error) {
    gf_logLineUnlessStopping(fmt::format("{} {}", logExcerpt(text), error.what()));
  }
}

}  // namespace

void checkWindowPosition(std::int32_t x, std::int32_t y) {
  if (atBound(par_MAIN_WINDOW_X)) {
    par_MAIN_WINDOW_X.setValue(par_MAIN_WINDOW_X.clamped(x));
    saveIntParameter(par_MAIN_WINDOW_X);
  }
  if (atBound(par_MAIN_WINDOW_Y)) {
    par_MAIN_WINDOW_Y.setValue(par_MAIN_WINDOW_Y.clamped(y));
    saveIntParameter(par_MAIN_WINDOW_Y);
  }
}

MainWindow::MainWindow(platform::WindowModel& model, Session& session)
    : model_(model), session_(session), handlers_(session) {
  setStatusRepaintCallback([this] { model_.invalidate(); });
  model_.setUndrawableTextHandler(logUndrawableText);
  createControls(platform::mainWindowControls(), &model_);
  applyAlwaysOnTop();
}

MainWindow::~MainWindow() {
  setControlsWindow(nullptr);
  platform::mainWindowControls().destroyAll();
  model_.setUndrawableTextHandler({});
  setStatusRepaintCallback({});
}

std::optional<int> MainWindow::windowProcedure(const platform::WindowMessage& message) {
  // No exception leaves the window procedure: a failure is shown and logged.
  try {
    switch (message.message) {
      case platform::kWmPaint:
        paint();
        break;
      case platform::kWmCommand:
        handlers_.onCommand(message.wParam);
        break;
      case platform::kWmClose:
        onClose();
        break;
      case kStartSessionMessage:
        session_.startWorker();
        break;
      case kQuitProgramMessage:
        onQuitProgram();
        break;
      case platform::kWmQuit:
        return static_cast<int>(static_cast<std::int64_t>(message.wParam));
      default:
        break;
    }
  } catch (const std::exception& error) {
    setStatusLine(fmt::format("WndProc exception {}", error.what()), true);
  }
  return std::nullopt;
}

void MainWindow::onClose() {
  setStatusLine(fmt::format("Close window button clicked, closing {} ...", kProgramName), false);
  sessionEnd().userClosed();
  session_.cutLogoutShort();
}

void MainWindow::onQuitProgram() {
  session_.joinWorker();
  const platform::Rect rect = model_.windowRect();
  const std::int32_t previousX = par_MAIN_WINDOW_X.value();
  const std::int32_t previousY = par_MAIN_WINDOW_Y.value();
  par_MAIN_WINDOW_X.setValue(par_MAIN_WINDOW_X.clamped(rect.left));
  saveIntParameter(par_MAIN_WINDOW_X);
  par_MAIN_WINDOW_Y.setValue(par_MAIN_WINDOW_Y.clamped(rect.top));
  saveIntParameter(par_MAIN_WINDOW_Y);
  checkWindowPosition(previousX, previousY);
  writeLogLine("", timeText(systemTimeSeconds()));
  model_.postQuitMessage(0);
}

PanelState MainWindow::panelState() {
  PanelState state;
  state.texts = panelTexts();
  // The airport file's texts, as its reader published them.
  const ParkAirportPanel airportFile = parkAirportPanel();
  state.texts.parkAirportDetail = airportFile.publisher;
  state.texts.qualityFactor = airportFile.qualityText;
  state.texts.reservedStand = airportFile.reservedStandName;
  state.reservedStandFound = airportFile.reservedStandMark;
  state.handmadeAirportFile = airportFile.handmade;
  state.trafficWeek = airportFile.rtTrafficWeek;
  state.stands = airportFile.standCount;
  state.standUpdates = static_cast<std::int32_t>(standUpdates());
  state.parkAirportActive = parkAirportActive();
  state.msfs2020 = isMsfs2020();
  const SimLinkDisplay& sim = session_.link().display();
  state.simConnected = sim.simConnected.load();
  state.flightRunning = sim.flightRunning.load();
  state.userTypeKnown = sim.userAircraftKnown.load();
  state.liveries = static_cast<std::int64_t>(panelCounts().liveries.load());
  state.addonLiveries = static_cast<std::int64_t>(panelCounts().simaddonAirports.load());
  state.thirdPartyLiveries = static_cast<std::int64_t>(panelCounts().thirdpartyAirports.load());
  state.addonAirportsCollected = collectedAirportFileCount().load();
  state.addonAirportFolder = programPaths().tbloFolder.filename().string();
  state.wantedStatic = session_.engine().display().wantedStaticCount.load();
  state.wantedStaticPercent = session_.engine().display().parkingPercentageShown.load();
  const FeedDisplay& feed = session_.feedDisplay();
  state.loggedIn = feed.loggedIn.load();
  state.rtNotStarted = session_.display().rtNotStarted.load();
  state.trafficIndicator = feed.trafficIndicator.load();
  state.weatherIndicator = feed.weatherIndicator.load();
  state.qnhHpa = feed.qnhHpa.load();
  state.liveInSim = session_.display().liveInSim.load();
  state.parkedLive = session_.display().parkedLive.load();
  state.parkedStatic = session_.display().parkedStatic.load();
  state.averageLiveParkedHours = session_.display().averageLiveParkedHours.load();
  state.averageStaticParkedHours = session_.parking().averageStaticParkedHours();
  state.staticParkingCalculated = session_.parking().staticParkingCalculated();
  state.timeShiftControlsActive = timeShiftControlsActive();
  state.parkingBusy = parkingBusy();
  state.minutesToRenewal = minutesToRenewal();
  state.statusText = statusLineText();
  state.errorText = errorLineText();
  return state;
}

void MainWindow::paint() {
  platform::PaintSurface surface;
  paintStatusPanel(surface, panelState());
  model_.finishPaint(std::move(surface));
}

}  // namespace crv
