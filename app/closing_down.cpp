// The end of a session: closing down, the restart countdown and the reset
// before a restart.

#include <fmt/format.h>

#include "aircraftdata/match_summary.h"
#include "app/session.h"
#include "app/session_readers.h"
#include "app/status_panel.h"
#include "feed/login.h"
#include "foundation/clock.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/session_flags.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "foundation/text.h"
#include "foundation/version.h"
#include "foundation/version_update.h"
#include "simlink/flight_plans.h"

namespace crv {

namespace {

using namespace std::chrono_literals;

constexpr auto kNewFlightNotice = 10s;

}  // namespace

void Session::lf_closingDown() {
  display_.phase.store(SessionDisplay::Phase::closingDown);
  SessionEnd& end = sessionEnd();
  try {
    gf_logLine(fmt::format("Exiting: {}", exitReasonText(end.reason())));
    engine_.setSessionActive(false);
    simClient_.requestStop();
    logoutCutShort_.store(false);
    stopReaders();
    // The SimClient thread's last act (the user's stand) reaches the worker
    // while the park airport is still set.
    simClient_.join();
    rememberReportedUserStand();
    // What the session learned and the settings are saved before the
    // logout: a service that does not answer, or a user who kills the
    // program while it closes, loses nothing.
    if (options_.clearParkAirportTraffic) {
      options_.clearParkAirportTraffic();
    }
    rules_->forgetRememberedLiveries();
    gf_removeFlightPlanFolder();
    setStringParameterAndSave(par_DESTINATION, "");
    setStringParameterAndSave(par_BLOCK_CALLSIGN, "");
    setTimeShiftActive(false);
    if (!par_KEEP_SIM_TIME_PAR.value()) {
      par_SIM_TIME.setValue(false);
      saveBoolParameter(par_SIM_TIME);
      resetTimeShiftParams();
    } else if (par_SIM_TIME.value()) {
      resetTimeShiftParams();
    }
    logOut();
    const bool errorWaitedForUser = end.reason() == ExitReason::systemError && options_.errorWaitsForUser;
    if (errorWaitedForUser) {
      // The error line stays readable until the user closes the window. A
      // packages path typed meanwhile turns the reason into a restart, which
      // follows that close.
      while (clock_.waitFor(500ms, [] { return userClosedWindow(); })) {
      }
      setStatusLine(fmt::format("User closed {}", kProgramName), true);
    }
    writeLiveryMatchSummary(engine_.reports().liveriesNotCreated());
    engine_.reports().logNoMatchList();

    const ExitReason reason = end.reason();
    // A close clicked while the session stopped ends the program: the user
    // asked to quit, and a restart would run on against that wish. The close
    // that answers an error shown until the user closes is no such click:
    // a packages path typed meanwhile restarts the program after it.
    const bool closedWhileStopping = userClosedWindow() && !errorWaitedForUser;
    if (closedWhileStopping && restartsAfter(reason)) {
      setStatusLine(fmt::format("User closed {}", kProgramName), true);
    }
    if (restartsAfter(reason) && !closedWhileStopping) {
      end.restartPending.store(true);
      display_.phase.store(SessionDisplay::Phase::restarting);
      clearErrorLine();
      clearStatusLine();
      setStatusLine("Prepare for a restart ...", true);
      if (reason != ExitReason::newSettings) {
        par_SCAN_LIVERIES.setValue(false);
        saveBoolParameter(par_SCAN_LIVERIES);
        par_SCAN_AIRPORTS.setValue(false);
        saveBoolParameter(par_SCAN_AIRPORTS);
      }
      const std::uint64_t clicksBefore = end.closeClicks();
      restartCountdown();
      if (end.closeClicks() != clicksBefore) {
        // A close clicked during the countdown ends the program.
        end.restartPending.store(false);
      } else {
        resetSessionState();
      }
    } else {
      end.restartPending.store(false);
      if (reason == ExitReason::newFlight) {
        setStatusLine(fmt::format("New flight detected, {} will close, please restart manually ...", kProgramName),
                      true);
        const std::uint64_t clicksBefore = end.closeClicks();
        clock_.waitFor(kNewFlightNotice, [&end, clicksBefore] { return end.closeClicks() != clicksBefore; });
      }
    }
  } catch (const std::exception& error) {
    // The window stays open with the text until the user closes it; the
    // stop flag is up, so the line goes to the log directly.
    const std::string text = fmt::format("{} exception {}", "lf_closingDown", error.what());
    const std::uint64_t clicksBefore = end.closeClicks();
    setStatusLine(text, false);
    gf_logLine(text);
    end.restartPending.store(false);
    waitForCloseAfterFailure(clicksBefore);
  }
  display_.phase.store(end.restartPending.load() ? SessionDisplay::Phase::restarting : SessionDisplay::Phase::ended);
  post(end.restartPending.load() ? kStartSessionMessage : kQuitProgramMessage);
}

void Session::waitForCloseAfterFailure(std::uint64_t clicksBefore) {
  // No worker is left to end the program after a failed closing down: the
  // user's next close does. Without a window nobody would close, and the
  // program ends at once.
  if (!options_.errorWaitsForUser) {
    return;
  }
  while (clock_.waitFor(500ms, [&clicksBefore] { return sessionEnd().closeClicks() != clicksBefore; })) {
  }
}

void Session::stopReaders() {
  if (!readers_) {
    return;
  }
  TrafficReader& traffic = readers_->traffic;
  WeatherReader& weather = readers_->weather;
  traffic.requestStop();
  weather.requestStop();
  for (std::thread* thread : {&readers_->trafficThread, &readers_->weatherThread}) {
    if (thread->joinable()) {
      thread->join();
    }
  }
}

void Session::cutLogoutShort() { logoutCutShort_.store(true); }

void Session::logOut() {
  if (!readers_) {
    return;
  }
  TrafficReader& traffic = readers_->traffic;
  if (!traffic.guid().empty()) {
    deauthenticate(traffic, &logoutCutShort_);
    par_LAST_EPOCH_TIME.setValue(par_LAST_EPOCH_TIME.clamped(systemTimeSeconds()));
    saveIntParameter(par_LAST_EPOCH_TIME);
  }
}

void Session::restartCountdown() {
  const int delay = sessionEnd().restartDelaySeconds();
  if (delay <= 0) {
    return;
  }
  gf_logLine(fmt::format("Restarting after {} seconds\n\n\n\n\n", delay));
  const std::uint64_t clicksBefore = sessionEnd().closeClicks();
  for (int k = delay; k >= 1; --k) {
    setStatusLine(fmt::format("Restarting after {} second{}", k, pluralSuffix(k)), false);
    if (!clock_.waitFor(1s, [clicksBefore] { return sessionEnd().closeClicks() != clicksBefore; })) {
      return;
    }
  }
}

void Session::resetTimeShiftParams() {
  for (IntControlParameter* setting : {&par_TIME_SHIFT_DAYS, &par_TIME_SHIFT_HOURS, &par_TIME_SHIFT_MINS}) {
    setting->setValue(setting->clamped(0));
    saveIntParameter(*setting);
  }
}

void Session::resetSessionState() {
  simClient_.requestStop();
  simClient_.join();
  if (readers_) {
    // The service's paces are not the session's: the next readers keep them.
    trafficReaderPace_ = readers_->traffic.servicePace();
    weatherReaderPace_ = readers_->weather.servicePace();
  }
  readers_.reset();
  link_.resetSession();
  engine_.resetTrafficState();
  clearErrorLine();
  clearStatusLine();
  feedDisplay_.loggedIn.store(false);
  feedDisplay_.qnhHpa.store(0);
  feedDisplay_.trafficIndicator.store(kIndicatorHidden);
  feedDisplay_.weatherIndicator.store(kIndicatorHidden);
  display_.runningSeconds.store(0);
  setStatusClockSeconds(0);
  // The panel shows no counts of the old session, and an adjustment it had
  // under way does not go on in the next one.
  parking_->resetForRestart();
  display_.liveKnown.store(0);
  display_.liveInSim.store(0);
  display_.staticInSim.store(0);
  display_.parkedLive.store(0);
  display_.parkedStatic.store(0);
  display_.averageLiveParkedHours.store(-1.0F);
  display_.rtNotStarted.store(true);
  sessionEnd().reset();
  flightPaused_ = false;
  trafficRereadRequest.store(false);
  secondCounter_ = 0;
  parkedTrafficAwaited_ = false;
  blockRequest.store(false);
  objectIdLookupRequest.store(false);
  rewatchCallsign_.clear();
  publishObjectIdResult(std::nullopt);
  rules_->reset();
  setRange(par_RANGE.clamped(par_RANGE.value()));
  repaint();
}

}  // namespace crv
