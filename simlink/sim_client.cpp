#include "simlink/sim_client.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include <fmt/format.h>

#include "foundation/errors.h"
#include "foundation/log.h"
#include "foundation/session_flags.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "platform/os/thread_name.h"
#include "platform/os/timer_period.h"
#include "simlink/session_end.h"
#include "simlink/sim_definitions.h"

namespace crv {

namespace {

constexpr auto kOpenRetryInterval = std::chrono::milliseconds(100);
constexpr auto kDispatchInterval = std::chrono::milliseconds(1);

// Sleeps for the interval, waking at once when the token is stopped.
void waitUnlessStopped(const std::stop_token& stop, std::chrono::milliseconds interval) {
  std::mutex mutex;  // the wait's own; guards nothing else
  std::condition_variable_any wake;
  std::unique_lock lock(mutex);
  wake.wait_for(lock, stop, interval, [] { return false; });
}

bool sessionGoesOn(const std::stop_token& stop) { return !isStopping() && !stop.stop_requested(); }

}  // namespace

SimClient::~SimClient() {
  requestStop();
  join();
}

void SimClient::start() {
  requestStop();
  join();
  finished_.store(false);
  thread_ = std::jthread([this](const std::stop_token& stop) { run(stop); });
}

void SimClient::requestStop() {
  if (thread_.joinable()) {
    thread_.request_stop();
  }
}

void SimClient::join() {
  if (thread_.joinable()) {
    thread_.join();
  }
}

void SimClient::run(const std::stop_token& stop) {
  platform::setCurrentThreadName(kSimClientThreadName);
  bool firstPass = true;
  try {
    while (sessionGoesOn(stop)) {
      if (firstPass) {
        firstPass = false;
        const std::string waiting = fmt::format("Waiting for MSFS 20{} ...", isMsfs2020() ? "20" : "24");
        setStatusLine(waiting);
        gf_logLine(waiting);
        gf_logLine("\n");
        if (link_.hooks().repaintSimArea) {
          link_.hooks().repaintSimArea();
        }
      }
      if (!link_.connection().open()) {
        waitUnlessStopped(stop, kOpenRetryInterval);
        continue;
      }
      link_.simConnectedFlag.store(true);
      link_.clearQuitReceived();
      setupSimConnect(link_.connection().handle());
      if (dispatchUntilStopped(stop)) {
        link_.simRunning.store(false);
        reportSimDisconnected(link_.hooks());
        break;
      }
    }
  } catch (const UserErrorException& error) {
    setErrorLine(error.what());
  } catch (const std::exception& error) {
    setErrorLine(error.what());
    link_.simRunning.store(false);
    reportSimDisconnected(link_.hooks());
  } catch (...) {
    setErrorLine(fmt::format("Exception in {}", "SimClient"));
    link_.simRunning.store(false);
    reportSimDisconnected(link_.hooks());
  }
  endOfThread();
  finished_.store(true);
}

bool SimClient::dispatchUntilStopped(const std::stop_token& stop) {
  const platform::ScopedTimerPeriod timerPeriod;
  int failuresInRow = 0;
  while (!stop.stop_requested()) {
    const HRESULT result =
        SimConnect_CallDispatch(link_.connection().handle(), &SimLink::simDispatchProc, &link_);
    if (link_.quitReceived()) {
      return true;
    }
    failuresInRow = FAILED(result) ? failuresInRow + 1 : 0;
    if (failuresInRow >= kDispatchFailuresForDisconnect) {
      gf_logWarning("SimConnect dispatch keeps failing, connection lost");
      return true;
    }
    // A plain sleep: the loop looks at the token before the next dispatch
    // anyway, and a wait that a stop can end costs more than the pause is
    // long, a thousand times a second.
    std::this_thread::sleep_for(kDispatchInterval);
  }
  return false;
}

void SimClient::endOfThread() {
  // The flight-running flag stays as the ending left it: a user error leaves
  // it set, so that the worker's next request fails on the closed link and
  // ends the session, and the session reset lowers it before a restart.
  try {
    link_.user().rememberUserStand();
  } catch (const std::exception& error) {
    gf_logWarning(fmt::format("rememberUserStand: {}", error.what()));
  }
  link_.display().simConnected.store(false);
  if (link_.hooks().repaintSimArea) {
    link_.hooks().repaintSimArea();
  }
  if (link_.connection().isOpen()) {
    if (FAILED(link_.connection().close())) {
      gf_logWarning("Closing SimConnect failed?!");
    } else {
      gf_logLine("SimConnect closed ok");
    }
  }
}

}  // namespace crv
