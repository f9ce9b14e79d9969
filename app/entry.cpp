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
#include "foundation/session_flags.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "foundation/version.h"
#include "platform/os/single_instance.h"
#include "platform/window/control_model.h"
#include "platform/window/window_view.h"

namespace crv {

namespace {

using namespace std::chrono_literals;

constexpr auto kLoopSlice = 50ms;

// A folder that is there already stays as it is; a file-system error names
// the operation and the folder.
bool makeDataFolder() {
  const std::filesystem::path folder = dataFolderPath();
  try {
    if (!std::filesystem::is_directory(folder)) {
      std::filesystem::create_directories(folder);
    }
  } catch (const std::filesystem::filesystem_error& error) {
    gf_logLine(fmt::format("Failed to create directory: {}", error.what()));
    return false;
  }
  return true;
}

// Without a window nobody reads the error line: it is printed, once for
// each text it shows.
class ErrorLinePrinter {
 public:
  explicit ErrorLinePrinter(std::ostream* out) : out_(out) {}
  void printWhenNew() {
    if (out_ == nullptr) {
      return;
    }
    const std::string text = errorLineText();
    if (!text.empty() && text != printed_) {
      *out_ << kProgramName << ": Error " << text << std::endl;
    }
    printed_ = text;
  }

 private:
  std::ostream* out_;
  std::string printed_;
};

// The real window over the model, shown; none when it cannot be made, with
// the reason in `problem`.
std::unique_ptr<platform::WindowView> showWindowView(platform::WindowModel& model, std::string& problem) {
  try {
    auto view = std::make_unique<platform::WindowView>(model, platform::mainWindowControls());
    view->show();
    return view;
  } catch (const std::exception& error) {
    problem = error.what();
    return nullptr;
  }
}

// The main window, shown; none when there is no display to show it on or it
// cannot be made.
std::unique_ptr<platform::WindowView> initInstance(platform::WindowModel& model) {
  if (!platform::displayAvailable()) {
    return nullptr;
  }
  std::string problem;
  return showWindowView(model, problem);
}

int messageLoop(platform::WindowModel& model, MainWindow& window, const ProgramOptions& options,
                platform::WindowView* view, const Session& session) {
  bool closePosted = false;
  std::int64_t lastSummary = systemTimeSeconds();
  ErrorLinePrinter errors(view == nullptr ? (options.errors != nullptr ? options.errors : options.summary) : nullptr);
  bool displayGone = false;
  while (true) {
    errors.printWhenNew();
    if (view != nullptr && !displayGone && platform::displayLost()) {
      displayGone = true;
      gf_logLine("The display is gone");
      if (options.errors != nullptr) {
        *options.errors << kProgramName << ": the display is gone; " << kProgramName << " closes" << std::endl;
      }
      model.postMessage(platform::kWmClose);
    }
    const bool pumping = view != nullptr && !displayGone;
    if (pumping) {
      view->pump(kLoopSlice);
    }
    const auto wait = pumping ? 0ms : kLoopSlice;
    for (auto message = model.waitMessage(wait); message; message = model.waitMessage(0ms)) {
      if (const auto exitCode = window.windowProcedure(*message)) {
        errors.printWhenNew();
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
  // A window wanted that cannot be made ends the start before the data
  // folder is touched or a session starts.
  std::unique_ptr<platform::WindowView> view;
  if (!runsHeadless(options)) {
    view = initInstance(model);
    if (view == nullptr) {
      gf_logLine("initInstance failed");
      return 0;
    }
  }
  if (!makeDataFolder()) {
    return 0;
  }
  SessionOptions sessionOptions = options.session;
  if (view == nullptr) {
    sessionOptions.errorWaitsForUser = false;
  }
  const SessionClock clock(options.clockSpeedUp);
  Session session(model, clock, sessionOptions);
  MainWindow window(model, session);
  model.invalidate();
  model.postMessage(kStartSessionMessage);
  const int exitCode = messageLoop(model, window, options, view.get(), session);
  session.joinWorker();
  // Without a window, an error that ended the program is the program's failure.
  if (exitCode == 0 && view == nullptr && sessionEnd().reason() == ExitReason::systemError) {
    return kErrorExitCode;
  }
  return exitCode;
}

// A start problem (the log cannot be opened, the simulator library is
// missing) and a window is wanted: the window opens with
// the reason on its error line and no session, until the user closes it.
int showStartError(const ProgramOptions& options, const std::string& text) {
  platform::WindowModel model(std::string(kProgramName), par_MAIN_WINDOW_X.value(), par_MAIN_WINDOW_Y.value(),
                              kMainWindowWidth, kMainWindowHeight);
  const SessionClock clock(options.clockSpeedUp);
  Session session(model, clock, options.session);
  MainWindow window(model, session);
  std::unique_ptr<platform::WindowView> view;
  if (platform::displayAvailable()) {
    std::string problem;
    view = showWindowView(model, problem);
    if (view == nullptr) {
      if (options.errors != nullptr) {
        *options.errors << kProgramName << ": " << text << " (" << problem << ")" << std::endl;
      }
      return kErrorExitCode;
    }
  }
  setErrorLine(text);
  model.invalidate();
  while (options.closeRequest == nullptr || !options.closeRequest->load()) {
    if (view != nullptr) {
      view->pump(kLoopSlice);
    }
    for (auto message = model.waitMessage(view != nullptr ? 0ms : kLoopSlice); message;
         message = model.waitMessage(0ms)) {
      if (message->message == platform::kWmClose || message->message == platform::kWmQuit) {
        clearErrorLine();
        return kErrorExitCode;
      }
      if (message->message == platform::kWmPaint) {
        window.windowProcedure(*message);
      }
    }
  }
  clearErrorLine();
  return kErrorExitCode;
}

}  // namespace

bool runsHeadless(const ProgramOptions& options) { return !options.showWindow || options.summary != nullptr; }

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
  return fmt::format("{}  live {}  static {}  created {}  removed {}  parked live {}  {}", clockText(),
                     display.liveInSim.load(), display.staticInSim.load(), display.created.load(),
                     display.removed.load(), display.parkedLive.load(), phaseText(display.phase.load()));
}

int crvnMain(const ProgramOptions& options) {
  const platform::SingleInstanceLock instance(kSingleInstanceName);
  if (!instance.acquired()) {
    return -1;
  }
  std::string startError = options.startProblem;
  if (startError.empty()) {
    try {
      openLog();
    } catch (const LogOpenError& error) {
      startError =
          fmt::format("{} ({}); {} does not run without its log", error.what(), error.cause(), kProgramName);
    } catch (const std::exception& error) {
      startError = fmt::format("{}; {} does not run without its log", error.what(), kProgramName);
    }
  }
  if (!startError.empty()) {
    if (!runsHeadless(options)) {
      return showStartError(options, startError);
    }
    if (options.errors != nullptr) {
      *options.errors << kProgramName << ": " << startError << std::endl;
    }
    return kErrorExitCode;
  }
  const int exitCode = appMain(options);
  closeLog();
  return exitCode;
}

}  // namespace crv
