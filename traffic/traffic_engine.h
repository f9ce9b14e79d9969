#pragma once

// The traffic engine's core on the session worker: the live and static
// aircraft tables, the intake of the feed's batches, the 10 ms step with the
// pacing of creates and removals, the simulator's events, removal and the
// aircraft commands.
//
// Threads: the tables, the adding stack and the create and remove queues
// belong to the session worker. The Traffic Reader calls intakeTrafficBatch;
// live batches and buffered snapshots cross to the worker under
// sessionMutex, and the worker's step applies them (snapshots first, in the
// order they came). The simulator link and
// the feed call pushSimEvent from their threads. Lock order: simEventMutex
// before simConnectMutex, sessionMutex before simConnectMutex.
//
// The parts built on the core (live motion, spawning, parking, static
// placement) are called through EngineHooks and work on the tables through
// the member functions below.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "airports/stand_table.h"
#include "feed/traffic_records.h"
#include "foundation/clock.h"
#include "foundation/paths.h"
#include "foundation/thread_annotations.h"
#include "simlink/queue_records.h"
#include "simlink/sim_queues.h"
#include "simlink/user_ac_data.h"
#include "traffic/engine_hooks.h"
#include "traffic/engine_reports.h"
#include "traffic/live_ac.h"
#include "traffic/sim_event.h"
#include "traffic/static_ac.h"

namespace crv {

inline constexpr std::int64_t kTicksPerSecond = 100;
// The delay of live traffic; buffered snapshots come with 0 to 24 seconds.
inline constexpr std::uint32_t kLiveDelaySeconds = 30;

struct EngineConfig {
  std::filesystem::path callsignListFile = programPaths().callsign2ObjectIdFile;
  // The stands of the park airport.
  StandTable* stands = &parkAirportStands();
  // The program's clock: the traffic time while a time shift is active, else
  // the system time. The parked-since times and every half hour the engine
  // learns or places in come from it.
  std::function<std::chrono::system_clock::time_point()> now = [] {
    return std::chrono::system_clock::time_point(std::chrono::seconds(currentTime()));
  };
};

// What the main window shows of the engine.
struct EngineDisplay {
  std::atomic<std::int32_t> wantedStaticCount{0};
  std::atomic<std::int32_t> parkingPercentageShown{0};
};

class TrafficEngine {
 public:
  TrafficEngine(SimQueues& link, EngineHooks hooks, EngineConfig config = {});
  TrafficEngine(const TrafficEngine&) = delete;
  TrafficEngine& operator=(const TrafficEngine&) = delete;

  // ---- Session ----
  // Once per process: reserves the tables and deletes Callsign2ObjectId.txt.
  void reserveSessionTables();
  // Before a restart: empties every table, queue and list, the park airport
  // (elevation "none") and the display; deletes Callsign2ObjectId.txt.
  void resetTrafficState();
  // The flight runs (true) or is paused or closing (false).
  void setSessionActive(bool active);

  // ---- Intake (Traffic Reader thread) ----
  // Gives every record of the batch its due tick and applies it (snapshots)
  // or hands it to the worker (live, delay 30). The batch is left empty.
  void intakeTrafficBatch(std::vector<LiveTrafficRecord>& batch, std::uint32_t delaySeconds);
  // Static aircraft wanted at the park airport; shown in the main window.
  std::int32_t wantedStaticCount();
  // Snapshot records handed over and not yet applied by the worker.
  std::size_t snapshotHandoverSize();

  // ---- The 10 ms step (worker) ----
  // Simulator events, every live aircraft's step, the paced creates and
  // removals, two handed-over records, one create request; then the tick
  // advances.
  void step();
  // Applies every buffered snapshot record handed over so far (the step
  // otherwise takes them in portions).
  void applySnapshots();
  // While no flight runs the step rests, but the simulator's events are
  // still taken.
  void processSimEventsWhilePaused() { processSimEvents(); }

  // ---- Simulator events (any thread) ----
  void pushSimEvent(const SimEvent& event);

