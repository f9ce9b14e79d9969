#pragma once

// One program's sessions: the simulator link, the traffic engine and the two
// RealTraffic readers, and the session worker that prepares each session,
// runs its 10 ms main loop and closes it down, then restarts or quits.
//
// Threads: the worker owns the engine's tables and everything marked
// "worker" below. The user-interface thread starts the worker (WM_APP+1),
// raises the request flags and queues work for the worker (postToWorker).
// The SimClient thread and the readers reach the session only through their
// hooks, which end the session by the stop protocol (exit_reason.h).

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "aircraftdata/livery_matching.h"
#include "app/exit_reason.h"
#include "app/rt_account.h"
#include "app/session_clock.h"
#include "feed/feed_config.h"
#include "feed/feed_hooks.h"
#include "feed/traffic_reader.h"
#include "feed/weather_reader.h"
#include "platform/window/window_model.h"
#include "simlink/sim_client.h"
#include "simlink/sim_link.h"
#include "simlink/sim_queues.h"
#include "traffic/engine_hooks.h"
#include "traffic/live/live_rules.h"
#include "traffic/motion/live_motion.h"
#include "traffic/statics/parking_adjustment.h"
#include "traffic/statics/parking_schedule.h"
#include "traffic/statics/static_parking.h"
#include "traffic/traffic_engine.h"

namespace crv {

// The two messages of the session to the main window.
inline constexpr std::uint32_t kStartSessionMessage = platform::kWmApp + 1;
inline constexpr std::uint32_t kQuitProgramMessage = platform::kWmApp + 2;

// What the program plugs into a session; tests give stand-ins and short waits.
struct SessionOptions {
  // The RealTraffic key and address of each session.
  std::function<RtAccount()> loadAccount = loadRtAccount;
  RequestTimeouts requestTimeouts;
  // The feed's pauses that keep the service's pace; empty: the machine's
  // steady clock.
  PaceWait feedPaceWait;
  // Steps of the preparation that other parts of the program provide; an
  // empty one is left out.
  std::function<void()> checkVersions;
  std::function<void()> scanLiveries;
  std::function<void()> scanAddonAirports;
  // The later parts of the engine (spawning, motion, parking); the session
  // adds its own hooks (user aircraft, flight plans, repaint).
  EngineHooks engineHooks;
  EngineConfig engineConfig;
  // Closing down: the park airport's static traffic cleared and its learned
  // file saved; empty: no park airport part.
  std::function<void()> clearParkAirportTraffic;
  // The distance to the first park airport; empty: the first entry of the
  // program's park-airport list, none when the list is empty.
  std::function<double(GeoPoint user)> firstParkAirportDistanceNm;
  // A session that ended with an error keeps its error line shown until the
  // user closes the window; without a window nobody would, and it closes at
  // once.
  bool errorWaitsForUser = true;
  // How long the first traffic may take (10 s).
  std::chrono::milliseconds firstTrafficLimit{10000};
  // The 10 ms steps of the main loop keep to the session clock rather than
  // to the machine's: the same in the program, whose clock runs at real
  // speed; a test that runs the simulator and the feed faster runs the
  // engine with them.
  bool stepsFollowClock = false;
};

// What the session shows: counts published once a second by the worker.
struct SessionDisplay {
  enum class Phase {
    starting,
    waitingForSimulator,
    loggingIn,
    waitingForTraffic,
    running,
    paused,
    closingDown,
    restarting,
    ended
  };
  std::atomic<Phase> phase{Phase::starting};
  std::atomic<std::int64_t> liveKnown{0};  // live aircraft of the engine, in the simulator or not
  // Live aircraft in the simulator that are not parked (the parked ones
  // count in the parking band).
  std::atomic<std::int64_t> liveInSim{0};
  std::atomic<std::int64_t> staticInSim{0};
  // The parking band: parked live and static aircraft and the average hours
  // the live ones have stood (negative: none yet).
  std::atomic<std::int32_t> parkedLive{0};
  std::atomic<std::int32_t> parkedStatic{0};
  std::atomic<float> averageLiveParkedHours{-1.0F};
  std::atomic<std::int64_t> created{0};
  std::atomic<std::int64_t> removed{0};
  std::atomic<std::int32_t> runningSeconds{0};
  // The RealTraffic box is black until the session turns to RealTraffic.
  std::atomic<bool> rtNotStarted{true};
};
std::string_view phaseText(SessionDisplay::Phase phase);

class Session {
 public:
  Session(platform::WindowModel& window, const SessionClock& clock, SessionOptions options);
  // Ends a running session (as the close box does) and waits for the worker.
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // ---- User-interface thread ----
  // WM_APP+1: starts a new worker; an earlier one has posted its last
  // message already and is joined first.
  void startWorker();
  // Waits for the current worker to end.
  void joinWorker();
  // A close clicked while the session closes: a logout still waiting for
  // the service is given up (any thread).
  void cutLogoutShort();
  // Queues work on worker-owned data for the worker's next second.
  void postToWorker(std::function<void()> work);
  // AUTO_RANGE was switched on: the worker keeps RANGE as the manual range
  // and applies the automatic range.
  void autoRangeSwitchedOn();
  // AUTO_RANGE was switched off: the worker gives RANGE back the manual
  // range (the value read at the session start, or the one kept when the
  // automatic range was last switched on).
  void autoRangeSwitchedOff();
  // The user chose a radius: the worker keeps it as the manual range and
  // applies it after whatever was posted before, so that the range given
  // back by a switch-off still waiting there does not undo the choice.
  void manualRangeChosen(std::int32_t radius);
  // The Block box's callsign for the live rules (posted to the worker).
  void publishBlockedCallsign(std::string callsign);
  // A new time shift: the readers' offset (at once on the worker, else posted to it).
  void setReaderTimeOffset(int minutes);
  // Worker: every live and static aircraft leaves the simulator; a live one
  // still waiting for its create loses it.
  void removeAllTraffic();
  // SIM_TIME was switched: the worker's simulator-time reference becomes 0
  // (on: the offset follows the simulator clock at once) or the latest
  // simulator time (off).
  void resetSimTimeReference(bool simTimeOn);

