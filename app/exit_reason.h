#pragma once

// Why a session ends, and the stop protocol by which it is ended.
//
// Whoever decides that the session must end raises stopRequested by an
// atomic exchange and, only when it was the first, records the reason and,
// for a reason that restarts, the restart delay. The close box and the
// worker's own error handlers are the exceptions described below.

#include <atomic>
#include <cstdint>
#include <string_view>

namespace crv {

enum class ExitReason : std::uint32_t {
  notYetSet = 0,
  simWasClosed = 1,
  newFlight = 2,
  newSettings = 3,
  userClosedSim = 4,
  simconnectError = 5,
  readerError = 6,
  systemError = 7,
};

// "NOT YET SET", "SIM WAS CLOSED", ... as closing down logs them; "UNKNOWN"
// for a code outside the table.
std::string_view exitReasonText(ExitReason reason);

// NEW SETTINGS, SIMCONNECT ERROR and READER ERROR restart the program.
bool restartsAfter(ExitReason reason);

// Restart delays in seconds.
inline constexpr int kRestartAfterReaderError = 15;
inline constexpr int kRestartAfterSimconnectError = 9;
inline constexpr int kRestartAfterNewPath = 3;
inline constexpr int kRestartAfterOptionChange = 2;

// The session's end state: reason, delay, restart and the close clicks.
// Every member is safe from any thread.
class SessionEnd {
 public:
  // The stop protocol: true when this call raised the stop flag and so
  // recorded the reason (and the delay, for a reason that restarts).
  bool endSession(ExitReason reason, int restartDelaySeconds = 0);
  // For a raiser that won the stop flag's exchange itself (the simulator
  // link): records its reason.
  void recordReasonOfRaisedStop(ExitReason reason);
  void setReasonIfUnset(ExitReason reason);
  // The close box: raises the user-closed and stop flags and sets USER
  // CLOSED SIM only while no reason is set yet.
  void userClosed();
  // The worker's handlers of user errors and unknown exceptions: SYSTEM
  // ERROR without looking at the stop flag.
  void forceSystemError();

  ExitReason reason() const { return static_cast<ExitReason>(reason_.load()); }
  int restartDelaySeconds() const { return restartDelaySeconds_.load(); }
  // How often the close box was clicked in this process.
  std::uint64_t closeClicks() const { return closeClicks_.load(); }

  // This closing down restarts; the next preparation skips the version check.
  std::atomic<bool> restartPending{false};

  // Session reset before a restart: flags down, no reason.
  void reset();

 private:
  std::atomic<std::uint32_t> reason_{0};
  std::atomic<int> restartDelaySeconds_{0};
  std::atomic<std::uint64_t> closeClicks_{0};
};

SessionEnd& sessionEnd();

}  // namespace crv