  // ---- The tables, for the parts built on the engine (worker only) ----
  // The engine alone adds live aircraft (from the feed) and erases records
  // (through the flags and the simulator's removals); the parts change the
  // records in place and never reorder them or change a key.
  std::span<LiveAc> liveAircraft() { return liveAcTable_; }
  std::span<const LiveAc> liveAircraft() const { return liveAcTable_; }
  std::span<StaticAc> staticAircraft() { return staticAcTable_; }
  std::span<const StaticAc> staticAircraft() const { return staticAcTable_; }
  LiveAc* findLiveByKey(std::uint32_t key);
  LiveAc* findLiveByObjectId(std::uint32_t objectId);
  StaticAc* findStaticByKey(std::uint32_t key);
  std::size_t activeLiveCount() const;
  // A new static aircraft for static placement; the reference holds until
  // the next static aircraft is added or erased.
  StaticAc& addStaticAc(StaticAc aircraft);

  // ---- The create and remove queues ----
  // Spawning: the aircraft (already in state adding2sim) gets its create
  // request in a later step; the last pushed goes first.
  void pushAddingStack(std::uint32_t key);
  // Static placement: a static create, passed to the link in a half second
  // in which no live create waits.
  void queueStaticCreate(CreateRequest request);
  // An object to remove from the simulator, one every 0.1 s.
  void queueObjectRemoval(std::uint32_t objectId);
  const std::vector<std::uint32_t>& addingStack() const { return addingStack_; }
  const std::deque<CreateRequest>& liveCreateQueue() const { return liveCreateQueue_; }
  const std::deque<CreateRequest>& staticCreateQueue() const { return staticCreateQueue_; }
  const std::deque<std::uint32_t>& removeQueue() const { return removeQueue_; }

  // ---- Removal and commands ----
  void removeAircraftFromSim(LiveAc& aircraft);
  void removeAircraftFromSim(StaticAc& aircraft);
  // The same, and the log says why (LOG on): "<label> removed: <why>", the
  // rule and its figures. Only a removal that takes the aircraft out of the
  // simulator, or stops its create, writes the line, once: an aircraft
  // still in the buffer was never shown, one on its way out already was
  // named by the call that sent it. Where the simulator is creating the
  // object, the line is written when the object is bound and goes.
  void removeAircraftFromSim(LiveAc& aircraft, std::string_view why);
  void removeAircraftFromSim(StaticAc& aircraft, std::string_view why);
  void setFlaps(LiveAc& aircraft, std::uint32_t index);
  void setFlaps(StaticAc& aircraft, std::uint32_t index);
  void setThrottle(LiveAc& aircraft, std::uint32_t index);
  void setThrottle(StaticAc& aircraft, std::uint32_t index);
  void shutdownParked(LiveAc& aircraft);
  void shutdownParked(StaticAc& aircraft);
  void enforceMaxLive();
  bool removeFarthestLiveAc(double distanceNm);

  // ---- Searches of the static and live rules ----
  // Some static (live) aircraft's second callsign is the entry's callsign or
  // second callsign, or its registration is the given one. Empty texts match
  // nothing.
  bool staticMatchesUsage(const UsageEntry& entry, std::string_view registration) const;
  bool liveMatchesUsage(const UsageEntry& entry, std::string_view registration) const;
  // The first of the neighbour stands on which an active live aircraft of
  // another callsign stands parked or pushes back so close that the two
  // overlap ((both half spans) x 1.1 reach the distance of the stands); 0
  // when none. Stands at 0, 0 are left out.
  std::uint32_t findCollidingStand(const std::vector<std::uint32_t>& neighbourIds, const ParkingPosition& stand,
                                   const LiveAc& aircraft) const;

