#include "simlink/sim_link.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <initializer_list>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "foundation/errors.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "simlink/session_end.h"
#include "simlink/sim_ids.h"

namespace crv {

namespace {

static_assert(sizeof(UserAcData) == 96, "the reply of definition 403 is twelve 8-byte fields");

constexpr std::size_t kString32Size = 32;
// The data block of a SIMOBJECT_DATA message starts at its dwData field.
constexpr std::size_t kObjectDataHeaderSize = sizeof(SIMCONNECT_RECV_SIMOBJECT_DATA) - sizeof(DWORD);

// A message as its structure, copied out; none when it is too short.
template <typename Message>
std::optional<Message> readMessage(const SIMCONNECT_RECV* message, DWORD size) {
  if (size < sizeof(Message)) {
    return std::nullopt;
  }
  Message copy;
  std::memcpy(&copy, message, sizeof(Message));
  return copy;
}

// The bytes of a SIMOBJECT_DATA message after its header.
std::string_view dataBlock(const SIMCONNECT_RECV* message, DWORD size) {
  if (size <= kObjectDataHeaderSize) {
    return {};
  }
  return {reinterpret_cast<const char*>(message) + kObjectDataHeaderSize, size - kObjectDataHeaderSize};
}

template <typename Value>
std::optional<Value> valueAt(std::string_view block, std::size_t offset) {
  if (block.size() < offset + sizeof(Value)) {
    return std::nullopt;
  }
  Value value;
  std::memcpy(&value, block.data() + offset, sizeof(Value));
  return value;
}

// The zero-terminated text at an offset, never beyond the block or the limit.
std::string_view textAt(std::string_view block, std::size_t offset, std::size_t limit) {
  if (offset >= block.size()) {
    return {};
  }
  const std::string_view rest = block.substr(offset, limit);
  return rest.substr(0, std::min(rest.find('\0'), rest.size()));
}

// A garbled reply can carry NaN or infinity in any number: such a reply is
// dropped before any of its numbers reaches the engine or the feed.
bool allFinite(std::initializer_list<double> values) {
  return std::all_of(values.begin(), values.end(), [](double value) { return std::isfinite(value); });
}

bool isPlausibleUserPosition(const UserAcData& data) {
  return allFinite({data.latitude, data.longitude, data.pitchRadians, data.bankRadians, data.headingRadians,
                    data.altitudeFeet, data.altitudeAboveGroundFeet, data.groundSpeedKnots}) &&
         std::fabs(data.latitude) <= 90.0 && std::fabs(data.longitude) <= 180.0;
}

// The simulator's name with only its ASCII letters, digits and white space.
std::string filteredName(std::string_view name) {
  std::string filtered;
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80 && (std::isalnum(u) != 0 || std::isspace(u) != 0)) {
      filtered += c;
    }
  }
  return filtered;
}

}  // namespace

std::string wrongSimMessage() {
  return fmt::format(
      "MSFS 20{} is running ..., switch Simulator, or select the right sim in the drop down list above",
      isMsfs2020() ? "24" : "20");
}

SimLink::SimLink(SimQueues& queues, SimLinkHooks hooks)
    : queues_(queues),
      hooks_(std::move(hooks)),
      connection_(queues.simConnectMutex()),
      user_(queues, connection_, display_, hooks_),
      binding_(queues, connection_, user_, hooks_),
      flush_(queues, connection_, user_, binding_) {
  queues_.attachRequests(&connection_);
}

SimLink::~SimLink() { queues_.attachRequests(nullptr); }

void SimLink::reserveSession() {
  queues_.reserveSimQueues();
  binding_.reserve();
  flush_.reserve();
}

void SimLink::resetSession() {
  binding_.reset();
  user_.reset();
  display_.reset();
  simRunning.store(false);
  simConnectedFlag.store(false);
  quitReceived_.store(false);
  connection_.close();
  queues_.reset();
  queues_.simLinkPaused.store(false);
}

void SimLink::repaint() const {
  if (hooks_.repaintSimArea) {
    hooks_.repaintSimArea();
  }
}

void SimLink::simDispatchProc(SIMCONNECT_RECV* message, DWORD size, void* context) {
  if (message == nullptr || context == nullptr) {
    return;
  }
  static_cast<SimLink*>(context)->dispatch(message, size);
}

void SimLink::dispatch(const SIMCONNECT_RECV* message, DWORD size) {
  if (message == nullptr || size < sizeof(SIMCONNECT_RECV)) {
    return;
  }
  size = std::min(size, message->dwSize);
  switch (message->dwID) {
    case SIMCONNECT_RECV_ID_EXCEPTION:
      if (const auto exception = readMessage<SIMCONNECT_RECV_EXCEPTION>(message, size)) {
        binding_.onSimException(*exception);
      }
      break;
    case SIMCONNECT_RECV_ID_OPEN:
      if (const auto open = readMessage<SIMCONNECT_RECV_OPEN>(message, size)) {
        onSimOpen(*open);
      }
      break;
    case SIMCONNECT_RECV_ID_QUIT:
      simRunning.store(false);
      quitReceived_.store(true);
      break;
    case SIMCONNECT_RECV_ID_EVENT:
      if (const auto event = readMessage<SIMCONNECT_RECV_EVENT>(message, size)) {
        onEvent(*event);
      }
      break;
    case SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE:
      if (const auto event = readMessage<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE>(message, size)) {
        onObjectAddRemove(*event);
      }
      break;
    case SIMCONNECT_RECV_ID_EVENT_FILENAME:
      gf_logWarning("SimConnect: New file event");
      onNewFlight();
      break;
    case SIMCONNECT_RECV_ID_EVENT_FRAME:
      if (const auto frame = readMessage<SIMCONNECT_RECV_EVENT_FRAME>(message, size)) {
        onFrame(*frame);
      }
      break;
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA:
      onSimObjectData(message, size);
      break;
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE:
      onSimObjectDataByType(message, size);
      break;
    case SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID:
    case SIMCONNECT_RECV_ID_CLIENT_DATA:
    case SIMCONNECT_RECV_ID_EVENT_EX1:
      break;
    default:
      gf_logLine(fmt::format("! Unknown Dispatch dwID {}", message->dwID));
      break;
  }
}

