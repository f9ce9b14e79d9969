// One session's run: the SimClient thread, the wait for a flight, the login,
// the readers, the first traffic and the 10 ms main loop.

#include <cmath>
#include <thread>

#include <fmt/format.h>

#include "aircraftdata/livery_database.h"
#include "aircraftdata/match_summary.h"
#include "aircraftdata/type_lookups.h"
#include "airports/park_airport_state.h"
#include "app/session.h"
#include "app/session_readers.h"
#include "app/status_panel.h"
#include "app/window_controls.h"
#include "feed/login.h"
#include "feed/reader_threads.h"
#include "foundation/clock.h"
#include "foundation/log.h"
#include "foundation/session_flags.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "platform/os/timer_period.h"
#include "platform/window/control_model.h"
#include "simlink/sim_ids.h"

namespace crv {

namespace {

using namespace std::chrono_literals;

constexpr auto kStep = 10ms;
constexpr double kUnknownCoordinate = 0.0001;
constexpr int kPauseSteps = 100;

bool positionUnknown(const UserAcData& data) {
  return std::fabs(data.latitude) <= kUnknownCoordinate && std::fabs(data.longitude) <= kUnknownCoordinate;
}

}  // namespace

void Session::runSession() {
  feedDisplay_.loggedIn.store(false);
  link_.display().simConnected.store(false);
  repaint();
  engine_.reserveSessionTables();
  sortCategoryLists();
  link_.reserveSession();
  simClient_.start();

  display_.phase.store(SessionDisplay::Phase::waitingForSimulator);
  if (!waitForSimAndUser() || stopping()) {
    return;
  }
  display_.phase.store(SessionDisplay::Phase::loggingIn);
  display_.rtNotStarted.store(false);
  repaint();
  engine_.setSessionActive(false);

  account_ = options_.loadAccount();
  FeedConfig config;
  config.endpoint = account_.endpoint;
  config.accountKey = account_.key;
  config.timeouts = options_.requestTimeouts;
  config.paceWait = options_.feedPaceWait;
  readers_ = std::make_unique<Readers>(config, feedHooks());
  TrafficReader& traffic = readers_->traffic;
  WeatherReader& weather = readers_->weather;
  traffic.setServicePace(trafficReaderPace_);
  weather.setServicePace(weatherReaderPace_);
  traffic.setTimeOffsetMinutes(readerTimeOffsetMinutes_.load());
  weather.setTimeOffsetMinutes(readerTimeOffsetMinutes_.load());
  traffic.computeTrafficBox();
  authenticater(weather, traffic);
  if (stopping()) {
    return;
  }
  feedDisplay_.weatherIndicator.store(kIndicatorNoData);
  feedDisplay_.trafficIndicator.store(kIndicatorNoData);
  repaint();
  // Time shift is available in every session, whatever a Sim Time click
  // left before the login.
  enableTimeShiftControls(true);

  for (int i = 0; i < 10 && traffic.guid().empty() && !stopping(); ++i) {
    wait(300ms);
  }
  readers_->weatherThread = std::thread([&weather, &traffic] { gf_weatherReader(weather, traffic); });
  for (int i = 0; i < 10 && feedDisplay_.qnhHpa.load() == 0 && !stopping(); ++i) {
    wait(300ms);
    handleRereadRequest();
  }
  readers_->trafficThread = std::thread([&weather, &traffic] { gf_trafficReader(traffic, weather); });
  wait(300ms);
  const UserAcData user = link_.user().data();
  traffic.setOwnPosition({user.latitude, user.longitude});
  reportNoTraffic([this](std::chrono::milliseconds step) { return wait(step); });

  // The first traffic: the reader raises its receiving flag once its history
  // is handed over, whether or not it brought aircraft.
  const auto limit = clock_.elapsed() + options_.firstTrafficLimit;
  while (!traffic.isReceiving() && !stopping()) {
    if (clock_.elapsed() > limit) {
      gf_logLine("TrafficReader receiving timed out after 10 seconds?");
      sessionEnd().endSession(ExitReason::readerError, kRestartAfterReaderError);
      return;
    }
    wait(100ms);
  }
  if (!stopping()) {
    runMainLoop();
  }
}

bool Session::waitForSimAndUser() {
  while (!link_.simRunning.load() || queues_.simLinkPaused.load()) {
    if (!wait(100ms)) {
      return false;
    }
  }
  if (!link_.connection().requestUserOnGroundEverySecond()) {
    gf_logWarning("SimConnect request ac gnd/air fails");
    queues_.simRequestError();
  }
  UserAcData user;
  while (!link_.user().userDataReady.load() || positionUnknown(user)) {
    user = link_.user().getUserAcPosition();
    if (!wait(500ms)) {
      return false;
    }
  }
  link_.user().requestUserAcTitleModel();
  while (positionUnknown(user)) {
    user = link_.user().getUserAcPosition();
    if (!wait(200ms)) {
      return false;
    }
  }
  return !stopping();
}

void Session::runMainLoop() {
  secondCounter_ = 0;
  flightPaused_ = false;
  engine_.setSessionActive(true);
  // The callsign-to-object-id lookup is served from now on.
  platform::mainWindowControls().setEnabled(par_CALLSIGN_2_OBJECTID.controlId(), true);
  display_.phase.store(SessionDisplay::Phase::running);
  const platform::ScopedTimerPeriod timerPeriod;
  parking_->onMainLoopStart();
  if (readers_) {
    updateConnectionIndicators(readers_->traffic, readers_->weather);
  }
  const auto step = options_.stepsFollowClock
                        ? std::chrono::duration_cast<std::chrono::steady_clock::duration>(kStep / clock_.speedUp())
                        : std::chrono::steady_clock::duration(kStep);
  auto nextStep = std::chrono::steady_clock::now() + step;
  while (mainLoopStep()) {
    std::this_thread::sleep_until(nextStep);
    if (link_.user().secondTick.load()) {
      // The pace follows the simulator's once-a-second reply.
      nextStep = std::chrono::steady_clock::now();
    }
    nextStep += step;
  }
}

bool Session::mainLoopStep() {
  if (!link_.simRunning.load() || queues_.simLinkPaused.load()) {
    flightNotRunning();
    return !stopping();
  }
  engine_.step();
  bool expected = true;
  if (!link_.user().secondTick.compare_exchange_strong(expected, false)) {
    return !stopping();
  }
  everySecond();
  if (stopping()) {
    return false;
  }
  const int c = secondCounter_;
  // The window's request runs as a parking adjustment over the next two
  // 15-second ticks; the second one empties the error line.
  if (trafficRereadRequest.exchange(false)) {
    parking_->requestAdjustment(parkTrafficOnlyChange.exchange(false) && par_RT_PARKTRAFFIC_ONLY.value());
  }
  // A parking option changed in the window: the static parking is
  // calculated anew while a park airport is loaded.
  if (recalcRequest.exchange(false) && parkAirportActive()) {
    parking_->requestAdjustment(false);
  }
  // In a 15-second round the Re-read is served before the parking work of
  // the round: an adjustment that starts now would hold it up to its end.
  const bool round = c % 15 == 0;
  if (round) {
    if (readers_) {
      updateConnectionIndicators(readers_->traffic, readers_->weather);
      readers_->traffic.computeTrafficBox();
    }
    handleRereadRequest();
  }
  parking_->onSecond(c);
  if (round) {
    periodicTasks();
    return true;
  }
  if (c % 61 == 0 && !engine_.staticAircraft().empty()) {
    removeStaticTwinOfLive();
  }
  if (c % 62 == 0 && par_CALLSIGN_OBJECTIDS.value() && isMsfs2020()) {
    engine_.logParkedList();
  }
  return true;
}

void Session::flightNotRunning() {
  if (!flightPaused_) {
    engine_.setSessionActive(false);
    flightPaused_ = true;
    display_.phase.store(SessionDisplay::Phase::paused);
    pauseCounter_ = kPauseSteps;
    queues_.discardPositions();
    gf_logLine(fmt::format("{} Flight not running", clockText()));
  }
  engine_.processSimEventsWhilePaused();
  --pauseCounter_;
  if (pauseCounter_ <= 0) {
    pauseCounter_ = kPauseSteps;
    handleRereadRequest();
    if (readers_) {
      readers_->traffic.computeTrafficBox();
    }
    publishCounts();
    runPostedWork();
  }
}

void Session::handleRereadRequest() {
  if (!rereadRequested.load() || parking_->busy()) {
    return;  // while the parking calculation runs, the request waits
  }
  std::string message;
  if (parking_->checkReservedStand(true, message)) {
    setStatusLine(message, true);
  }
  rereadServed();
  rereadRequested.store(false);
}

void Session::periodicTasks() {
  const int c = secondCounter_;
  if (c % 30 != 0) {
    return;
  }
  countDownToRenewal(c);
  if (par_AUTO_RANGE.value()) {
    updateAutoRange();
  }
  if (c % 1200 == 0) {
    engine_.reports().logNoMatchList();
  }
  if (c % 86400 == 0) {
    onceADay();
    secondCounter_ = 0;
  }
}

void Session::onceADay() {
  writeLiveryMatchSummary(engine_.reports().liveriesNotCreated());
  // A livery kept for an aircraft's key is chosen afresh the next time.
  rules_->forgetRememberedLiveries();
}

void Session::removeStaticTwinOfLive() {
  for (const LiveAc& live : engine_.liveAircraft()) {
    if (!live.onGround || live.state != SimState::active) {
      continue;
    }
    const std::string starred = live.base.identity.callsign + "*";
    const std::string& registration = live.base.identity.registration;
    for (StaticAc& parked : engine_.staticAircraft()) {
      if (parked.state != SimState::active) {
        continue;
      }
      const bool sameCallsign = parked.base.identity.callsign == starred;
      if (sameCallsign || (!registration.empty() && parked.base.identity.registration == registration)) {
        engine_.removeAircraftFromSim(
            parked, fmt::format("the live {} on the ground has its {}", live.base.identity.callsign,
                                sameCallsign ? "callsign" : fmt::format("registration {}", registration)));
        return;
      }
    }
  }
}

}  // namespace crv
