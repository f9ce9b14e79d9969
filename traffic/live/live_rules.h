#pragma once

// The rules of live aircraft between the feed and the simulator: when and
// where a buffered aircraft enters the simulator (spawning), its livery
// respawn when the feed renames it, parking on a stand of the park airport,
// make-way and collision between live and static aircraft, and the rules
// that keep the live and static tables consistent with the real world.
//
// Session worker only; the one exception is the blocked callsign, which the
// main window publishes from its own thread (blocked_callsign.h).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "airports/parking_position.h"
#include "airports/stand_table.h"
#include "feed/traffic_records.h"
#include "foundation/day_slot.h"
#include "foundation/geodesy.h"
#include "traffic/engine_hooks.h"
#include "traffic/live/blocked_callsign.h"
#include "traffic/live_ac.h"
#include "traffic/motion/live_motion.h"
#include "traffic/static_ac.h"

namespace crv {

class TrafficEngine;

// What the rules ask of the parts around them. Each may be empty; the rules
// then do what is written beside it.
struct LiveRulesServices {
  // Chooses a livery for an aircraft whose title is empty; the title stays
  // empty when none fits. Empty: no livery is ever found.
  std::function<void(AircraftBase&)> matchLiveryAtSpawn;
  // The registration's own special livery title, empty when it has none.
  // Empty: no registration has one.
  std::function<std::string(std::string_view registration)> specialLiveryTitle;
  // The user aircraft stands on the ground. Empty: airborne.
  std::function<bool()> userOnGround;
  // The stand the user chose for the park airport (remembered by the link
  // when the flight started there), and the stand at a position of the user
  // aircraft; empty texts when none. Empty: none.
  std::function<std::string()> userStandName;
  std::function<std::string(const GeoPoint&)> standNameAtUser;
  // Learns a real stand use of the aircraft at the slot; true when learned.
  // With fillGap the half hours since the aircraft's last learned one are
  // filled (an aircraft leaving its stand); without, only the slot's half
  // hour is set in its entry. Empty: nothing is learned.
  std::function<bool(std::uint32_t standId, const LiveAc&, DaySlot, bool fillGap)> addStandOption;
  // A cargo aircraft parks on a stand not taken as a cargo stand: the stand
  // loses its cargo attribute. Empty: nothing.
  std::function<void(LiveAc&)> markCargoStandUsed;
  // The coupled-callsign search for an aircraft checked for the first time.
  std::function<void(LiveAc&)> searchCoupledCallsigns;
  // A live aircraft created on a stand: the static aircraft still waiting to
  // be placed on that stand give it up. Empty: nothing.
  std::function<void(std::uint32_t standId)> dropPendingStatics;
};

// One parked live aircraft of the parking adjustment.
struct ParkedLive {
  std::string callsign;
  std::uint32_t standId = 0;
  std::int64_t secondsSinceApproach = 0;
};

// A parked live aircraft and whole seconds since it last approached its stand.
struct ParkedAge {
  std::uint32_t key = 0;
  std::int64_t seconds = 0;
};

class LiveRules {
 public:
  LiveRules(TrafficEngine& engine, LiveRulesServices services);
  LiveRules(const LiveRules&) = delete;
  LiveRules& operator=(const LiveRules&) = delete;

  // Points the engine's hooks trySpawn, respawnIfChanged, parkLiveOverStatic
  // and keepReservedStandFree at the rules held in the slot. The slot is read
  // at each call, so the rules may be built after the engine.
  static void fillEngineHooks(EngineHooks& hooks, LiveRules* const& slot);
  // Points the live motion's calls into parking, the parked maximum and the
  // identity check at the rules held in the slot (the stand learning stays
  // with the static parking).
  static void fillParkingCalls(ParkingCalls& calls, LiveRules* const& slot);

  // ---- Park airport (set by the parking calculation) ----
  void setParkAirport(std::optional<GeoPoint> position) { parkAirport_ = position; }
  // The user's reserved stand; empty when none. Set and read on the worker.
  void setReservedStand(std::string name);
  const std::string& reservedStand() const { return reservedStand_; }
  // A copy for the Traffic Reader's thread, which skips parked aircraft
  // reported on the reserved stand.
  std::string reservedStandForReader() const;

  // ---- Spawning ----
  // Decides for a buffered aircraft: wait, lose the front point, be dropped,
  // or enter the simulator (spawnLiveAc).
  void trySpawn(LiveAc& aircraft);
  // true: the front point was dropped because the spawn place is not clear.
  bool spawnSpaceFree(LiveAc& aircraft);
  // A free stand for a ground spawn, made free of static aircraft; null when none.
  ParkingPosition* spawnStand(LiveAc& aircraft);
  // Livery, phase, stand, first position and attitude; state adding2sim.
  void spawnLiveAc(LiveAc& aircraft);
  // The title remembered for the key; a title excluded since is forgotten.
  std::string rememberedLivery(std::uint32_t key);
  // Once a day and at closing down: every aircraft chooses its livery afresh.
  void forgetRememberedLiveries() { rememberedLiveries_.clear(); }
  std::size_t rememberedLiveryCount() const { return rememberedLiveries_.size(); }
  BlockedCallsign& blockedCallsign() { return blockedCallsign_; }

