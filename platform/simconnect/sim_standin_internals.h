#pragma once

// The parts of the simulator stand-in shared by its source files.

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/simconnect/sim_messages.h"
#include "platform/simconnect/sim_standin.h"
#include "platform/simconnect/sim_variables.h"

namespace platform {

inline constexpr std::chrono::nanoseconds kOneSecond = std::chrono::seconds{1};
inline constexpr double kRadiansPerDegree = 0.017453292519943295;

inline std::int64_t wholeSeconds(std::chrono::nanoseconds time) {
  return std::chrono::floor<std::chrono::seconds>(time).count();
}

struct SimulatorStandIn::PeriodicRequest {
  DWORD requestId = 0;
  DWORD defineId = 0;
  DWORD objectId = 0;
  SIMCONNECT_PERIOD period = SIMCONNECT_PERIOD_NEVER;
  std::chrono::nanoseconds dueAt{0};  // next reply of a SECOND request
};

struct SimulatorStandIn::Connection {
  enum class State { Open, Quit, Broken };

  std::uint64_t id = 0;
  State state = State::Open;
  std::vector<SimMessage> pending;
  DWORD lastPacketId = 0;
  std::vector<std::pair<std::string, DWORD>> subscriptions;  // system event name, client event id
  std::map<DWORD, std::vector<DataDatum>> definitions;
  std::map<DWORD, std::string> clientEvents;  // client event id -> simulator event name
  std::map<DWORD, std::vector<DWORD>> groups;
  std::map<DWORD, DWORD> groupPriorities;
  std::vector<PeriodicRequest> periodic;
};

}  // namespace platform
