#pragma once

// The calls of the engine core into the parts of the engine that are built
// on it (live motion, spawning, parking, static placement) and into the
// session and the simulator link. Each hook may be empty; the engine then
// does what is written beside it.

#include <cstdint>
#include <functional>
#include <string>

#include "feed/traffic_records.h"
#include "simlink/user_ac_data.h"

namespace crv {

struct LiveAc;
struct PathPoint;

struct EngineHooks {
  // --- Spawning live aircraft ---
  // Decides whether a buffered aircraft enters the simulator now (it may set
  // drop-from-buffer or push its key onto the adding stack). Empty: the
  // aircraft waits in the buffer.
  std::function<void(LiveAc&)> trySpawn;

  // --- Live aircraft step ---
  // Moves an active aircraft with a path through one step (next point when
  // due, the curve between points). Empty: the position block stays.
  std::function<void(LiveAc&)> advanceLiveAc;
  // Offers a new point of the feed to a known aircraft. Empty: the point is
  // appended to the path.
  std::function<void(LiveAc&, PathPoint&)> decodeExisting;
  // The configuration of an aircraft that has just become active (state
  // already active). Empty: nothing more.
  std::function<void(LiveAc&)> configureActiveAircraft;
  // Ground contact reported during an approach or a vertical profile.
  std::function<void(LiveAc&)> onGroundSlots;

  // --- Livery respawn ---
  // Compares a new record with a known aircraft; false: the record is not
  // applied. Empty: true.
  std::function<bool(LiveAc&, const LiveTrafficRecord&)> respawnIfChanged;

  // --- Parking ---
  // A newly bound aircraft whose first point is on the ground.
  std::function<void(LiveAc&)> parkLiveOverStatic;
  // Runs on every step after the aircraft moved: clears the user's reserved
  // stand while one is reserved. Empty: nothing.
  std::function<void()> keepReservedStandFree;

  // --- Static placement ---
  // Places one pending static aircraft, if any waits; called in each half
  // second in which no live create left.
  std::function<void()> chooseStaticStand;
  // The lists of the later parts are emptied with the traffic state.
  std::function<void()> resetLaterParts;

  // --- Simulator link ---
  // The user aircraft's data as the link caches it (asked once a second).
  std::function<UserAcData()> getUserAcPosition;
  // Writes the flight plan of a newly bound live aircraft.
  std::function<void(LiveAc&)> createFlightPlan;
  // Deletes the flight-plan file of a removed object.
  std::function<void(std::uint32_t objectId)> deleteFlightPlanFile;

  // --- Main window ---
  std::function<void()> repaint;
  // The watched aircraft (CALLSIGN_2_OBJECTID box) was removed: the box and
  // its object-id text are reset.
  std::function<void()> watchedAircraftRemoved;
  // The watched aircraft leaves the simulator for a livery respawn: the box
  // takes its callsign, so that the watch finds the new object. Empty:
  // handled as watchedAircraftRemoved.
  std::function<void(const std::string& callsign)> watchedAircraftRespawning;
};

}  // namespace crv