  // Requests of the controls, taken by the worker.
  std::atomic<bool> rereadRequested{false};
  std::atomic<bool> trafficRereadRequest{false};
  std::atomic<bool> parkTrafficOnlyChange{false};
  std::atomic<bool> flushStaticRequested{false};
  std::atomic<bool> blockRequest{false};
  std::atomic<bool> objectIdLookupRequest{false};
  // A parking option changed: the static parking is to be calculated anew.
  std::atomic<bool> recalcRequest{false};

  SessionDisplay& display() { return display_; }
  FeedDisplay& feedDisplay() { return feedDisplay_; }
  SimLink& link() { return link_; }
  SimQueues& queues() { return queues_; }
  // Worker-owned; others only while no session runs.
  TrafficEngine& engine() { return engine_; }
  // Worker-owned, as the engine; its busy flag and requests from any thread.
  ParkingSchedule& parking() { return *parking_; }
  // Worker-owned, as the engine.
  LiveRules& rules() { return *rules_; }
  std::uint64_t sessionsStarted() const { return sessionsStarted_.load(); }

  // ---- Session worker (public for the tests of each step) ----
  void sessionWorker();
  void prepareSession();
  void runSession();
  bool waitForSimAndUser();
  void runMainLoop();
  bool mainLoopStep();
  void everySecond();
  void updateAutoRange();
  // The work of each day of session time: the livery-match summary in the
  // log, and the liveries kept for aircraft forgotten.
  void onceADay();
  void lf_closingDown();
  void resetSessionState();
  // The user's aircraft stands on this stand: the first park airport, when
  // it is the current one, keeps it in its entry and in my_park_airports.txt.
  void rememberUserStand(const std::string& standName);
  // The stand the SimClient thread reported last, if any, remembered.
  void rememberReportedUserStand();
  // The reader threads' report of an error end.
  void reportThreadError(std::string_view threadName, bool unauthorized);

  int secondCounter() const { return secondCounter_; }

  // ---- The hook sets the session hands to the parts it connects ----
  // Each call builds the set anew, as the session did for its part (the
  // engine's set is engine().hooks(), completed with options_.engineHooks).
  EngineHooks engineHooks();
  MatchEnvironment matchEnvironment();
  LiveRulesServices rulesServices();
  StaticParkingServices staticParkingServices();
  ParkingAdjustmentServices adjustmentServices();
  ParkingScheduleServices parkingServices();
  FeedHooks feedHooks();
  SimLinkHooks linkHooks();
  const ParkingCalls& motionParkingCalls() const { return motion_.parking; }
  // The identity check of a newly placed aircraft (worker).
  void queueIdentityCheck(std::uint32_t key) { rules_->queueIdentityCheck(key); }
  std::size_t identityChecksWaiting() const { return rules_->identityChecksWaiting(); }

 private:
  struct Readers;

  bool stopping() const;
  // Runs the work at once on the worker thread, else queues it for the
  // worker's next second.
  void runOnWorker(std::function<void()> work);
  bool wait(std::chrono::milliseconds duration);
  void post(std::uint32_t message);
  void repaint();