  // ---- Park airport, stands and the user aircraft ----
  // The stands of the park airport; null when the engine has none.
  StandTable* standTable() const { return config_.stands; }
  void setParkAirport(std::string name, double elevationFeet);
  // No park airport: its name empty and the elevation "none".
  void clearParkAirport();
  bool parkAirportSet() const { return parkAirportSet_; }
  const std::string& parkAirportName() const { return parkAirportName_; }
  // kNoParkElevationFeet while none; also read by the intake on the reader thread.
  double parkElevationFeet() const { return parkElevationFeet_.load(); }
  // The user aircraft as last asked from the link (once a second).
  const UserAcData& userAircraft() const { return userAcCopy_; }
  // Per aircraft key, the half hour of its last stand learning (standSlotFree).
  std::vector<StandLastUse>& lastStandUse() { return lastStandUse_; }

  // ---- Main window ----
  // The aircraft watched through the CALLSIGN_2_OBJECTID box (0: none).
  void watchObject(std::uint32_t objectId) { watchedObjectId_.store(objectId); }
  std::uint32_t watchedObjectId() const { return watchedObjectId_.load(); }
  const EngineDisplay& display() const { return display_; }

  // ---- Reports ----
  void logParkedList();
  std::string standLabel(std::uint32_t standId) const;
  // "<stand label:8>: <callsign:8>", the head of a log line about the
  // aircraft; a live aircraft without a stand has ten blanks for its label.
  std::string logLabel(const LiveAc& aircraft) const;
  std::string logLabel(const StaticAc& aircraft) const;
  EngineReports& reports() { return reports_; }

  // ---- Time and links ----
  std::int64_t tick() const { return tick10ms_.load(std::memory_order_relaxed); }
  std::chrono::system_clock::time_point now() const { return config_.now(); }
  // The weekday and half hour of now().
  DaySlot currentSlot() const;
  SimQueues& link() { return link_; }
  const EngineHooks& hooks() const { return hooks_; }

 private:
  // Tests reach the inside through this one class (tests/traffic/engine_test_access.h).
  friend struct EngineTestAccess;

  // Intake
  void applyTrafficRecord(LiveTrafficRecord& record);
  void addTrafficRecord(LiveTrafficRecord& record);
  void addLiveAc(LiveTrafficRecord& record);
  // False for a record left out; `confirmsHeldJump` tells that it is taken
  // because it confirms the jump in speed of the record held before it.
  bool knownRecordAccepted(LiveAc& aircraft, const LiveTrafficRecord& record, double timestamp,
                           bool& confirmsHeldJump) const;
  void offerPoint(LiveAc& aircraft, PathPoint& point);
  bool tooCloseToParkElevation(double altitudeFeet) const;
  void takeHandedOverRecords() EXCLUDES(sessionMutex_);
  // When the record falls due: at `batchDueTick`, the batch's rule, or in a
  // batch of few records at the aircraft's last due tick plus the time since
  // its last record, drawn a little towards the batch's rule and kept within
  // a second of it.
  std::int64_t spacedDueTick(const LiveTrafficRecord& record, std::int64_t batchDueTick, bool fewRecords)
      REQUIRES(sessionMutex_);

  // The step
  void stepAllLiveAc();
  // One live aircraft's step; true when the record is to be erased.
  bool updateLiveAc(LiveAc& aircraft);
  void paceCreateRemove();
  void makeCreateRequest();
  void requestAircraftInRange();
  void eraseCancelledStatic();

  // Simulator events
  void processSimEvents() EXCLUDES(simEventMutex_);
  void applySimEvent(const SimEvent& event) REQUIRES(simEventMutex_);
  void bindLiveAircraft(const SimEvent& event) REQUIRES(simEventMutex_);
  void bindStaticAircraft(const SimEvent& event) REQUIRES(simEventMutex_);
  void applyGroundInfo(const SimEvent& event);
  void applyStaticCg(const SimEvent& event);
  void createFailed(std::uint32_t key);
  void activateBoundAircraft() REQUIRES(simEventMutex_);
  // The removal asked while the simulator was creating the object, now
  // that it is bound: the line kept for it is written as it goes.
  void removeBoundAircraft(LiveAc& aircraft);
  void removeBoundAircraft(StaticAc& aircraft);
  bool advanceDeferred(SimEvent& event) REQUIRES(simEventMutex_);
  void onObjectRemoved(std::uint32_t objectId);
  void removeBlockedCallsign(std::uint32_t key);
  // findLiveByObjectId through the object id index, for the events of a
  // step: the first aircraft of the table with the id, as the plain search
  // finds it.
  LiveAc* liveByObjectIdInEvents(std::uint32_t objectId);
  void forgetObjectIdIndex() { objectIdIndexValid_ = false; }

