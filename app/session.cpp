#include "app/session.h"
#include "app/session_readers.h"

#include <algorithm>

#include <fmt/format.h>

#include "airports/airport_overrides.h"
#include "airports/closest_stand.h"
#include "airports/park_airports.h"
#include "airports/stand_names.h"
#include "app/status_panel.h"
#include "app/window_controls.h"
#include "feed/reader_threads.h"
#include "foundation/clock.h"
#include "foundation/log.h"
#include "foundation/session_flags.h"
#include "foundation/setting_controls.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "foundation/version_update.h"
#include "simlink/flight_plans.h"
#include "traffic/learning/stand_learning.h"
#include "traffic/record_labels.h"
#include "traffic/sim_event.h"

namespace crv {

namespace {

SimEvent toSimEvent(const LinkEvent& event) {
  SimEvent simEvent;
  simEvent.objectId = event.objectId;
  simEvent.key = event.key;
  simEvent.type = static_cast<SimEventType>(event.type);
  simEvent.value1 = event.value1;
  simEvent.value2 = event.value2;
  return simEvent;
}

}  // namespace

std::string_view phaseText(SessionDisplay::Phase phase) {
  switch (phase) {
    case SessionDisplay::Phase::starting:
      return "starting";
    case SessionDisplay::Phase::waitingForSimulator:
      return "waiting for the simulator";
    case SessionDisplay::Phase::loggingIn:
      return "logging in";
    case SessionDisplay::Phase::waitingForTraffic:
      return "waiting for traffic";
    case SessionDisplay::Phase::running:
      return "session running";
    case SessionDisplay::Phase::paused:
      return "flight paused";
    case SessionDisplay::Phase::closingDown:
      return "closing down";
    case SessionDisplay::Phase::restarting:
      return "restarting";
    case SessionDisplay::Phase::ended:
      return "ended";
  }
  return "";
}

int hardwareThreadCount() { return std::max(1, static_cast<int>(std::thread::hardware_concurrency())); }

Session::Session(platform::WindowModel& window, const SessionClock& clock, SessionOptions options)
    : window_(window),
      clock_(clock),
      options_(std::move(options)),
      link_(queues_, linkHooks()),
      simClient_(link_),
      engine_(queues_, engineHooks(), options_.engineConfig),
      matcher_(liveryDatabase(), matchEnvironment()) {
  motion_.engine = &engine_;
  rules_ = std::make_unique<LiveRules>(engine_, rulesServices());
  rulesSlot_ = rules_.get();
  LiveRules::fillParkingCalls(motion_.parking, rulesSlot_);
  motion_.parking.addStandOption = [this](std::uint32_t standId, LiveAc& aircraft, DaySlot slot, bool soft,
                                          bool flying) {
    StandTable* stands = engine_.standTable();
    return stands != nullptr &&
           addStandOption(*stands, standId, aircraft.base, slot, soft ? kSoftUsage : kRealUsage, flying);
  };
  statics_ = std::make_unique<StaticParking>(engine_, staticParkingServices());
  staticsSlot_ = statics_.get();
  adjustment_ = std::make_unique<ParkingAdjustment>(engine_, *statics_, *rules_, adjustmentServices());
  parking_ = std::make_unique<ParkingSchedule>(engine_, *statics_, *rules_, &parkAirportList(), parkingServices());
  if (!options_.clearParkAirportTraffic) {
    options_.clearParkAirportTraffic = [this] { parking_->clearParkAirportTraffic(); };
  }
  queues_.setRequestErrorCallback(
      [] { sessionEnd().endSession(ExitReason::simconnectError, kRestartAfterSimconnectError); });
  // An airport file that switches the automatic range on or off.
  setAutoRangeHooks({[this] { runOnWorker([this] { keepManualRangeAndApplyAutoRange(); }); },
                     [this] { runOnWorker([this] { restoreManualRange(); }); }});
}

Session::~Session() {
  if (worker_.joinable()) {
    sessionEnd().userClosed();
    worker_.join();
  }
  simClient_.requestStop();
  simClient_.join();
  queues_.setRequestErrorCallback({});
  setAutoRangeHooks({});
}

void Session::startWorker() {
  joinWorker();
  sessionsStarted_.fetch_add(1);
  worker_ = std::thread([this] { sessionWorker(); });
}

void Session::joinWorker() {
  if (worker_.joinable()) {
    worker_.join();
  }
}

void Session::postToWorker(std::function<void()> work) {
  std::lock_guard lock(postedMutex_);
  postedWork_.push_back(std::move(work));
}

void Session::autoRangeSwitchedOn() {
  postToWorker([this] { keepManualRangeAndApplyAutoRange(); });
}

void Session::autoRangeSwitchedOff() {
  postToWorker([this] { restoreManualRange(); });
}

void Session::manualRangeChosen(std::int32_t radius) {
  postToWorker([this, radius] {
    manualRange_ = radius;
    restoreManualRange();
  });
}

void Session::keepManualRangeAndApplyAutoRange() {
  manualRange_ = par_RANGE.value();
  updateAutoRange();
}

void Session::restoreManualRange() {
  setRange(manualRange_);
  setControlInt(par_RANGE);
  repaint();
  if (readers_) {
    readers_->traffic.computeTrafficBox();
  }
}

void Session::publishBlockedCallsign(std::string callsign) {
  postToWorker([this, callsign = std::move(callsign)] {
    if (rules_) rules_->blockedCallsign().publish(callsign);
  });
}

void Session::setReaderTimeOffset(int minutes) {
  readerTimeOffsetMinutes_.store(minutes);
  runOnWorker([this, minutes] {
    if (readers_) {
      readers_->traffic.setTimeOffsetMinutes(minutes);
      readers_->weather.setTimeOffsetMinutes(minutes);
    }
  });
}

void Session::removeAllTraffic() {
  constexpr std::string_view kWhy = "the traffic starts again at the new time shift";
  for (LiveAc& aircraft : engine_.liveAircraft()) {
    if (aircraft.state == SimState::active || aircraft.state == SimState::adding2sim) {
      engine_.removeAircraftFromSim(aircraft, kWhy);
    }
  }
  if (rules_) rules_->removeAllStaticAc(kWhy);
}

void Session::runPostedWork() {
  std::deque<std::function<void()>> work;
  {
    std::lock_guard lock(postedMutex_);
    work.swap(postedWork_);
  }
  for (const auto& item : work) {
    item();
  }
}

bool Session::stopping() const { return isStopping(); }

void Session::runOnWorker(std::function<void()> work) {
  if (std::this_thread::get_id() == workerThreadId_.load()) {
    work();
  } else {
    postToWorker(std::move(work));
  }
}

bool Session::wait(std::chrono::milliseconds duration) {
  return clock_.waitFor(duration, [] { return isStopping(); });
}

void Session::post(std::uint32_t message) { window_.postMessage(message); }

void Session::repaint() { window_.invalidate(); }

MatchEnvironment Session::matchEnvironment() {
  MatchEnvironment environment;
  // A title the simulator refused once is never chosen again.
  environment.isExcludedTitle = [this](std::string_view title) { return engine_.reports().isExcludedTitle(title); };
  environment.recordLine = formatRecordLine;
  environment.recordLine3 = formatRecordLine3;
  return environment;
}

SimLinkHooks Session::linkHooks() {
  SimLinkHooks hooks;
  hooks.pushSimEvent = [this](const LinkEvent& event) {
    const SimEvent simEvent = toSimEvent(event);
    if (simEvent.type == SimEventType::boundLive || simEvent.type == SimEventType::boundStatic) {
      display_.created.fetch_add(1);
    } else if (simEvent.type == SimEventType::removed) {
      display_.removed.fetch_add(1);
    }
    engine_.pushSimEvent(simEvent);
  };
  hooks.recordExitReason = [](LinkExitReason reason) {
    // The link raised the stop flag already; only the reason is left to write.
    sessionEnd().recordReasonOfRaisedStop(static_cast<ExitReason>(reason));
  };
  // A new flight or the end of the connection: the stand the user stands on
  // is kept for the park airport (worker; closing down waits for it).
  hooks.rememberUserStand = [this](const std::string& standName) {
    std::lock_guard lock(userStandMutex_);
    userStandToRemember_ = standName;
  };
  hooks.repaintSimArea = [this] {
    publishSimulatorTexts(link_.display());
    repaint();
  };
  return hooks;
}

EngineHooks Session::engineHooks() {
  EngineHooks hooks = options_.engineHooks;
  if (!hooks.advanceLiveAc) {
    installLiveMotion(hooks, motion_);
  }
  if (!hooks.trySpawn) {
    LiveRules::fillEngineHooks(hooks, rulesSlot_);
  }
  if (!hooks.chooseStaticStand) {
    StaticParking::fillEngineHooks(hooks, staticsSlot_);
    hooks.resetLaterParts = [this, resetStatics = hooks.resetLaterParts] {
      resetStatics();
      if (adjustment_) {
        adjustment_->reset();
      }
    };
  }
  hooks.getUserAcPosition = [this] { return link_.user().getUserAcPosition(); };
  hooks.createFlightPlan = [this](LiveAc& aircraft) {
    FlightPlanAircraft plan;
    plan.objectId = aircraft.objectId;
    plan.departure = aircraft.base.identity.departure;
    plan.destination = aircraft.base.identity.destination;
    plan.category = aircraft.base.category;
    plan.recordLine = formatRecordLine3(aircraft.base.identity);
    // Without both airports nothing is written and the flag stays as it was.
    if (const std::optional<bool> written = createFlightPlan(plan, link_.connection())) {
      aircraft.flightPlanWritten = *written;
    }
  };
  hooks.deleteFlightPlanFile = [](std::uint32_t objectId) {
    std::error_code ignored;
    std::filesystem::remove(flightPlanFolder() / flightPlanFileName(objectId), ignored);
  };
  hooks.repaint = [this] { repaint(); };
  hooks.watchedAircraftRemoved = [this] { watchedAircraftRemoved(); };
  hooks.watchedAircraftRespawning = [this](const std::string& callsign) { watchedAircraftRespawning(callsign); };
  return hooks;
}

LiveRulesServices Session::rulesServices() {
  LiveRulesServices services;
  services.matchLiveryAtSpawn = [this](AircraftBase& aircraft) {
    if (liveryDatabase().isBuilt()) {
      matcher_.matchLiveryAtSpawn(aircraft);
    }
  };
  services.userOnGround = [this] { return link_.user().userOnGround.load(); };
  services.specialLiveryTitle = [](std::string_view registration) {
    const LiveryDatabase& database = liveryDatabase();
    if (!database.isBuilt()) {
      return std::string();
    }
    const auto found = database.regcodes.regcodeMap.find(registration);
    return found == database.regcodes.regcodeMap.end() ? std::string() : std::string(found->second);
  };
  services.userStandName = [this] { return link_.user().userStandName(); };
  services.standNameAtUser = [this](const GeoPoint& position) {
    return standNameAtPosition(position, link_.user().userOnGround.load());
  };
  services.markCargoStandUsed = [this](LiveAc& aircraft) { markCargoStandUsed(motion_, aircraft); };
  // A live aircraft took the stand: no static aircraft is placed there.
  services.dropPendingStatics = [this](std::uint32_t standId) {
    if (statics_) {
      std::erase_if(statics_->pendingStatics(),
                    [standId](const PendingStatic& entry) { return entry.standId == standId; });
    }
  };
  services.addStandOption = [this](std::uint32_t standId, const LiveAc& aircraft, DaySlot slot, bool fillGap) {
    StandTable* stands = engine_.standTable();
    return stands != nullptr && addStandOption(*stands, standId, aircraft.base, slot, kRealUsage, fillGap);
  };
  services.searchCoupledCallsigns = [this](LiveAc& aircraft) {
    if (const StandTable* stands = engine_.standTable()) {
      searchCoupledCallsigns(*stands, engine_.currentSlot(), aircraft.base);
    }
  };
  return services;
}

StaticParkingServices Session::staticParkingServices() {
  StaticParkingServices services;
  services.matchLivery = [this](AircraftBase& aircraft, const ParkingPosition& stand) {
    return liveryDatabase().isBuilt() && matcher_.matchLivery(aircraft, MatchStand{stand.name, stand.cargo});
  };
  services.stopCollectingLive = [this] {
    if (readers_) {
      readers_->traffic.lowerBuffering();
    }
  };
  services.takeCollectedLive = [this] {
    return readers_ ? readers_->traffic.takeBufferedIdentities() : BufferedIdentities{};
  };
  services.requestParkedTraffic = [this]() -> std::vector<ParkedTrafficRecord>* {
    const std::optional<GeoPoint> airport = parking_ ? parking_->parkAirportPositionForReader() : std::nullopt;
    if (!readers_ || !airport || !readers_->traffic.requestParkedTraffic(*airport)) {
      return nullptr;
    }
    return &readers_->traffic.parkedTraffic();
  };
  return services;
}

ParkingAdjustmentServices Session::adjustmentServices() {
  ParkingAdjustmentServices services;
  services.busyOn = [this] { parking_->busyOn(); };
  services.excludeReservedStands = [this] { parking_->excludeReservedStands(); };
  return services;
}

ParkingScheduleServices Session::parkingServices() {
  ParkingScheduleServices services;
  services.userAircraft = [this] { return link_.user().data(); };
  services.userOnGround = [this] { return link_.user().userOnGround.load(); };
  services.standNameAtUser = [this](const GeoPoint& position) {
    return standNameAtPosition(position, link_.user().userOnGround.load());
  };
  services.nearestStand = gf_readDestApfForClosestStand;
  services.userAircraftSettled = [this] { return link_.user().userDataReady.load(); };
  services.setReaderParkElevation = [this](std::optional<double> elevationFeet) {
    if (readers_) {
      readers_->traffic.setParkElevation(elevationFeet);
    }
  };
  services.startCollectingLive = [this] {
    if (readers_) {
      readers_->traffic.raiseBuffering();
    }
  };
  services.showBusy = [](bool busy) { busy ? busyOn() : busyOff(); };
  services.parkedFileRead = [] { enableDestinationBox(); };
  services.parkAirportClosed = [] { disableParkAirportControls(); };
  services.parkAirportLeft = [this] {
    if (restoreUserMaxLive()) {
      engine_.enforceMaxLive();
    }
  };
  services.publishTexts = [](const ParkAirportTexts& texts) {
    updatePanelTexts([&texts](PanelTexts& panel) {
      panel.parkAirportIcao = texts.icao;
      panel.parkAirportLine = texts.line;
    });
  };
  services.parkAirportChanged = [this](std::optional<GeoPoint> position) {
    motion_.parkAirportPosition = position.value_or(GeoPoint{});
  };
  services.adjustParking = [this](bool full) { adjustment_->adjustParking(full); };
  services.repaint = [this] { repaint(); };
  return services;
}

FeedHooks Session::feedHooks() {
  FeedHooks hooks;
  hooks.userPosition = [this] {
    const UserAcData data = link_.user().data();
    return GeoPoint{data.latitude, data.longitude};
  };
  hooks.userAltitudeFeet = [this] { return link_.user().data().altitudeFeet; };
  hooks.userStandName = [this] { return link_.user().userStandName(); };
  hooks.reservedStandName = [this] { return rules_->reservedStandForReader(); };
  hooks.isCategoryEnabled = [](SizeCategory category) { return isCategoryEnabled(category); };
  hooks.intakeTrafficBatch = [this](std::vector<LiveTrafficRecord>& batch, std::uint32_t delaySeconds) {
    engine_.intakeTrafficBatch(batch, delaySeconds);
  };
  hooks.reportBlockedCallsign = [this](std::uint32_t key) {
    SimEvent event;
    event.key = key;
    event.type = SimEventType::blockedCallsign;
    engine_.pushSimEvent(event);
  };
  hooks.endSessionWithReaderError = [] {
    sessionEnd().endSession(ExitReason::readerError, kRestartAfterReaderError);
  };
  hooks.reportThreadError = [this](std::string_view threadName, bool unauthorized) {
    reportThreadError(threadName, unauthorized);
  };
  hooks.publishEngineQnh = [this](int qnhHpa) { motion_.qnhHpa.store(qnhHpa); };
  // The server that accepted the login: logged in, the session waits for
  // its first traffic (the first weather request keeps the service's pace).
  hooks.showServerName = [this](std::string_view name) {
    publishServerName(name);
    auto loggingIn = SessionDisplay::Phase::loggingIn;
    display_.phase.compare_exchange_strong(loggingIn, SessionDisplay::Phase::waitingForTraffic);
  };
  hooks.parkAirportPosition = [this] { return parking_->parkAirportPositionForReader(); };
  hooks.display = &feedDisplay_;
  hooks.repaint = [this] { repaint(); };
  return hooks;
}

void Session::rememberReportedUserStand() {
  std::optional<std::string> standName;
  {
    std::lock_guard lock(userStandMutex_);
    standName.swap(userStandToRemember_);
  }
  if (standName) {
    rememberUserStand(*standName);
  }
}

void Session::rememberUserStand(const std::string& standName) {
  ParkAirportList& list = parkAirportList();
  if (list.entries().empty()) {
    return;
  }
  ParkAirport& first = list.entries().front();
  if (first.icao == parking_->parkAirport().icao && first.stand != standName) {
    first.stand = standName;
    list.addParkAirportEntry();
  }
}

void Session::reportThreadError(std::string_view threadName, bool unauthorized) {
  setStatusLine(fmt::format("The {} has stopped with an error", threadName), true);
  if (unauthorized) {
    sessionEnd().endSession(ExitReason::readerError, kRestartAfterReaderError);
  } else {
    sessionEnd().endSession(ExitReason::systemError);
  }
}

}  // namespace crv
