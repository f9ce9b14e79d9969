#include "app/entry.h"

#include <filesystem>
#include <memory>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "app/main_window.h"
#include "foundation/clock.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "foundation/version.h"
#include "platform/os/single_instance.h"
#include "platform/window/control_model.h"
#include "platform/window/fltk_view.h"

namespace crv {

namespace {

using namespace std::chrono_literals;

constexpr auto kLoopSlice = 50ms;

bool makeDataFolder() {
  const std::filesystem::path folder = dataFolderPath();
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) {
    std::filesystem::create_directories(folder, error);
  }
  if (error) {
    gf_logLine(fmt::format("Failed to create directory: {}", error.message()));
    return false;
  }
  return true;
}

int messageLoop(platform::WindowModel& model, MainWindow& window, const ProgramOptions& options,
                platform::FltkView* view, const Session& session) {
  bool closePosted = false;
  std::int64_t lastSummary = systemTimeSeconds();
  while (true) {
    if (view != nullptr) {
      view->pump(kLoopSlice);
    }
    const auto wait = view != nullptr ? 0ms : kLoopSlice;
    for (auto message = model.waitMessage(wait); message; message = model.waitMessage(0ms)) {
      if (const auto exitCode = window.windowProcedure(*message)) {
        return *exitCode;
      }
    }
    if (options.closeRequest != nullptr && options.closeRequest->load() && !closePosted) {
      closePosted = true;
      model.postMessage(platform::kWmClose);
    }
    if (options.summary != nullptr && systemTimeSeconds() != lastSummary) {
      lastSummary = systemTimeSeconds();
      *options.summary << summaryLine(const_cast<Session&>(session).display()) << std::endl;
    }
  }
}

int appMain(const ProgramOptions& options) {
  readWindowPosition();
  platform::WindowModel model(std::string(kProgramName), par_MAIN_WINDOW_X.value(), par_MAIN_WINDOW_Y.value(),
                              kMainWindowWidth, kMainWindowHeight);
  if (!makeDataFolder()) {
    return 0;
  }
  const SessionClock clock(options.clockSpeedUp);
  Session session(model, clock, options.session);
  MainWindow window(model, session);
  std::unique_ptr<platform::FltkView> view;
  if (options.showWindow && platform::displayAvailable()) {
    view = std::make_unique<platform::FltkView>(model, platform::mainWindowControls());
    view->show();
  }
  model.invalidate();
  model.postMessage(kStartSessionMessage);
  const int exitCode = messageLoop(model, window, options, view.get(), session);
  session.joinWorker();
  return exitCode;
}

}  // namespace

void readWindowPosition() {
  pugi::xml_document document;
  if (!loadParametersDocument(document)) {
    return;
  }
  readIntParameter(par_MAIN_WINDOW_X, document, false);
  readIntParameter(par_MAIN_WINDOW_Y, document, false);
  checkWindowPosition(par_MAIN_WINDOW_X.defaultValue(), par_MAIN_WINDOW_Y.defaultValue());
}

std::string summaryLine(const SessionDisplay& display) {
  return fmt::format("{}  live {}  static {}  created {}  removed {}  {}", clockText(), display.liveInSim.load(),
                     display.staticInSim.load(), display.created.load(), display.removed.load(),
                     phaseText(display.phase.load()));
}

int crvnMain(const ProgramOptions& options) {
  const platform::SingleInstanceLock instance(kSingleInstanceName);
  if (!instance.acquired()) {
    return -1;
  }
  try {
    openLog();
  } catch (const std::exception& error) {
    if (options.errors != nullptr) {
      *options.errors << kProgramName << ": " << error.what() << std::endl;
    }
    return 1;
  }
  const int exitCode = appMain(options);
  closeLog();
  return exitCode;
}

}  // namespace crv
