// The SimConnect calls of the stand-in other than open, close and dispatch:
// registrations, data, client events and AI objects.

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string_view>

#include "platform/os/ansi_code_page.h"
#include "platform/simconnect/sim_ground.h"
#include "platform/simconnect/sim_standin.h"
#include "platform/simconnect/sim_standin_internals.h"

namespace platform {

namespace {

// MSFS 2020 reads a plan's path as a text in the system's ANSI code page and
// loads the plan as it takes it; a path it cannot open gives no plan.
bool flightPlanLoads(const char* pathText) {
  std::ifstream file(pathOfAnsiText(pathText), std::ios::binary);
  const std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return content.find("<FlightPlan.FlightPlan>") != std::string::npos;
}

constexpr DWORD kMaxProbeRadiusMeters = 200000;
// The program's sphere: one minute of arc is one nautical mile.
constexpr double kEarthRadiusMeters = 3437.746770784939 * 1852.0;

// The system events and simulator events that the stand-in knows; any other
// name is refused with an exception, as the simulator does.
constexpr std::array<std::string_view, 5> kSystemEvents = {"Sim", "ObjectAdded", "ObjectRemoved", "FlightLoaded",
                                                           "Frame"};

constexpr std::array<std::string_view, 17> kSimEvents = {"GEAR_SET",
                                                         "ENGINE_AUTO_START",
                                                         "ENGINE_AUTO_SHUTDOWN",
                                                         "THROTTLE_SET",
                                                         "FLAPS_SET",
                                                         "SPOILERS_SET",
                                                         "NAV_LIGHTS_SET",
                                                         "BEACON_LIGHTS_SET",
                                                         "LANDING_LIGHTS_SET",
                                                         "TAXI_LIGHTS_SET",
                                                         "STROBES_SET",
                                                         "LOGO_LIGHTS_SET",
                                                         "CABIN_LIGHTS_SET",
                                                         "ALL_LIGHTS_TOGGLE",
                                                         "FREEZE_LATITUDE_LONGITUDE_SET",
                                                         "FREEZE_ALTITUDE_SET",
                                                         "FREEZE_ATTITUDE_SET"};

struct LightBit {
  std::string_view eventName;
  std::int64_t bit;
};
constexpr std::array<LightBit, 7> kLightBits = {{{"NAV_LIGHTS_SET", 0x1},
                                                 {"BEACON_LIGHTS_SET", 0x2},
                                                 {"LANDING_LIGHTS_SET", 0x4},
                                                 {"TAXI_LIGHTS_SET", 0x8},
                                                 {"STROBES_SET", 0x10},
                                                 {"LOGO_LIGHTS_SET", 0x100},
                                                 {"CABIN_LIGHTS_SET", 0x200}}};
constexpr std::int64_t kAllLightBits = 0x31F;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

template <std::size_t N>
std::optional<std::string> canonicalName(const std::array<std::string_view, N>& names, const char* name) {
  if (name == nullptr) return std::nullopt;
  for (std::string_view known : names) {
    if (equalsIgnoringCase(known, name)) return std::string(known);
  }
  return std::nullopt;
}

double distanceMeters(const SimObjectState& a, const SimObjectState& b) {
  const double lat1 = a.latitudeDegrees * kRadiansPerDegree;
  const double lat2 = b.latitudeDegrees * kRadiansPerDegree;
  const double dLat = lat2 - lat1;
  const double dLon = (b.longitudeDegrees - a.longitudeDegrees) * kRadiansPerDegree;
  const double h = std::sin(dLat / 2) * std::sin(dLat / 2) +
                   std::cos(lat1) * std::cos(lat2) * std::sin(dLon / 2) * std::sin(dLon / 2);
  return 2.0 * kEarthRadiusMeters * std::asin(std::min(1.0, std::sqrt(h)));
}

}  // namespace

void SimulatorStandIn::applyClientEvent(SimObjectRecord& object, const std::string& eventName, DWORD eventId,
                                        DWORD data) {
  object.clientEvents.push_back(RecordedClientEvent{eventName, eventId, data});
  object.lastEventData[eventName] = data;
  if (eventName == "FREEZE_LATITUDE_LONGITUDE_SET") object.frozenLatitudeLongitude = data != 0;
  if (eventName == "FREEZE_ALTITUDE_SET") object.frozenAltitude = data != 0;
  if (eventName == "FREEZE_ATTITUDE_SET") object.frozenAttitude = data != 0;
  if (eventName == "ENGINE_AUTO_START") object.enginesRunning = true;
  if (eventName == "ENGINE_AUTO_SHUTDOWN") object.enginesRunning = false;
  for (const LightBit& light : kLightBits) {
    if (light.eventName != eventName) continue;
    if (data != 0) {
      object.state.lightStates |= light.bit;
    } else {
      object.state.lightStates &= ~light.bit;
    }
  }
  if (eventName == "ALL_LIGHTS_TOGGLE") {
    if ((object.state.lightStates & kAllLightBits) != 0) {
      object.state.lightStates &= ~kAllLightBits;
    } else {
      object.state.lightStates |= kAllLightBits;
    }
  }
}

// ---------------------------------------------------------------------------
// The course of a call

namespace {
constexpr std::nullopt_t kCarriedOut = std::nullopt;
}  // namespace

template <typename Answer>
HRESULT SimulatorStandIn::sendCall(SimCall call, std::initializer_list<const void*> requiredPointers, Answer answer) {
  Connection* connection = usableConnection(call);
  if (connection == nullptr) return finish(std::move(call));
  if (std::find(requiredPointers.begin(), requiredPointers.end(), nullptr) != requiredPointers.end()) {
    call.result = E_FAIL;
    return finish(std::move(call));
  }
  const DWORD packet = send(*connection, call);
  if (const CallOutcome refusal = answer(*connection)) refuse(*connection, packet, refusal->exception, refusal->index);
  return finish(std::move(call));
}

template <typename Action>
HRESULT SimulatorStandIn::sendAiObjectCall(SimCall call, std::initializer_list<const void*> requiredPointers,
                                           DWORD objectId, Action action) {
  return sendCall(std::move(call), requiredPointers, [&](Connection&) -> CallOutcome {
    SimObjectRecord* object = liveObject(objectId);
    if (object == nullptr) return Refusal{SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 1};
    if (object->objectId == kStandInUserObjectId) {
      return Refusal{SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE, 1};
    }
    return action(*object);
  });
}

// ---------------------------------------------------------------------------
// Registration

HRESULT SimulatorStandIn::subscribeToSystemEvent(std::uint64_t connectionId, DWORD eventId, const char* eventName) {
  std::lock_guard lock(mutex_);
  SimCall call = startCall(SimFunction::SubscribeToSystemEvent, connectionId);
  SimCallArguments(call, options_.recordCalls).number(eventId).text(eventName);
  return sendCall(std::move(call), {}, [&](Connection& connection) -> CallOutcome {
    const std::optional<std::string> name = canonicalName(kSystemEvents, eventName);
    if (!name) return Refusal{SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, 2};
    connection.subscriptions.emplace_back(*name, eventId);
    if (*name == "Sim") {
      connection.pending.push_back(makeEventMessage(SIMCONNECT_UNUSED, eventId, world_.flightRunning ? 1 : 0));
    }
    return kCarriedOut;
  });
}

HRESULT SimulatorStandIn::addToDataDefinition(std::uint64_t connectionId, DWORD defineId, const char* datumName,
                                              const char* unit, SIMCONNECT_DATATYPE type, float epsilon,
                                              DWORD datumId) {
  std::lock_guard lock(mutex_);
  SimCall call = startCall(SimFunction::AddToDataDefinition, connectionId);
  SimCallArguments(call, options_.recordCalls)
      .number(defineId)
      .text(datumName)
      .text(unit)
      .number(type)
      .number(epsilon)
      .number(datumId);
  return sendCall(std::move(call), {}, [&](Connection& connection) -> CallOutcome {
    if (datumName == nullptr) return Refusal{SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, 2};
    DatumBinding binding = bindDatum(datumName, unit, type);
    if (!binding.datum) return Refusal{binding.refusal, binding.refusedArgument};
    connection.definitions[defineId].push_back(std::move(*binding.datum));
    return kCarriedOut;
  });
}

HRESULT SimulatorStandIn::mapClientEventToSimEvent(std::uint64_t connectionId, DWORD eventId, const char* eventName) {
  std::lock_guard lock(mutex_);
  SimCall call = startCall(SimFunction::MapClientEventToSimEvent, connectionId);
  SimCallArguments(call, options_.recordCalls).number(eventId).text(eventName);
  return sendCall(std::move(call), {}, [&](Connection& connection) -> CallOutcome {
    if (eventName == nullptr || *eventName == '\0') {
      connection.clientEvents[eventId] = "";  // a private event of the client
      return kCarriedOut;
    }
    const std::optional<std::string> name = canonicalName(kSimEvents, eventName);
    if (!name) return Refusal{SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, 2};
    connection.clientEvents[eventId] = *name;
    return kCarriedOut;
  });
}

HRESULT SimulatorStandIn::addClientEventToNotificationGroup(std::uint64_t connectionId, DWORD groupId, DWORD eventId,
                                                            BOOL maskable) {
  std::lock_guard lock(mutex_);
  SimCall call = startCall(SimFunction::AddClientEventToNotificationGroup, connectionId);
  SimCallArguments(call, options_.recordCalls).number(groupId).number(eventId).number(maskable);
  return sendCall(std::move(call), {}, [&](Connection& connection) -> CallOutcome {
    if (connection.clientEvents.count(eventId) == 0) return Refusal{SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 2};
    connection.groups[groupId].push_back(eventId);
    return kCarriedOut;
  });
}

HRESULT SimulatorStandIn::setNotificationGroupPriority(std::uint64_t connectionId, DWORD groupId, DWORD priority) {
  std::lock_guard lock(mutex_);
  SimCall call = startCall(SimFunction::SetNotificationGroupPriority, connectionId);
  SimCallArguments(call, options_.recordCalls).number(groupId).number(priority);
  return sendCall(std::move(call), {}, [&](Connection& connection) -> CallOutcome {
    if (connection.groups.count(groupId) == 0) return Refusal{SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 1};
    connection.groupPriorities[groupId] = priority;
    return kCarriedOut;
  });
}

// ---------------------------------------------------------------------------
// Data

HRESULT SimulatorStandIn::requestDataOnSimObject(std::uint64_t connectionId, DWORD requestId, DWORD defineId,
                                                 DWORD objectId, SIMCONNECT_PERIOD period, DWORD flags, DWORD origin,
                                                 DWORD interval, DWORD limit) {
  std::lock_guard lock(mutex_);
  SimCall call = startCall(SimFunction::RequestDataOnSimObject, connectionId);
  SimCallArguments(call, options_.recordCalls)
      .number(requestId)
      .number(defineId)
      .number(objectId)
      .number(period)
      .number(flags)
      .number(origin)
      .number(interval)
      .number(limit);
  return sendCall(std::move(call), {}, [&](Connection& connection) -> CallOutcome {
    if (connection.definitions.count(defineId) == 0) return Refusal{SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 2};
    SimObjectRecord* object = liveObject(objectId);
    if (object == nullptr) return Refusal{SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 3};
    std::erase_if(connection.periodic, [&](const PeriodicRequest& request) { return request.requestId == requestId; });
    switch (period) {
      case SIMCONNECT_PERIOD_NEVER:
        return kCarriedOut;
      case SIMCONNECT_PERIOD_ONCE:
        queueObjectData(connection, SIMCONNECT_RECV_ID_SIMOBJECT_DATA, requestId, defineId, *object, 1, 1);
        return kCarriedOut;
      case SIMCONNECT_PERIOD_VISUAL_FRAME:
      case SIMCONNECT_PERIOD_SIM_FRAME:
      case SIMCONNECT_PERIOD_SECOND:
        connection.periodic.push_back(
            PeriodicRequest{requestId, defineId, object->objectId, period, now() + kOneSecond});
        return kCarriedOut;
      default:
        return Refusal{SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 4};
    }
  });
}

HRESULT SimulatorStandIn::requestDataOnSimObjectType(std::uint64_t connectionId, DWORD requestId, DWORD defineId,
                                                     DWORD radiusMeters, SIMCONNECT_SIMOBJECT_TYPE type) {
  std::lock_guard lock(mutex_);
  SimCall call = startCall(SimFunction::RequestDataOnSimObjectType, connectionId);
  SimCallArguments(call, options_.recordCalls).number(requestId).number(defineId).number(radiusMeters).number(type);
  return sendCall(std::move(call), {}, [&](Connection& connection) -> CallOutcome {
    if (connection.definitions.count(defineId) == 0) return Refusal{SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 2};
    if (radiusMeters > kMaxProbeRadiusMeters) return Refusal{SIMCONNECT_EXCEPTION_OUT_OF_BOUNDS, 3};
    const SimObjectState& user = userObjectLocked().state;
    // The objects in the simulator, by id as the map keeps them, from the
    // array of live ones: the records of removed objects stay out of the way.
    std::vector<const SimObjectRecord*> found;
    found.reserve(liveObjectCount_);
    for (const SimObjectRecord* object : liveObjects_) {
      if (object == nullptr) continue;
      const bool isUser = object->objectId == kStandInUserObjectId;
      const bool typeFits = type == SIMCONNECT_SIMOBJECT_TYPE_ALL ||
                            (type == SIMCONNECT_SIMOBJECT_TYPE_USER && isUser) ||
                            (type != SIMCONNECT_SIMOBJECT_TYPE_USER && object->type == type);
      if (!typeFits) continue;
      if (isUser || (radiusMeters > 0 && distanceMeters(user, object->state) <= radiusMeters)) found.push_back(object);
    }
    const auto outOf = static_cast<DWORD>(found.size());
    for (DWORD entry = 0; entry < outOf; ++entry) {
      queueObjectData(connection, SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE, requestId, defineId, *found[entry],
                      entry + 1, outOf);
    }
    return kCarriedOut;
  });
}

HRESULT SimulatorStandIn::setDataOnSimObject(std::uint64_t connectionId, DWORD defineId, DWORD objectId, DWORD flags,
                                             DWORD arrayCount, DWORD unitSize, const void* data) {
  std::lock_guard lock(mutex_);
  SimCall call = startCall(SimFunction::SetDataOnSimObject, connectionId);
  SimCallArguments(call, options_.recordCalls)
      .number(defineId)
      .number(objectId)
      .number(flags)
      .number(arrayCount)
      .number(unitSize)
      .data(data, data == nullptr ? 0 : unitSize);
  return sendCall(std::move(call), {data}, [&](Connection& connection) -> CallOutcome {
    const auto definition = connection.definitions.find(defineId);
    if (definition == connection.definitions.end()) return Refusal{SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 1};
    SimObjectRecord* object = liveObject(objectId);
    if (object == nullptr) return Refusal{SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 2};
    const std::size_t size = fixedDefinitionSize(definition->second);
    if (size == 0 || unitSize != size || arrayCount > 1) return Refusal{SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE, 5};
    const auto* bytes = static_cast<const std::byte*>(data);
    bool moved = false;
    for (const DataDatum& datum : definition->second) {
      applyDatum(object->state, datum, bytes);
      moved = moved || datum.movesObject;
      bytes += datum.size;
    }
    ++object->dataWriteCount;
    if (moved && objectId != kStandInUserObjectId) feelGroundLocked(object->state);
    if (moved && options_.recordTrace) {
      const SimObjectState& state = object->state;
      const double seconds = std::chrono::duration<double>(now()).count();
      const TracePosition position{seconds,
                                   state.latitudeDegrees,
                                   state.longitudeDegrees,
                                   state.altitudeFeet,
                                   state.pitchRadians,
                                   state.bankRadians,
                                   state.headingRadians,
                                   state.verticalSpeedFeetPerSecond,
                                   state.trueAirspeedKnots};
      if (trace_.record(objectId, position) && traceWriter_) traceWriter_->write(objectId, position);
    }
    if (moved && options_.recordCalls) {
      const SimObjectState& state = object->state;
      object->poses.push_back(RecordedPose{state.latitudeDegrees, state.longitudeDegrees, state.pitchRadians,
                                           state.bankRadians, state.headingRadians, state.altitudeFeet});
    }
    return kCarriedOut;
  });
}

HRESULT SimulatorStandIn::transmitClientEvent(std::uint64_t connectionId, DWORD objectId, DWORD eventId, DWORD data,
                                              DWORD groupId, DWORD flags) {
  std::lock_guard lock(mutex_);
  SimCall call = startCall(SimFunction::TransmitClientEvent, connectionId);
  SimCallArguments(call, options_.recordCalls)
      .number(objectId)
      .number(eventId)
      .number(data)
      .number(groupId)
      .number(flags);
  return sendCall(std::move(call), {}, [&](Connection& connection) -> CallOutcome {
    const auto mapped = connection.clientEvents.find(eventId);
    if (mapped == connection.clientEvents.end()) return Refusal{SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 2};
    SimObjectRecord* object = liveObject(objectId);
    if (object == nullptr) return Refusal{SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, 1};
    applyClientEvent(*object, mapped->second, eventId, data);
    return kCarriedOut;
  });
}

// ---------------------------------------------------------------------------
// AI objects

HRESULT SimulatorStandIn::aiCreateNonAtcAircraft(std::uint64_t connectionId, const char* title, const char* tailNumber,
                                                 const SIMCONNECT_DATA_INITPOSITION& position, DWORD requestId) {
  std::lock_guard lock(mutex_);
  SimCall call = startCall(SimFunction::AICreateNonATCAircraft, connectionId);
  SimCallArguments(call, options_.recordCalls).text(title).text(tailNumber).initPosition(position).number(requestId);
  return sendCall(std::move(call), {title, tailNumber}, [&](Connection& connection) -> CallOutcome {
    if (createFailuresLater_ > 0) {
      --createFailuresLater_;
      return Refusal{SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED, 0};
    }
    if (refusedTitles_.contains(title)) {
      ++refusedCreates_;
      return Refusal{SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED, 0};
    }
    if (!options_.recordCalls) {
      // Without a recording nobody reads the records of removed objects.
      std::erase_if(objects_, [](const auto& entry) { return entry.second.removed; });
    }
    // Every live object but the user aircraft counts.
    if (liveObjectCount_ - 1 >= world_.maxObjects) {
      return Refusal{SIMCONNECT_EXCEPTION_TOO_MANY_OBJECTS, 0};
    }
    SimObjectRecord object;
    object.objectId = nextObjectId_++;
    object.type = SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT;
    object.createdByClient = true;
    object.ownerConnection = connectionId;
    object.title = title;
    object.tailNumber = tailNumber;
    object.initPosition = position;
    SimObjectState& state = object.state;
    state = SimObjectState{};
    state.latitudeDegrees = position.Latitude;
    state.longitudeDegrees = position.Longitude;
    state.pitchRadians = position.Pitch * kRadiansPerDegree;
    state.bankRadians = position.Bank * kRadiansPerDegree;
    state.headingRadians = position.Heading * kRadiansPerDegree;
    state.altitudeFeet = position.Altitude;
    feelGroundLocked(state);
    if (position.OnGround != 0) {
      // The simulator puts an aircraft created on the ground onto its wheels.
      state.altitudeFeet = state.groundAltitudeFeet + state.staticCgToGroundFeet;
      feelGroundLocked(state);
    }
    state.trueAirspeedKnots = position.Airspeed;
    state.title = title;
    state.atcId = tailNumber;
    const DWORD objectId = addObjectLocked(std::move(object));
    connection.pending.push_back(makeAssignedObjectIdMessage(requestId, objectId));
    queueToSubscribers("ObjectAdded", [&](DWORD eventId) {
      return makeObjectAddRemoveMessage(eventId, objectId, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT);
    });
    return kCarriedOut;
  });
}

HRESULT SimulatorStandIn::aiRemoveObject(std::uint64_t connectionId, DWORD objectId, DWORD requestId) {
  std::lock_guard lock(mutex_);
  SimCall call = startCall(SimFunction::AIRemoveObject, connectionId);
  SimCallArguments(call, options_.recordCalls).number(objectId).number(requestId);
  return sendAiObjectCall(std::move(call), {}, objectId, [&](SimObjectRecord& object) -> CallOutcome {
    removeObjectLocked(object, true);
    return kCarriedOut;
  });
}

HRESULT SimulatorStandIn::aiReleaseControl(std::uint64_t connectionId, DWORD objectId, DWORD requestId) {
  std::lock_guard lock(mutex_);
  SimCall call = startCall(SimFunction::AIReleaseControl, connectionId);
  SimCallArguments(call, options_.recordCalls).number(objectId).number(requestId);
  return sendAiObjectCall(std::move(call), {}, objectId, [](SimObjectRecord& object) -> CallOutcome {
    ++object.releaseControlCount;
    return kCarriedOut;
  });
}

HRESULT SimulatorStandIn::aiSetAircraftFlightPlan(std::uint64_t connectionId, DWORD objectId, const char* path,
                                                  DWORD requestId) {
  std::lock_guard lock(mutex_);
  SimCall call = startCall(SimFunction::AISetAircraftFlightPlan, connectionId);
  SimCallArguments(call, options_.recordCalls).number(objectId).text(path).number(requestId);
  return sendAiObjectCall(std::move(call), {path}, objectId, [&](SimObjectRecord& object) -> CallOutcome {
    if (object.type != SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT) {
      return Refusal{SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE, 1};
    }
    if (flightPlanFailuresLater_ > 0) {
      --flightPlanFailuresLater_;
      return Refusal{SIMCONNECT_EXCEPTION_LOAD_FLIGHTPLAN_FAILED, 0};
    }
    if (!flightPlanLoads(path)) {
      return Refusal{SIMCONNECT_EXCEPTION_LOAD_FLIGHTPLAN_FAILED, 0};
    }
    object.flightPlanPaths.emplace_back(path);
    return kCarriedOut;
  });
}

HRESULT SimulatorStandIn::getLastSentPacketId(std::uint64_t connectionId, DWORD* packetId) {
  std::lock_guard lock(mutex_);
  SimCall call = startCall(SimFunction::GetLastSentPacketID, connectionId);
  SimCallArguments(call, options_.recordCalls).pointer(packetId);
  Connection* connection = usableConnection(call);
  if (connection == nullptr) return finish(std::move(call));
  if (packetId == nullptr) {
    call.result = E_FAIL;
  } else {
    *packetId = connection->lastPacketId;
  }
  return finish(std::move(call));
}
void SimulatorStandIn::feelGroundLocked(SimObjectState& state) const {
  const double fieldFeet = userObjectLocked().state.groundAltitudeFeet;
  feelGround(state, groundElevationFeet(world_.airports, fieldFeet, state.latitudeDegrees, state.longitudeDegrees));
}

}  // namespace platform
