#include "tests/app/program_harness.h"

#include <algorithm>

#include "foundation/clock.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/session_flags.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "tests/support/settings_fixture.h"

namespace crv::testing {

namespace {

using namespace std::chrono_literals;

platform::SimWorld schipholWorld() {
  platform::SimWorld world;
  world.userAircraft.latitudeDegrees = 52.3105;
  world.userAircraft.longitudeDegrees = 4.7683;
  world.userAircraft.altitudeFeet = -11;
  world.userAircraft.groundAltitudeFeet = -11;
  world.userAircraft.onGround = true;
  world.userAircraft.title = "Airbus A320 Neo Asobo";
  world.userAircraft.atcModel = "A320";
  world.utcSeconds = 1765000000;
  return world;
}

// The steady clock of the machine from the clock's creation, run faster.
class FasterStandInClock : public platform::StandInClock {
 public:
  explicit FasterStandInClock(double speedUp) : speedUp_(speedUp) {}
  std::chrono::nanoseconds now() const override {
    return std::chrono::duration_cast<std::chrono::nanoseconds>((std::chrono::steady_clock::now() - start_) *
                                                                speedUp_);
  }
  bool isManual() const override { return false; }

 private:
  double speedUp_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace

ProgramHarness::ProgramHarness(const std::function<void(SessionOptions&)>& adjust, double speedUp, WorldPace pace)
    : clock_(speedUp),
      model_(std::string("CRVN"), 400, 20, kMainWindowWidth, kMainWindowHeight) {
  resetSessionFlags();
  resetAllSettings();
  std::filesystem::create_directories(folder_ / "docs");
  std::filesystem::create_directories(folder_ / "input");
  std::filesystem::copy_file(CRVN_DBASE_ENC, folder_ / "input" / "dbase.enc");
  std::filesystem::copy_file(CRVN_AIRPORTS_XML, folder_ / "input" / "airports_msfs.xml");
  writeFile(folder_ / "output" / "LiveriesScanned.xml", "<liveries/>");
  std::filesystem::create_directories(packagesFolder() / "Community");
  std::filesystem::create_directories(packagesFolder() / "Official");
  setDataFolderPath(folder_ / "appdata" / "CRVN");
  std::filesystem::create_directories(folder_ / "appdata" / "CRVN");
  storeSettings({{"SIM_CHOICE", kSimChoiceMsfs2020}});
  workingFolder_ = std::make_unique<ScopedWorkingFolder>(folder_.path());

  rt_.setPace(200, 200);
  platform::StandInOptions simOptions;
  simOptions.recordCalls = false;
  worldEpochSeconds_ = systemTimeSeconds();
  if (pace == WorldPace::sessionClock) {
    auto worldClock = std::make_shared<FasterStandInClock>(clock_.speedUp());
    simOptions.clock = worldClock;
    rt_.setEpochClock([worldClock, epoch = static_cast<double>(worldEpochSeconds_)] {
      return epoch + std::chrono::duration<double>(worldClock->now()).count();
    });
    options_.stepsFollowClock = true;
  } else {
    simOptions.clock = std::make_shared<platform::SteadyStandInClock>();
  }
  if (pace == WorldPace::feedOnSessionClock) {
    options_.feedPaceWait = [this](std::chrono::milliseconds duration, const std::atomic<bool>& stop) {
      return clock_.waitFor(duration, [&stop] { return stop.load(); });
    };
  }
  simClock_ = simOptions.clock;
  rt_.setScenario(standin::Scenario::load(CRVN_RT_STANDIN_SAMPLE));
  installed_ = std::make_unique<platform::ScopedSimulator>(
      std::make_shared<platform::SimulatorStandIn>(schipholWorld(), simOptions));

  options_.loadAccount = [endpoint = rt_.endpoint()] { return RtAccount{endpoint, "test-key-0123456789"}; };
  options_.requestTimeouts.connect = 2s;
  options_.requestTimeouts.transfer = 5s;
  options_.engineConfig.callsignListFile = folder_ / "Callsign2ObjectId.txt";
  options_.engineConfig.stands = nullptr;
  if (adjust) {
    adjust(options_);
  }
  makeSession();
  setStatusRepaintCallback([this] {
    const std::string text = statusLineText();
    {
      std::lock_guard lock(statusMutex_);
      if (statusTexts_.empty() || statusTexts_.back() != text) {
        statusTexts_.push_back(text);
      }
    }
    model_.invalidate();
  });
}

void ProgramHarness::storeSettings(std::initializer_list<std::pair<std::string_view, std::string_view>> nodes) {
  const std::string packages = packagesFolder().string();
  writeFile(parametersFilePath(),
            "<parameters>" + parameterNodes({{"MSFS_INSTALL_PATH", packages}, {"MSFS_2024_INSTALL_PATH", packages}}) +
                parameterNodes(nodes) + "</parameters>");
}

void ProgramHarness::resetSessionFlags() {
  clearStopRequest();
  setUserClosedWindow(false);
  sessionEnd().reset();
  sessionEnd().restartPending.store(false);
}

void ProgramHarness::makeSession() {
  session_ = std::make_unique<Session>(model_, clock_, options_);
  window_ = std::make_unique<MainWindow>(model_, *session_);
}

void ProgramHarness::startAgain() {
  if (uiThread_.joinable()) {
    uiThread_.join();
  }
  window_.reset();
  session_.reset();
  closeLog();
  resetSessionFlags();
  ended_.store(false);
  makeSession();
  start();
}

ProgramHarness::~ProgramHarness() {
  if (uiThread_.joinable()) {
    if (!ended_.load()) {
      clickClose();
    }
    uiThread_.join();
  }
  window_.reset();
  session_.reset();
  installed_.reset();
  rt_.stop();
  closeLog();
  workingFolder_.reset();
  setDataFolderPath({});
  resetSessionFlags();
  resetAllSettings();
}

void ProgramHarness::start() {
  openLog();
  model_.postMessage(kStartSessionMessage);
  uiThread_ = std::thread([this] { messageLoop(); });
}

void ProgramHarness::messageLoop() {
  while (true) {
    if (const auto message = model_.waitMessage(50ms)) {
      if (const auto code = window_->windowProcedure(*message)) {
        exitCode_.store(*code);
        ended_.store(true);
        return;
      }
    }
  }
}

bool ProgramHarness::waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

bool ProgramHarness::waitForLog(const std::string& piece, std::chrono::milliseconds timeout) const {
  return waitFor([&] { return log().find(piece) != std::string::npos; }, timeout);
}

bool ProgramHarness::waitUntilRunning(std::chrono::milliseconds timeout) {
  return waitFor([this] { return session_->display().phase.load() == SessionDisplay::Phase::running; }, timeout);
}

std::optional<int> ProgramHarness::waitForExit(std::chrono::milliseconds timeout) {
  if (!waitFor([this] { return ended_.load(); }, timeout)) {
    return std::nullopt;
  }
  return exitCode_.load();
}

double ProgramHarness::worldSeconds() const {
  return std::chrono::duration<double>(simClock_->now()).count();
}

std::string ProgramHarness::log() const { return readTextFile(folder_ / "Log.txt"); }

bool ProgramHarness::sawStatus(const std::string& text) const {
  std::lock_guard lock(statusMutex_);
  return std::find(statusTexts_.begin(), statusTexts_.end(), text) != statusTexts_.end();
}

}  // namespace crv::testing