  // Preparation.
  void removeStaleDataFiles();
  // The temporaries that killed saves left beside the program's files.
  void removeStaleTemporariesOnce();
  // The stored time shift (or Sim Time) reaches the boxes and the readers.
  void applyStoredTimeShift();
  // A stored destination known to the airports database becomes the first
  // park airport.
  void applyStoredDestination();
  void revisitHold(std::int64_t elapsedSeconds);
  void loadAccount();

  // The main loop's parts.
  void flightNotRunning();
  void periodicTasks();
  void handleRereadRequest();
  void removeStaticTwinOfLive();
  void makeWayForUser();
  void serveRequests();
  void publishCounts();
  void ageStatusLine();
  void followSimulatorClock();
  void runPostedWork();
  // The automatic range switched on or off (window or airport file).
  void keepManualRangeAndApplyAutoRange();
  void restoreManualRange();
  // The watched aircraft (CALLSIGN_2_OBJECTID box) left the simulator, or
  // is created again after a livery respawn under the callsign given.
  void watchedAircraftRemoved();
  void watchedAircraftRespawning(const std::string& callsign);
  void watchRespawnedAircraft();

  // Closing down.
  // Stops and joins the reader threads.
  void stopReaders();
  // The logout of the readers' session (short, see cutLogoutShort) and the
  // time of this visit.
  void logOut();
  void restartCountdown();
  void resetTimeShiftParams();
  // After an exception while closing down: waits until the close box is
  // clicked once more than the given count.
  void waitForCloseAfterFailure(std::uint64_t clicksBefore);

  platform::WindowModel& window_;
  const SessionClock& clock_;
  SessionOptions options_;

  SessionDisplay display_;
  FeedDisplay feedDisplay_;
  MotionContext motion_;  // the live motion's view of the session; worker
  LiveRules* rulesSlot_ = nullptr;  // the engine's hooks read the rules through it
  SimQueues queues_;
  SimLink link_;
  SimClient simClient_;
  TrafficEngine engine_;
  LiveryMatcher matcher_;            // worker
  std::unique_ptr<LiveRules> rules_;  // worker; spawning, parking, identity checks
  StaticParking* staticsSlot_ = nullptr;      // the engine's hooks read the static parking through it
  std::unique_ptr<StaticParking> statics_;  // worker; static parked aircraft
  std::unique_ptr<ParkingAdjustment> adjustment_;  // worker; run by the schedule
  std::unique_ptr<ParkingSchedule> parking_;  // worker; park airport and parking calculation
  RtAccount account_;                // worker
  std::unique_ptr<Readers> readers_;  // worker; made at each login
  // The paces the service asked of each reader; the readers of a restarted
  // session start with them (worker).
  ServicePace trafficReaderPace_;
  ServicePace weatherReaderPace_;

  std::thread worker_;  // user-interface thread
  std::atomic<std::thread::id> workerThreadId_{};  // the running worker's; set by the worker itself
  std::atomic<std::uint64_t> sessionsStarted_{0};
  // The latest time shift in minutes; the readers of each login start with
  // it (any thread writes, the worker reads).
  std::atomic<int> readerTimeOffsetMinutes_{0};

  // Worker state of one session.
  bool databasesLoaded_ = false;
  bool staleTemporariesRemoved_ = false;  // worker
  // Raised by a close clicked while closing; cleared as closing starts.
  std::atomic<bool> logoutCutShort_{false};
  std::int32_t manualRange_ = 0;  // RANGE while AUTO_RANGE is off
  std::string rewatchCallsign_;  // the watched aircraft's callsign during its livery respawn
  std::atomic<int> secondCounter_{0};  // worker writes; the window reads it for its notices
  int pauseCounter_ = 0;
  bool parkedTrafficAwaited_ = false;
  bool flightPaused_ = false;
  std::int64_t simTimeReference_ = 0;
  double staticCheckLatitude_ = 0.0;
  double staticCheckLongitude_ = 0.0;

  // Guards userStandToRemember_: the SimClient thread's report of the
  // user's stand, taken by the worker.
  std::mutex userStandMutex_;
  std::optional<std::string> userStandToRemember_;

  // Guards postedWork_.
  std::mutex postedMutex_;
  std::deque<std::function<void()>> postedWork_;
};

// The wait before a new RealTraffic login, in whole seconds: 2 minus the
// seconds since the last visit, never below 0 nor above 2.
std::int64_t revisitHoldSeconds(std::int64_t elapsedSinceLastVisit);

// Every hardware thread, at least 1.
int hardwareThreadCount();

}  // namespace crv
