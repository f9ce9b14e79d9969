#include "traffic/statics/parking_schedule.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include <fmt/format.h>

#include "airports/airport_locations.h"
#include "airports/learned_save.h"
#include "airports/park_airport_panel.h"
#include "airports/park_airport_state.h"
#include "airports/park_airports.h"
#include "airports/stand_names.h"
#include "airports/stand_table.h"
#include "foundation/clock.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "traffic/live/live_rules.h"
#include "traffic/statics/static_parking.h"
#include "traffic/traffic_engine.h"

namespace crv {

namespace {

constexpr double kUnknownCoordinate = 0.0001;
constexpr double kSamePositionDegrees = 1e-8;
constexpr int kParkCheckSeconds = 16;
constexpr int kAdjustmentTickSeconds = 15;
constexpr int kAutomaticAdjustmentSeconds = 1200;
constexpr const char* kNoParkAirportText = "no park airport";

bool isGroundPhase(FlightPhase phase) {
  return phase == FlightPhase::pushing_back || phase == FlightPhase::pushed_back || phase == FlightPhase::taxi ||
         phase == FlightPhase::take_off || phase == FlightPhase::parked;
}

// Entries excluded for one calculation are in use again, and an entry that
// lost its number gets a new one, so that the save writes every entry.
void restoreExcludedEntries(StandTable& stands) {
  for (ParkingPosition& stand : stands) {
    for (UsageEntry& entry : stand.usage) {
      entry.excludedForNow = false;
      if (entry.id == 0) {
        entry.id = nextUsageId(stand.usage);
      }
    }
  }
}

}  // namespace

ParkingSchedule::ParkingSchedule(TrafficEngine& engine, StaticParking& statics, LiveRules& rules,
                                 ParkAirportList* parkAirports, ParkingScheduleServices services)
    : engine_(engine),
      statics_(statics),
      rules_(rules),
      parkAirports_(parkAirports),
      services_(std::move(services)) {}

DaySlot ParkingSchedule::currentSlot() const {
  return services_.currentSlot ? services_.currentSlot() : engine_.currentSlot();
}

UserAcData ParkingSchedule::userAircraft() const {
  return services_.userAircraft ? services_.userAircraft() : engine_.userAircraft();
}

bool ParkingSchedule::userOnGround() const { return services_.userOnGround && services_.userOnGround(); }

// ---- The main loop ----

void ParkingSchedule::onMainLoopStart() { guarded("updateParkAirport", [this] { updateParkAirport(true); }); }

void ParkingSchedule::onSecond(int n) {
  if (n % kParkCheckSeconds == 0 && n % kAdjustmentTickSeconds != 0 && !adjustmentHalfway_) {
    guarded("updateParkAirport", [this] { updateParkAirport(false); });
  }
  // A request is served in the rounds after the one that raised it: the
  // renewal of second 1200 starts at 1215 and adjusts at 1230.
  if (n % kAdjustmentTickSeconds == 0) {
    adjustmentTick();
  }
  if (n != 0 && n % kAutomaticAdjustmentSeconds == 0) {
    guarded("saveLearnedIfChanged", [this] { saveLearnedIfChanged(); });
  }
  if (n != 0 && n % kAutomaticAdjustmentSeconds == 0 && parkAirportActive() && !adjustmentRequested_.load() &&
      (!par_INITIAL_LOAD_ONLY.value() || par_RT_PARKTRAFFIC_ONLY.value())) {
    requestAdjustment(false);
  }
}

void ParkingSchedule::requestAdjustment(bool full) {
  if (full) {
    fullAdjustment_.store(true);
  }
  adjustmentRequested_.store(true);
}

void ParkingSchedule::adjustmentTick() {
  if (!adjustmentRequested_.load()) {
    return;
  }
  if (!adjustmentHalfway_) {
    adjustmentHalfway_ = true;
    busyOn();
    if (services_.startCollectingLive) {
      services_.startCollectingLive();
    }
    return;
  }
  adjustmentHalfway_ = false;
  // A new round of parking: an error shown until now has had its time.
  clearErrorLine();
  clearStatusLine();
  const bool full = fullAdjustment_.exchange(false);
  // The busy flag stays until the pending list is empty; the next regular
  // check ends it.
  guarded("adjustParking", [this, full] {
    const StandTable* stands = engine_.standTable();
    if (!current_.icao.empty() && stands != nullptr && !stands->empty() && services_.adjustParking) {
      services_.adjustParking(full);
    }
  });
  adjustmentRequested_.store(false);
}

void ParkingSchedule::guarded(std::string_view name, const std::function<void()>& work) {
  try {
    work();
  } catch (const std::exception& error) {
    gf_logWarning(fmt::format("{}: {}", name, error.what()));
    statics_.pendingStatics().clear();
    statics_.dropListedStatics();
    adjustmentHalfway_ = false;
    fullAdjustment_.store(false);
    adjustmentRequested_.store(false);
    busyOff();
  }
}

// ---- Busy flag ----

void ParkingSchedule::busyOn() {
  busy_.store(true);
  if (services_.showBusy) {
    services_.showBusy(true);
  }
}

void ParkingSchedule::busyOff() {
  busy_.store(false);
  if (services_.showBusy) {
    services_.showBusy(false);
  }
}

void ParkingSchedule::resetForRestart() {
  adjustmentRequested_.store(false);
  fullAdjustment_.store(false);
  adjustmentHalfway_ = false;
  loadRequested_ = false;
  averageStaticParkedHours_.store(-1.0F);
  if (busy_.load()) busyOff();
}

// ---- The regular check ----

void ParkingSchedule::updateParkAirport(bool immediate) {
  if (busy_.load() && statics_.pendingStatics().empty()) {
    busyOff();
    clearStatusLine();
    avgParkedWait(true);
    rules_.avgLiveParkedWait(true);
  }
  if (loadRequested_) {
    clearStatusLine();
    loadRequested_ = false;
    afterLoad(readParkedFile());
    return;
  }
  const UserAcData user = userAircraft();
  if (std::fabs(user.latitude) <= kUnknownCoordinate && std::fabs(user.longitude) <= kUnknownCoordinate) {
    return;
  }
  refreshParkAirportDistances(user);
  if (!current_.icao.empty()) {
    reportAirportInSight(user);
  } else {
    checkUserOnGround(user, immediate);
  }
}

void ParkingSchedule::refreshParkAirportDistances(const UserAcData& user) {
  if (parkAirports_ == nullptr || parkAirports_->entries().empty()) {
    return;
  }
  auto& entries = parkAirports_->entries();
  const GeoPoint here{user.latitude, user.longitude};
  const bool same = std::fabs(user.latitude - lastUserLatitude_) < kSamePositionDegrees &&
                    std::fabs(user.longitude - lastUserLongitude_) < kSamePositionDegrees;
  if (same) {
    entries.front().distance = gf_distanceNm(here, entries.front().position);
    return;
  }
  lastUserLatitude_ = user.latitude;
  lastUserLongitude_ = user.longitude;
  if (!par_DESTINATION.value().empty()) {
    return;  // the destination keeps its place at the head
  }
  for (ParkAirport& entry : entries) {
    entry.distance = gf_distanceNm(here, entry.position);
  }
  entries.sort([](const ParkAirport& a, const ParkAirport& b) { return a.distance < b.distance; });
}

bool ParkingSchedule::inSight(const GeoPoint& airport, const UserAcData& user, double& distanceNm) const {
  distanceNm = gf_distanceNm({user.latitude, user.longitude}, airport);
  return distanceNm <= static_cast<double>(par_AIRP_RANGE.value()) &&
         user.altitudeFeet <= static_cast<double>(par_AIRP_HEIGHT.value());
}

void ParkingSchedule::checkUserOnGround(const UserAcData& user, bool immediate) {
  const GeoPoint here{user.latitude, user.longitude};
  if (userOnGround()) {
    const std::optional<AirportRecord> closest =
        services_.closestAirport ? services_.closestAirport(here)
                                  : findClosestAirport(airportsDb(), here, services_.nearestStand);
    if (!closest) {
      setStatusLine("User aircraft on the ground, no airport in sight", true);
      return;
    }
    const bool hasFile =
        services_.airportFileExists ? services_.airportFileExists(closest->code) : ensureAirportFile(closest->code);
    if (!hasFile) {
      setStatusLine(fmt::format("User aircraft on the ground at {}, no airport file found", closest->code), true);
      return;
    }
    gf_logLine(fmt::format("User aircraft on the ground at {}", closest->code));
    if (setParkAirport(closest->code)) {
      loadParkAirport(immediate);
    }
    return;
  }
  if (parkAirports_ == nullptr || parkAirports_->entries().empty()) {
    return;
  }
  const ParkAirport& first = parkAirports_->entries().front();
  double distanceNm = 0.0;
  if (!inSight(first.position, user, distanceNm)) {
    return;
  }
  const std::string icao = first.icao;
  if (!setParkAirport(icao)) {
    return;
  }
  setStatusLine(fmt::format("{} in sight at {:.1F} nm", icao, distanceNm), true);
  loadRequested_ = true;
  startStaticCalculation(false);
}

void ParkingSchedule::reportAirportInSight(const UserAcData& user) {
  if (userOnGround() || current_.icao.empty()) {
    return;
  }
  double distanceNm = 0.0;
  if (inSight(current_.position, user, distanceNm)) {
    if (parkAirports_ == nullptr || parkAirports_->entries().empty()) {
      return;
    }
    const ParkAirport& first = parkAirports_->entries().front();
    if (first.icao == current_.icao) {
      return;
    }
    double firstDistanceNm = 0.0;
    if (inSight(first.position, user, firstDistanceNm) && firstDistanceNm < distanceNm) {
      gf_logLine(fmt::format("\n{} {} is in sight ({:.1F} nm), parked aircraft at {} will be removed first", clockText(),
                             first.icao, firstDistanceNm, current_.displayName));
      clearParkAirportTraffic();
    }
    return;
  }
  gf_logLine(fmt::format("\n{} {} is out of sight ({:.1F} nm), parked aircraft will be removed", clockText(),
                         current_.displayName, distanceNm));
  clearParkAirportTraffic();
}

// ---- The park airport ----

bool ParkingSchedule::setParkAirport(std::string_view icao) {
  std::optional<AirportRecord> record;
  if (services_.airportByIcao) {
    record = services_.airportByIcao(icao);
  } else if (const AirportRecord* found = findAirportRecord(airportsDb(), icao)) {
    record = *found;
  }
  if (!record) {
    return false;
  }
  current_.icao = record->code;
  current_.iata = record->iata;
  current_.displayName = airportDisplayName(*record);
  current_.position = {record->lat, record->lon};
  current_.elevationFeet = record->alt;
  engine_.setParkAirport(current_.icao, current_.elevationFeet);
  if (services_.setReaderParkElevation) {
    services_.setReaderParkElevation(current_.elevationFeet);
  }
  rules_.setParkAirport(current_.position);
  publishReaderPosition(current_.position);
  gf_logLine(fmt::format("\nThe park airport is {}", current_.displayName));
  if (services_.publishTexts) {
    services_.publishTexts({current_.icao, current_.displayName});
  }
  return true;
}

// The airport file's altitude replaces the database's as the park airport's
// elevation, for the engine and the Traffic Reader.
void ParkingSchedule::setParkElevation(double elevationFeet) {
  current_.elevationFeet = elevationFeet;
  engine_.setParkAirport(current_.icao, elevationFeet);
  if (services_.setReaderParkElevation) {
    services_.setReaderParkElevation(elevationFeet);
  }
}

std::optional<GeoPoint> ParkingSchedule::parkAirportPositionForReader() const {
  std::lock_guard lock(readerPositionMutex_);
  return readerPosition_;
}

void ParkingSchedule::publishReaderPosition(std::optional<GeoPoint> position) {
  {
    std::lock_guard lock(readerPositionMutex_);
    readerPosition_ = position;
  }
  if (services_.parkAirportChanged) {
    services_.parkAirportChanged(position);
  }
}

void ParkingSchedule::loadParkAirport(bool immediate) {
  if (!immediate) {
    loadRequested_ = true;
    startStaticCalculation(false);
    return;
  }
  loadRequested_ = false;
  afterLoad(readParkedFile());
}

ParkedFileResult ParkingSchedule::readParkedFile() {
  ParkedFileRequest request;
  request.icao = current_.icao;
  request.airportPosition = current_.position;
  const UserAcData user = userAircraft();
  if (std::fabs(user.latitude) > kUnknownCoordinate || std::fabs(user.longitude) > kUnknownCoordinate) {
    request.userPosition = GeoPoint{user.latitude, user.longitude};
  }
  request.userOnGround = userOnGround();
  if (services_.readParkedFile) {
    return services_.readParkedFile(request);
  }
  StandTable* stands = engine_.standTable();
  if (stands == nullptr || parkAirports_ == nullptr) {
    return {fmt::format("{} {} not found", "lf_readParkedFile", request.icao), "", std::nullopt};
  }
  return lf_readParkedFile(request, *parkAirports_, *stands, header_, quality_);
}

void ParkingSchedule::afterLoad(const ParkedFileResult& read) {
  if (!read.message.empty()) {
    setStatusLine(read.message, true);
    busyOff();  // before closing, so the closed airport's controls stay locked
    saveAirportAndDisable();
  } else {
    if (read.elevationFeet) {
      setParkElevation(*read.elevationFeet);
    }
    rules_.setReservedStand(read.reservedStand);
    guarded("recalcStaticParking", [this] { recalcStaticParking(); });
  }
  if (services_.parkedFileRead) {
    services_.parkedFileRead();
  }
}

void ParkingSchedule::startStaticCalculation(bool showText) {
  busyOn();
  if (services_.startCollectingLive) {
    services_.startCollectingLive();
  }
  if (showText) {
    setStatusLine("Calculating static parked aircraft ...");
  }
}

// ---- The full calculation ----

void ParkingSchedule::recalcStaticParking() {
  setStatusLine("Making changes to airport parking parameters is disabled while static parking takes place ...");
  averageStaticParkedHours_.store(-1.0F);
  rules_.clearAverageLiveParkedHours();
  if (services_.repaint) {
    services_.repaint();
  }
  const auto wanted = static_cast<std::size_t>(std::max<std::int32_t>(0, engine_.wantedStaticCount()));
  const std::size_t pending = statics_.recalcStaticParking(wanted, [this] { excludeReservedStands(); });
  staticParkingCalculated_.store(true);
  if (pending == 0) {
    busyOff();
  } else {
    busyOn();  // until the last pending aircraft is placed
  }
}

void ParkingSchedule::excludeReservedStands() {
  StandTable* stands = engine_.standTable();
  if (stands == nullptr) {
    return;
  }
  const std::string& reserved = rules_.reservedStand();
  if (!reserved.empty()) {
    const auto stand = findStandByName(*stands, reserved);
    if (stand != stands->end()) {
      stand->reserved = true;
    }
  }
  if (services_.standNameAtUser) {
    const UserAcData user = userAircraft();
    const std::string underUser = services_.standNameAtUser({user.latitude, user.longitude});
    if (!underUser.empty() && underUser != reserved) {
      const auto stand = findStandByName(*stands, underUser);
      if (stand != stands->end()) {
        stand->reserved = true;
      }
    }
  }
}

// ---- Leaving the park airport ----

void ParkingSchedule::clearParkAirportTraffic() {
  statics_.pendingStatics().clear();
  // The line that the airport is out of sight, or the session's "Exiting"
  // line, says why for all of them at once.
  rules_.removeAllStaticAc({});
  for (LiveAc& aircraft : engine_.liveAircraft()) {
    if (!isGroundPhase(aircraft.phase)) {
      continue;
    }
    aircraft.standLatitude = 0.0;
    aircraft.standLongitude = 0.0;
    aircraft.standId = 0;
    aircraft.standCargo = false;
    if (aircraft.state == SimState::active || aircraft.state == SimState::adding2sim) {
      engine_.removeAircraftFromSim(aircraft);
    }
  }
  saveAirportAndDisable();
  if (services_.parkAirportLeft) {
    services_.parkAirportLeft();
  }
}

bool ParkingSchedule::saveLearned(StandTable& stands) {
  const bool saved = services_.saveLearnedFile ? services_.saveLearnedFile(current_.icao, stands)
                                               : saveAirportFile(current_.icao, header_, stands);
  if (!saved) {
    gf_logWarning(fmt::format("the learned file of {} was not saved", current_.icao));
  }
  return saved;
}

void ParkingSchedule::saveLearnedIfChanged() {
  const StandTable* stands = engine_.standTable();
  if (!parkAirportActive() || current_.icao.empty() || stands == nullptr || stands->empty() ||
      !(airportParametersChanged() || standUpdates() >= 1)) {
    return;
  }
  // The save drops entries from the table it writes and the exclusions of
  // the last calculation still count here: it writes a copy.
  StandTable copy = *stands;
  restoreExcludedEntries(copy);
  const std::uint32_t updatesBefore = standUpdates();
  const bool parametersBefore = airportParametersChanged();
  if (saveLearned(copy)) {
    resetStandUpdates();
  } else {
    // Kept for the next renewal or the leaving.
    for (std::uint32_t k = standUpdates(); k < updatesBefore; ++k) {
      countStandUpdate();
    }
    setAirportParametersChanged(parametersBefore);
  }
}

void ParkingSchedule::saveAirportAndDisable() {
  StandTable* stands = engine_.standTable();
  if (parkAirportActive() && (airportParametersChanged() || standUpdates() >= 1) && stands != nullptr) {
    restoreExcludedEntries(*stands);
    saveLearned(*stands);
    resetStandUpdates();
  }
  setHandmadeAirport(false);
  setParkAirportActive(false);
  staticParkingCalculated_.store(false);
  current_ = {};
  engine_.clearParkAirport();
  if (services_.setReaderParkElevation) {
    services_.setReaderParkElevation(std::nullopt);
  }
  rules_.setParkAirport(std::nullopt);
  rules_.setReservedStand("");
  publishReaderPosition(std::nullopt);
  statics_.reset();
  if (stands != nullptr) {
    emptyStandTable(*stands);
  }
  loadRequested_ = false;
  if (services_.parkAirportClosed) {
    services_.parkAirportClosed();
  }
  if (services_.publishTexts) {
    services_.publishTexts({"", kNoParkAirportText});
  }
  if (services_.repaint) {
    services_.repaint();
  }
}

bool ParkingSchedule::checkReservedStand(bool check, std::string& message) {
  if (parkAirports_ == nullptr) {
    return false;
  }
  const bool read = services_.rereadParkAirports ? services_.rereadParkAirports(*parkAirports_)
                                                 : parkAirports_->readMyParkAirports(airportsDb());
  if (!read) {
    return false;
  }
  const auto& entries = parkAirports_->entries();
  const bool settled = !services_.userAircraftSettled || services_.userAircraftSettled();
  StandTable* stands = engine_.standTable();
  if (check && settled && !busy_.load() && !entries.empty() && !current_.icao.empty() &&
      entries.front().icao == current_.icao && stands != nullptr) {
    const std::string& wanted = entries.front().stand;
    const std::string old = rules_.reservedStand();
    if (!wanted.empty() && wanted != old) {
      message = fmt::format("reserved stand changed from '{}' to '{}'", old, wanted);
      if (const auto before = findStandByName(*stands, old); before != stands->end()) {
        before->reserved = false;
      }
      rules_.setReservedStand(wanted);  // frees it of aircraft
      const auto after = findStandByName(*stands, wanted);
      if (after != stands->end()) {
        after->reserved = true;
      }
      // The window names the new stand, green when the airport has it.
      updateParkAirportPanel([&wanted, found = after != stands->end()](ParkAirportPanel& panel) {
        panel.reservedStandName = wanted;
        panel.reservedStandMark = found;
      });
    }
  }
  if (message.empty()) {
    message = "park airports and stands are okay";
  }
  return true;
}

// ---- Window values ----

std::int32_t ParkingSchedule::avgParkedWait(bool show) {
  std::int32_t count = 0;
  std::int64_t halfHours = 0;
  const DaySlot now = currentSlot();
  for (const StaticAc& aircraft : engine_.staticAircraft()) {
    if (aircraft.state != SimState::active && aircraft.state != SimState::removingfromsim) {
      continue;
    }
    ++count;
    const DaySlot placed = DaySlot::fromPacked(aircraft.slot);
    if (placed.isValid() && placed.weekIndex() < now.weekIndex()) {
      halfHours += now.weekIndex() - placed.weekIndex();
    }
  }
  if (show && !par_WEEK.value()) {
    const float hours = count == 0 ? 0.0F : static_cast<float>(halfHours) / static_cast<float>(2 * count);
    if (averageStaticParkedHours_.exchange(hours) != hours && services_.repaint) {
      services_.repaint();
    }
  }
  return count;
}

}  // namespace crv