  // ---- Livery respawn ----
  // false: the record is not applied.
  bool respawnIfChanged(LiveAc& aircraft, const LiveTrafficRecord& record);
  void refreshBufferIdentity(LiveAc& aircraft, const LiveTrafficRecord& record);
  // false when the route changed.
  bool updateRoute(LiveAc& aircraft, const LiveTrafficRecord& record);
  // true when the new registration calls for another livery.
  bool registrationChanged(LiveAc& aircraft, const LiveTrafficRecord& record);
  bool callsignRegistrationChanged(LiveAc& aircraft, const LiveTrafficRecord& record);
  void forgetLivery(LiveAc& aircraft);
  // Takes the object out of the simulator; it is created again where the
  // aircraft stands once the simulator reports it removed.
  void liveryRespawn(LiveAc& aircraft);

  // ---- Parking ----
  // The simulator bound an aircraft whose first point is on the ground.
  void parkLiveOverStatic(LiveAc& aircraft);
  // A taxiing aircraft is about to stop: give it a stand and drive it there.
  void try2Park(LiveAc& aircraft, bool wide);
  void drive2Stand(LiveAc& aircraft, const StandPlace& stand);
  void removeAdjacentParked(std::uint32_t adjacentStandId, LiveAc& arriving, const ParkingPosition& stand);
  // A new feed point of an aircraft in phase parking or parked; true: add it.
  bool checkStandApproach(LiveAc& aircraft, PathPoint& point);
  void updateParkedTimers(LiveAc& aircraft);

  // ---- Make-way and collision ----
  void makeWay(LiveAc& aircraft, const ParkingPosition& stand);
  void makeWayExcluded(LiveAc& aircraft, std::uint32_t adjacentStandId, const ParkingPosition& stand);
  void removeStaticForCollision(LiveAc& aircraft);
  // The once-a-second pass: each moving live aircraft on the ground removes
  // a static aircraft it would touch (COLLISION_LIVE_PARKED_GND).
  void removeStaticsForCollision();

  // ---- Periodic rules ----
  // Removes the live aircraft named callsign + "_" and remembers that text.
  void removeGhost(std::string_view callsign);
  // A live aircraft other than the asking one, not being removed, carries
  // the callsign less its last character. An aircraft that the feed renames
  // from "DLH4AB" to "DLH4AB_" is not its own twin.
  bool hasRealTwin(std::string_view callsign, const LiveAc& asking) const;
  // The identity check: keys wait in order, one is taken each second.
  void queueIdentityCheck(std::uint32_t key) { identityChecks_.push_back(key); }
  void checkNextIdentity();
  std::size_t identityChecksWaiting() const { return identityChecks_.size(); }
  void replaceSameIdentity(LiveAc& aircraft, bool onGround);
  // Every static aircraft goes; why is the reason each one's log line
  // gives, empty when the caller's own line said it for all of them.
  void removeAllStaticAc(std::string_view why);
  // Clears the user's reserved stand; runs on every engine step while a
  // stand is reserved, so that nothing stays on it longer than 10 ms.
  void freeReservedStand();
  // Parked live aircraft; with show, their average hours parked is stored
  // (averageLiveParkedHours) and the window repainted when it changed.
  std::int32_t avgLiveParkedWait(bool show);
  double averageLiveParkedHours() const { return averageLiveParkedHours_; }
  // "none" until the next average is taken.
  void clearAverageLiveParkedHours() { averageLiveParkedHours_ = -1.0; }
  std::vector<ParkedLive> collectParkedLive();
  bool resolveStandConflict(std::uint32_t standId, std::string_view callsign);
  std::vector<ParkedAge> parkedLiveByAge() const;
  void enforceMaxPark(std::int32_t extra);
  void removeLiveParked(std::size_t count);

  const std::vector<std::string>& ghostCallsigns() const { return ghostCallsigns_; }
  // The traffic reset: every list of the rules emptied.
  void reset();

 private:
  DaySlot currentSlot() const;
  bool userOnGround() const;
  StandTable* stands() const;
  ParkingPosition* standById(std::uint32_t standId) const;
  std::int64_t nowTick() const;
  void rememberStandUse(std::uint32_t key, DaySlot slot);
  void setSpawnPosition(LiveAc& aircraft);
  void keepRecordsHeardOnStand(LiveAc& aircraft, const PathPoint& firstHeard);
  bool chooseLivery(LiveAc& aircraft);
  void takeStand(LiveAc& aircraft, ParkingPosition& stand);

  TrafficEngine& engine_;
  LiveRulesServices services_;
  std::optional<GeoPoint> parkAirport_;
  // Guards the writes of reservedStand_ and its reads from other threads;
  // the worker, its only writer, reads it without the lock.
  mutable std::mutex reservedStandMutex_;
  std::string reservedStand_;
  BlockedCallsign blockedCallsign_;
  // Callsigns removed as ghosts ("DLH4AB_"); such an aircraft never spawns.
  std::vector<std::string> ghostCallsigns_;
  std::unordered_map<std::uint32_t, std::string> rememberedLiveries_;
  std::vector<std::uint32_t> identityChecks_;
  double averageLiveParkedHours_ = -1.0;
};

}  // namespace crv