void SimLink::onSimOpen(const SIMCONNECT_RECV_OPEN& open) {
  const std::string_view name = textAt({open.szApplicationName, sizeof(open.szApplicationName)}, 0,
                                       sizeof(open.szApplicationName));
  if (name.empty()) {
    gf_logLine("! Simulator name empty?");
    return;
  }
  display_.simConnected.store(true);
  repaint();
  const std::string filtered = filteredName(name);
  std::string shown;
  if (filtered == "KittyHawk") {
    if (!isMsfs2020()) {
      throw UserErrorException(kWrongSimulatorError, wrongSimMessage());
    }
    shown = fmt::format("MSFS 2020 ({}.{}.{}.{})", open.dwApplicationVersionMajor, open.dwApplicationVersionMinor,
                        open.dwApplicationBuildMajor, open.dwApplicationBuildMinor);
  } else if (filtered == "SunRise") {
    if (isMsfs2020()) {
      throw UserErrorException(kWrongSimulatorError, wrongSimMessage());
    }
    shown = "MSFS 2024";
  } else {
    throw UserErrorException(kUnknownSimulatorError, fmt::format("'{}' not being MSFS 2020 or MSFS 2024 connects ... ?", filtered));
  }
  gf_logLine(fmt::format("{} connected", shown));
  display_.setSimulatorText(shown);
  repaint();
  clearStatusLine();
}

void SimLink::onEvent(const SIMCONNECT_RECV_EVENT& event) {
  if (event.uEventID == toId(SystemEventId::Sim)) {
    const bool running = event.dwData == 1;
    simRunning.store(running);
    display_.flightRunning.store(running);
    repaint();
  } else if (event.uEventID == toId(SystemEventId::FlightLoaded)) {
    gf_logLine("SimConnect: flight loaded event");
    onNewFlight();
  }
}

void SimLink::onNewFlight() {
  user_.rememberUserStand();
  endSessionWithNewFlight(hooks_);
}

void SimLink::onObjectAddRemove(const SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE& event) {
  if (event.eObjType != SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT) {
    return;
  }
  if (event.uEventID == toId(SystemEventId::ObjectAdded)) {
    binding_.onObjectAdded(event.dwData);
  } else if (event.uEventID == toId(SystemEventId::ObjectRemoved)) {
    binding_.onObjectRemoved(event.dwData);
  }
}

void SimLink::onFrame(const SIMCONNECT_RECV_EVENT_FRAME& frame) {
  flush_.onSimFrame();
  if (++frameCounter_ >= kFramesPerRateSample) {
    frameCounter_ = 0;
    if (std::isfinite(frame.fFrameRate)) {
      queues_.simFrameRate.store(frame.fFrameRate);
    }
  }
}

void SimLink::onSimObjectData(const SIMCONNECT_RECV* message, DWORD size) {
  const auto header = readMessage<SIMCONNECT_RECV_SIMOBJECT_DATA>(message, size);
  if (!header) {
    return;
  }
  const std::string_view block = dataBlock(message, size);
  switch (header->dwRequestID) {
    case toId(SimRequestId::StaticCg): {
      const auto cg = valueAt<double>(block, 0);
      const auto pitch = valueAt<double>(block, sizeof(double));
      if (cg && pitch && allFinite({*cg, *pitch})) {
        binding_.onStaticCg(header->dwObjectID, *cg, *pitch);
      }
      break;
    }
    case toId(SimRequestId::UserTitle):
      user_.onUserAcTitle(textAt(block, 0, block.size()));
      break;
    case toId(SimRequestId::UserModel):
      user_.onUserAcModel(textAt(block, 0, kString32Size));
      break;
    case toId(SimRequestId::UserOnGround):
      if (const auto onGround = valueAt<std::int64_t>(block, 0)) {
        user_.onUserOnGround(*onGround);
      }
      break;
    case toId(SimRequestId::UserPosition):
      if (const auto data = valueAt<UserAcData>(block, 0); data && isPlausibleUserPosition(*data)) {
        user_.onUserPosition(*data, header->dwObjectID);
      }
      break;
    default:
      break;
  }
}

void SimLink::onSimObjectDataByType(const SIMCONNECT_RECV* message, DWORD size) {
  const auto header = readMessage<SIMCONNECT_RECV_SIMOBJECT_DATA>(message, size);
  if (!header || header->dwRequestID != toId(SimRequestId::AircraftInRange)) {
    return;
  }
  const std::string_view block = dataBlock(message, size);
  const auto aboveGround = valueAt<double>(block, 0);
  const auto groundAltitude = valueAt<double>(block, 8);
  const auto onGround = valueAt<std::int64_t>(block, 16);
  if (!aboveGround || !groundAltitude || !onGround || !allFinite({*aboveGround, *groundAltitude})) {
    return;
  }
  AircraftInRange aircraft;
  aircraft.altitudeAboveGroundFeet = *aboveGround;
  aircraft.groundAltitudeFeet = *groundAltitude;
  aircraft.simOnGround = *onGround;
  aircraft.atcId = std::string(textAt(block, 24, kString32Size));
  binding_.onAircraftInRange(header->dwObjectID, aircraft);
}

}  // namespace crv
