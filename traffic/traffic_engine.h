#pragma once

// The traffic engine's core on the session worker: the live and static
// aircraft tables, the intake of the feed's batches, the 10 ms step with the
// pacing of creates and removals, the simulator's events, removal and the
// aircraft commands.
//
// Threads: the tables, the adding stack and the create and remove queues
// belong to the session worker. The Traffic Reader calls intakeTrafficBatch
// (live batches cross under sessionMutex; buffered snapshots are applied
// directly, before the main loop steps any aircraft). The simulator link and
// the feed call pushSimEvent from their threads. Lock order: simEventMutex
// before simConnectMutex, sessionMutex before simConnectMutex.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "airports/stand_table.h"
#include "feed/traffic_records.h"
#include "foundation/paths.h"
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
  StandTable* stands = &parkingPositions;
  // The program's clock (parked-since times).
  std::function<std::chrono::system_clock::time_point()> now = [] { return std::chrono::system_clock::now(); };
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
  void applyTrafficRecord(LiveTrafficRecord& record);
  void addTrafficRecord(LiveTrafficRecord& record);
  void addLiveAc(LiveTrafficRecord& record);
  // Static aircraft wanted at the park airport; shown in the main window.
  std::int32_t wantedStaticCount();

  // ---- The 10 ms step (worker) ----
  void lf_handleAddingStack();
  void stepAllLiveAc();
  // One live aircraft's step; true when the record is to be erased.
  bool updateLiveAc(LiveAc& aircraft);
  void paceCreateRemove();

  // ---- Simulator events ----
  void pushSimEvent(const SimEvent& event);  // any thread
  void processSimEvents();
  void onObjectRemoved(std::uint32_t objectId);
  void removeBlockedCallsign(std::uint32_t key);

  // ---- Removal and commands ----
  void removeAircraftFromSim(LiveAc& aircraft);
  void removeAircraftFromSim(StaticAc& aircraft);
  // Removes every request of the aircraft from a create queue; true when one was there.
  static bool dropPendingCreate(std::deque<CreateRequest>& queue, std::uint32_t key);
  void gf_setFlaps(LiveAc& aircraft, std::uint32_t index);
  void gf_setFlaps(StaticAc& aircraft, std::uint32_t index);
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

  // ---- Reports ----
  void logParkedList();
  std::string standLabel(std::uint32_t standId) const;
  EngineReports& reports() { return reports_; }

  // ---- Lookups ----
  LiveAc* findLiveByKey(std::uint32_t key);
  LiveAc* findLiveByObjectId(std::uint32_t objectId);
  StaticAc* findStaticByKey(std::uint32_t key);
  StaticAc* findStaticByObjectId(std::uint32_t objectId);
  std::size_t activeLiveCount() const;
  // Erases a live record by moving the last one into its place.
  void eraseLiveRecord(std::size_t index);

  // ---- Time ----
  std::int64_t tick() const { return tick10ms_.load(std::memory_order_relaxed); }
  void setTick(std::int64_t tick) { tick10ms_.store(tick, std::memory_order_relaxed); }
  std::chrono::system_clock::time_point now() const { return config_.now(); }

  // ---- Shared state ----
  // Park airport: elevation in feet (kNoParkElevationFeet while none), read
  // by the intake on the reader thread.
  std::atomic<double> parkElevationFeet{kNoParkElevationFeet};
  bool parkAirportSet = false;
  std::string parkAirportName;
  // Object id of the aircraft watched through the CALLSIGN_2_OBJECTID box.
  std::atomic<std::uint32_t> watchedObjectId{0};
  EngineDisplay display;

  // ---- Worker tables ----
  std::vector<LiveAc> liveAcTable;
  std::vector<StaticAc> staticAcTable;
  std::vector<std::uint32_t> addingStack;  // keys, last in first out
  std::deque<CreateRequest> liveCreateQueue;
  std::deque<CreateRequest> staticCreateQueue;
  std::deque<std::uint32_t> removeQueue;   // object ids
  UserAcData userAcCopy;

  SimQueues& link() { return link_; }
  // The stands of the park airport; null when the engine has none.
  StandTable* standTable() const { return config_.stands; }
  const EngineHooks& hooks() const { return hooks_; }
  std::size_t handoverSize();
  std::size_t deferredEventCount();

 private:
  void applySimEvent(const SimEvent& event);
  void bindLiveAircraft(const SimEvent& event);
  void applyGroundInfo(const SimEvent& event);
  void applyStaticCg(const SimEvent& event);
  void createFailed(std::uint32_t key);
  void activateBoundAircraft();
  bool advanceDeferred(SimEvent& event);
  void takeHandedOverRecords();
  void makeCreateRequest();
  void requestAircraftInRange();
  // One direct call to the simulator; a refusal is logged with the line and
  // pauses the link.
  void askSimulator(const std::function<bool(SimRequests&)>& call, std::string_view failureLine);
  void eraseCancelledStatic();
  void deleteCallsignList();
  bool knownRecordAccepted(LiveAc& aircraft, const LiveTrafficRecord& record, double timestamp) const;
  bool tooCloseToParkElevation(double altitudeFeet) const;
  void clearWatchedObject(std::uint32_t objectId);

  SimQueues& link_;
  EngineHooks hooks_;
  EngineConfig config_;
  EngineReports reports_;
  std::atomic<std::int64_t> tick10ms_{0};
  bool tablesReserved_ = false;
  bool staticEraseDue_ = false;

  std::mutex sessionMutex_;
  std::vector<LiveTrafficRecord> trafficHandover_;
  bool sessionActive_ = false;

  std::mutex simEventMutex_;
  std::vector<SimEvent> simEventQueue_;
  std::vector<SimEvent> eventsInWork_;
  std::vector<SimEvent> deferredEvents_;
};

}  // namespace crv
