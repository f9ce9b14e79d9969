#pragma once

// Binding new simulator objects to the aircraft the engine created, and the
// simulator's exception messages.
//
// Every create goes out with the aircraft's callsign as tail number and is
// kept as a SentPacket. ObjectAdded puts each new aircraft object on a list;
// the engine's probe of the aircraft around the user (request 101) names each
// object's ATC ID, and a new object whose ATC ID equals a waiting packet's
// callsign is bound to that packet's key: the link releases it from the
// simulator's AI control, freezes it and reports it to the engine.
//
// Everything here runs on the SimClient thread; the lists are touched by no
// other thread while a session runs.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/simconnect/simconnect.h"
#include "simlink/sim_connection.h"
#include "simlink/sim_link_hooks.h"
#include "simlink/sim_queues.h"
#include "simlink/user_aircraft.h"

namespace crv {

// A create sent to the simulator that awaits its object.
struct SentPacket {
  std::uint32_t packetId = 0;  // 0 when the packet id could not be read
  std::uint32_t key = 0;
  std::string callsign;
};

// One aircraft of a probe reply (data definition 404).
struct AircraftInRange {
  double altitudeAboveGroundFeet = 0.0;
  double groundAltitudeFeet = 0.0;
  std::int64_t simOnGround = 0;
  std::string atcId;
};

// Ground information is reported for known objects up to this height.
inline constexpr double kGroundInfoCeilingFeet = 2500.0;

class ObjectBinding {
 public:
  ObjectBinding(SimQueues& queues, SimConnection& connection, const UserAircraft& user, const SimLinkHooks& hooks);
  ObjectBinding(const ObjectBinding&) = delete;
  ObjectBinding& operator=(const ObjectBinding&) = delete;

  // Between sessions.
  void reserve();
  void reset();

  void addSentPacket(SentPacket packet);
  const std::vector<SentPacket>& sentPackets() const { return sentPackets_; }
  const std::vector<std::uint32_t>& objectAddedList() const { return objectAddedList_; }
  // The index of the first waiting packet with exactly this callsign.
  std::optional<std::size_t> findPacketByCallsign(std::string_view callsign) const;

  void onObjectAdded(std::uint32_t objectId);
  void onObjectRemoved(std::uint32_t objectId);
  // A reply of the probe (request 101) for one object.
  void onAircraftInRange(std::uint32_t objectId, const AircraftInRange& aircraft);
  // A reply of request 102 (definition 405).
  void onStaticCg(std::uint32_t objectId, double staticCgFeet, double staticPitchRadians);
  // Throws UserErrorException 95 on a version mismatch.
  void onSimException(const SIMCONNECT_RECV_EXCEPTION& exception);
  // The create of this aircraft failed (refused call or exception 22).
  void reportCreateFailed(std::uint32_t key) const;

  // Under simConnectMutex (a blocking lock): releases the object from AI
  // control and queues the three freeze events.
  void releaseAndFreeze(std::uint32_t objectId);

 private:
  void push(const LinkEvent& event) const;
  std::uint32_t takePacketKey(std::size_t index);

  SimQueues& queues_;
  SimConnection& connection_;
  const UserAircraft& user_;
  const SimLinkHooks& hooks_;
  std::vector<SentPacket> sentPackets_;
  std::vector<std::uint32_t> objectAddedList_;
};

// "just spawned, but not by CRVN, oid: ..., callsign '...', ..."
std::string formatJustSpawned(std::uint32_t objectId, const AircraftInRange& aircraft);

}  // namespace crv