  // The live table and its key index change only through these.
  LiveAc& appendLiveRecord(LiveAc aircraft);
  // Erases a live record by moving the last one into its place.
  void eraseLiveRecord(std::size_t index);
  void eraseRequestedLiveRecords();
  void clearLiveTable();
  // The aircraft leaves its stand (it leaves the simulator, or its record
  // goes): the stand is free again unless another aircraft that stays holds it.
  void releaseStandOf(const LiveAc& leaving);

  // One direct call to the simulator; a refusal is logged with the line and
  // pauses the link.
  void askSimulator(const std::function<bool(SimRequests&)>& call, std::string_view failureLine);
  void deleteCallsignList();
  void clearWatchedObject(std::uint32_t objectId);

  SimQueues& link_;
  EngineHooks hooks_;
  EngineConfig config_;
  EngineReports reports_;
  std::atomic<std::int64_t> tick10ms_{0};
  bool tablesReserved_ = false;
  bool staticEraseDue_ = false;

  // Park airport (worker; the elevation is also read by the intake).
  std::atomic<double> parkElevationFeet_{kNoParkElevationFeet};
  bool parkAirportSet_ = false;
  std::string parkAirportName_;
  // Written by the main window, read and cleared by the worker.
  std::atomic<std::uint32_t> watchedObjectId_{0};
  EngineDisplay display_;

  // Worker tables: touched only on the session worker.
  std::vector<LiveAc> liveAcTable_;
  std::unordered_map<std::uint32_t, std::size_t> liveIndexByKey_;  // key -> index in liveAcTable_
  // (object id, index in liveAcTable_) of every aircraft with an object,
  // sorted. The parts may change a record's object id between steps, so the
  // index is built anew, when first needed, in each step's event processing
  // and after any change of the table or of an object id there.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> objectIdIndex_;
  bool objectIdIndexValid_ = false;
  std::vector<StaticAc> staticAcTable_;
  std::vector<std::uint32_t> addingStack_;  // keys, last in first out
  std::deque<CreateRequest> liveCreateQueue_;
  std::deque<CreateRequest> staticCreateQueue_;
  std::deque<std::uint32_t> removeQueue_;   // object ids
  UserAcData userAcCopy_;
  std::vector<StandLastUse> lastStandUse_;

  // Guards the hand-over of live batches and snapshots, the session-active
  // flag and the due times the intake gave.
  Mutex sessionMutex_;
  std::vector<LiveTrafficRecord> trafficHandover_ GUARDED_BY(sessionMutex_);
  std::deque<LiveTrafficRecord> snapshotHandover_ GUARDED_BY(sessionMutex_);
  bool sessionActive_ GUARDED_BY(sessionMutex_) = false;
  // The feed time and due tick of each aircraft's latest record, by key, as
  // the intake gave it.
  struct RecordDue {
    double timestamp = 0.0;
    std::int64_t dueTick = 0;
  };
  std::unordered_map<std::uint32_t, RecordDue> lastRecordDue_ GUARDED_BY(sessionMutex_);

  // Guards the simulator events: the queue that other threads push to, and
  // the events in work and the deferred ones while the worker applies them.
  Mutex simEventMutex_;
  std::vector<SimEvent> simEventQueue_ GUARDED_BY(simEventMutex_);
  std::vector<SimEvent> eventsInWork_ GUARDED_BY(simEventMutex_);
  std::vector<SimEvent> deferredEvents_ GUARDED_BY(simEventMutex_);
};

}  // namespace crv
