#include "app/exit_reason.h"

#include <array>

#include "foundation/session_flags.h"

namespace crv {

namespace {

struct ReasonRow {
  ExitReason reason;
  std::string_view text;
};

constexpr std::array<ReasonRow, 8> kReasonTexts{{
    {ExitReason::notYetSet, "NOT YET SET"},
    {ExitReason::simWasClosed, "SIM WAS CLOSED"},
    {ExitReason::newFlight, "NEW FLIGHT"},
    {ExitReason::newSettings, "NEW SETTINGS"},
    {ExitReason::userClosedSim, "USER CLOSED SIM"},
    {ExitReason::simconnectError, "SIMCONNECT ERROR"},
    {ExitReason::readerError, "READER ERROR"},
    {ExitReason::systemError, "SYSTEM ERROR"},
}};

}  // namespace

std::string_view exitReasonText(ExitReason reason) {
  for (const ReasonRow& row : kReasonTexts) {
    if (row.reason == reason) {
      return row.text;
    }
  }
  return "UNKNOWN";
}

bool restartsAfter(ExitReason reason) {
  return reason == ExitReason::newSettings || reason == ExitReason::simconnectError ||
         reason == ExitReason::readerError;
}

bool SessionEnd::endSession(ExitReason reason, int restartDelaySeconds) {
  if (!raiseStop()) {
    return false;
  }
  reason_.store(static_cast<std::uint32_t>(reason));
  if (restartsAfter(reason)) {
    restartDelaySeconds_.store(restartDelaySeconds);
  }
  return true;
}

void SessionEnd::recordReasonOfRaisedStop(ExitReason reason) {
  reason_.store(static_cast<std::uint32_t>(reason));
}

void SessionEnd::setReasonIfUnset(ExitReason reason) {
  auto expected = static_cast<std::uint32_t>(ExitReason::notYetSet);
  reason_.compare_exchange_strong(expected, static_cast<std::uint32_t>(reason));
}

void SessionEnd::userClosed() {
  closeClicks_.fetch_add(1);
  setUserClosedWindow(true);
  raiseStop();
  setReasonIfUnset(ExitReason::userClosedSim);
}

void SessionEnd::forceSystemError() { reason_.store(static_cast<std::uint32_t>(ExitReason::systemError)); }

void SessionEnd::reset() {
  setUserClosedWindow(false);
  clearStopRequest();
  reason_.store(static_cast<std::uint32_t>(ExitReason::notYetSet));
}

SessionEnd& sessionEnd() {
  static SessionEnd end;
  return end;
}

}  // namespace crv
