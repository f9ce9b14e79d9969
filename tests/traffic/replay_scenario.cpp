#include "tests/traffic/replay_scenario.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>

#include <fmt/format.h>

#include "foundation/geodesy.h"
#include "tests/traffic/engine_test_access.h"

namespace crv::testing {

namespace {

constexpr double kMetersPerNm = 1852.0;

}  // namespace

ReplayScenario::ReplayScenario(StandTable grid) : scenario(std::move(grid)) { startTick_ = scenario.engine.tick(); }

double ReplayScenario::secondsNow() const {
  return static_cast<double>(scenario.engine.tick() - startTick_) / 100.0;
}

std::size_t ReplayScenario::addFlight(std::uint32_t key, const std::string& callsign, const std::string& type,
                                      const std::vector<TrackPoint>& track) {
  Flight& flight = flights_[key];
  flight.reports = decodeTrack(key, callsign, type, track, kApronOrigin, kApronOrigin);
  flight.dueSeconds.assign(flight.reports.size(), std::numeric_limits<double>::quiet_NaN());
  for (std::size_t i = 0; i < flight.reports.size(); ++i) {
    queue_.push_back({startTick_ + std::llround(flight.reports[i].handedOverSeconds * 100.0), key, i});
  }
  std::stable_sort(queue_.begin() + static_cast<std::ptrdiff_t>(nextReport_), queue_.end(),
                   [](const Queued& a, const Queued& b) { return a.handOverTick < b.handOverTick; });
  return flight.reports.size();
}

void ReplayScenario::runUntilSecond(double seconds) {
  const std::int64_t endTick = startTick_ + std::llround(seconds * 100.0);
  while (scenario.engine.tick() < endTick) {
    feedDueReports();
    scenario.step();
    watchGround();
  }
}

void ReplayScenario::replayWhole(std::uint32_t key, const std::string& callsign, const std::string& type,
                                 const std::vector<TrackPoint>& track, double afterSeconds) {
  addFlight(key, callsign, type, track);
  const TrackPoint& last = track.back();
  const double heardSeconds = last.handedOverSeconds >= 0.0 ? last.handedOverSeconds : last.seconds;
  runUntilSecond(heardSeconds + kLiveDelaySeconds + afterSeconds);
}

void ReplayScenario::feedDueReports() {
  // Every report that reached the feed by now, in one live batch; each falls
  // due when the intake times it.
  const std::int64_t now = scenario.engine.tick();
  std::vector<LiveTrafficRecord> batch;
  std::vector<const Queued*> queued;
  for (; nextReport_ < queue_.size() && queue_[nextReport_].handOverTick <= now; ++nextReport_) {
    const Queued& entry = queue_[nextReport_];
    batch.push_back(flights_[entry.key].reports[entry.report].record);
    queued.push_back(&entry);
  }
  if (batch.empty()) {
    return;
  }
  const bool takenOver = EngineTestAccess::handoverSize(scenario.engine) == 0;
  scenario.engine.intakeTrafficBatch(batch, kLiveDelaySeconds);
  const std::vector<std::int64_t> dueTicks = EngineTestAccess::handedOverDueTicks(scenario.engine);
  if (!takenOver || dueTicks.size() != queued.size()) {
    return;  // dropped: the last batch was still being applied
  }
  for (std::size_t i = 0; i < queued.size(); ++i) {
    flights_[queued[i]->key].dueSeconds[queued[i]->report] = static_cast<double>(dueTicks[i] - startTick_) / 100.0;
  }
}

void ReplayScenario::watchGround() {
  for (auto& [key, flight] : flights_) {
    if (const LiveAc* aircraft = scenario.engine.findLiveByKey(key); aircraft != nullptr && aircraft->objectId != 0) {
      if (aircraft->objectId != flight.objectId) {
        flight.objectIds.push_back(aircraft->objectId);
      }
      flight.objectId = aircraft->objectId;
      const bool pushing =
          aircraft->phase == FlightPhase::pushing_back || aircraft->phase == FlightPhase::pushed_back;
      const double now = secondsNow();
      if (pushing && (flight.pushbacks.empty() || flight.pushbacks.back().second < now - 0.015)) {
        flight.pushbacks.push_back({now, now});
      } else if (pushing) {
        flight.pushbacks.back().second = now;
      }
    }
    if (flight.objectId == 0 || flight.touchdown) {
      continue;
    }
    scenario.sim->updateObjectState(flight.objectId, [&flight](platform::SimObjectState& state) {
      if (!state.onGround) {
        flight.flew = true;
      } else if (flight.flew) {
        flight.touchdown = GeoPoint{state.latitudeDegrees, state.longitudeDegrees};
      }
    });
  }
}

std::vector<RecordLag> ReplayScenario::lags(std::uint32_t key, double windowSeconds) const {
  const auto found = flights_.find(key);
  if (found == flights_.end() || found->second.objectId == 0) {
    return {};
  }
  const Flight& flight = found->second;
  const auto pushingBack = [&flight](double seconds) {
    return std::any_of(flight.pushbacks.begin(), flight.pushbacks.end(),
                       [seconds](const auto& push) { return seconds >= push.first && seconds <= push.second; });
  };
  std::vector<TimedPlace> records;
  for (std::size_t i = 0; i < flight.reports.size(); ++i) {
    const LiveTrafficRecord& record = flight.reports[i].record;
    // A standing record is passed for as long as it stands; one not handed
    // over yet is not due.
    if (record.speedKnots > 0.0 && !std::isnan(flight.dueSeconds[i]) && !pushingBack(flight.dueSeconds[i])) {
      records.push_back({flight.dueSeconds[i], record.latitude, record.longitude});
    }
  }
  std::vector<TimedPlace> positions;
  const double startSeconds = static_cast<double>(startTick_) / 100.0;
  const platform::SimTrace trace = scenario.sim->trace();
  for (const platform::TracePosition& p : trace.positionsOf(flight.objectId)) {
    if (!pushingBack(p.seconds - startSeconds)) {
      positions.push_back({p.seconds - startSeconds, p.latitudeDegrees, p.longitudeDegrees});
    }
  }
  return closestApproaches(records, positions, windowSeconds);
}

std::vector<ReplayScenario::SpeedAtDue> ReplayScenario::speedsAtDue(std::uint32_t key, double fromTrackSeconds,
                                                                  double untilTrackSeconds) const {
  const auto found = flights_.find(key);
  if (found == flights_.end() || found->second.objectId == 0 || found->second.reports.empty()) {
    return {};
  }
  const Flight& flight = found->second;
  const double startSeconds = static_cast<double>(startTick_) / 100.0;
  const platform::SimTrace trace = scenario.sim->trace();
  const std::vector<platform::TracePosition> positions = trace.positionsOf(flight.objectId);
  // The track's second 0 is its first report's time.
  const double trackStart = flight.reports.front().record.timestamp;
  std::vector<SpeedAtDue> speeds;
  for (std::size_t i = 0; i < flight.reports.size(); ++i) {
    const LiveTrafficRecord& record = flight.reports[i].record;
    const double trackSeconds = record.timestamp - trackStart;
    const double due = flight.dueSeconds[i];
    if (record.speedKnots <= 0.0 || std::isnan(due) || trackSeconds < fromTrackSeconds ||
        trackSeconds > untilTrackSeconds) {
      continue;
    }
    const platform::TracePosition* before = nullptr;
    const platform::TracePosition* after = nullptr;
    for (const platform::TracePosition& p : positions) {
      const double seconds = p.seconds - startSeconds;
      if (before == nullptr && seconds >= due - 0.5) {
        before = &p;
      }
      if (seconds <= due + 0.5) {
        after = &p;
      }
    }
    if (before == nullptr || after == nullptr || after->seconds <= before->seconds) {
      continue;
    }
    const double nm = gf_distanceNm({before->latitudeDegrees, before->longitudeDegrees},
                                    {after->latitudeDegrees, after->longitudeDegrees});
    speeds.push_back({due, record.speedKnots, nm * 3600.0 / (after->seconds - before->seconds)});
  }
  return speeds;
}

std::optional<std::pair<double, double>> ReplayScenario::pushback(std::uint32_t key) const {
  const auto found = flights_.find(key);
  if (found == flights_.end() || found->second.pushbacks.empty()) {
    return std::nullopt;
  }
  return found->second.pushbacks.front();
}

std::optional<GeoPoint> ReplayScenario::touchdown(std::uint32_t key) const {
  const auto found = flights_.find(key);
  return found == flights_.end() ? std::nullopt : found->second.touchdown;
}

double ReplayScenario::lowestAltitudeFeet(std::uint32_t key) const {
  double lowest = std::numeric_limits<double>::infinity();
  const auto found = flights_.find(key);
  if (found == flights_.end() || found->second.objectId == 0) {
    return lowest;
  }
  const platform::SimTrace trace = scenario.sim->trace();
  for (const platform::TracePosition& p : trace.positionsOf(found->second.objectId)) {
    lowest = std::min(lowest, p.altitudeFeet);
  }
  return lowest;
}

std::vector<platform::TracePosition> ReplayScenario::tracedPositions(std::uint32_t key) const {
  const auto found = flights_.find(key);
  if (found == flights_.end() || found->second.objectId == 0) {
    return {};
  }
  const platform::SimTrace trace = scenario.sim->trace();
  std::vector<platform::TracePosition> positions;
  for (const std::uint32_t objectId : found->second.objectIds) {
    for (platform::TracePosition p : trace.positionsOf(objectId)) {
      p.seconds -= static_cast<double>(startTick_) / 100.0;
      positions.push_back(p);
    }
  }
  return positions;
}

void ReplayScenario::writePicture(std::uint32_t key, const std::filesystem::path& traceCsv,
                                  const std::filesystem::path& standsCsv, double fromSeconds,
                                  double untilSeconds) const {
  const auto shown = [&](double seconds) { return seconds >= fromSeconds && seconds <= untilSeconds; };
  std::ofstream trace(traceCsv);
  trace << "object,seconds,latitude,longitude,altitude_ft,pitch_rad,bank_rad,heading_rad,vertical_speed_fps,"
           "true_airspeed_kt\n";
  const auto found = flights_.find(key);
  if (found == flights_.end()) {
    return;
  }
  const Flight& flight = found->second;
  for (std::size_t i = 0; i < flight.reports.size(); ++i) {
    const LiveTrafficRecord& r = flight.reports[i].record;
    if (!std::isnan(flight.dueSeconds[i]) && shown(flight.dueSeconds[i])) {
      trace << fmt::format("1,{:.2f},{:.8f},{:.8f},{:.2f},0,0,{:.6f},{:.3f},{:.2f}\n", flight.dueSeconds[i],
                           r.latitude, r.longitude, r.altitudeFeet, r.trackDegrees * kDegreesToRadians,
                           r.verticalSpeedFpm / 60.0, r.speedKnots);
    }
  }
  const double startSeconds = static_cast<double>(startTick_) / 100.0;
  const platform::SimTrace simTrace = scenario.sim->trace();
  for (const platform::TracePosition& p : simTrace.positionsOf(flight.objectId)) {
    if (!shown(p.seconds - startSeconds)) {
      continue;
    }
    trace << fmt::format("{},{:.2f},{:.8f},{:.8f},{:.2f},{:.6f},{:.6f},{:.6f},{:.3f},{:.2f}\n", flight.objectId,
                         p.seconds - startSeconds, p.latitudeDegrees, p.longitudeDegrees, p.altitudeFeet,
                         p.pitchRadians, p.bankRadians, p.headingRadians, p.verticalSpeedFeetPerSecond,
                         p.trueAirspeedKnots);
  }
  std::ofstream stands(standsCsv);
  stands << "name,latitude,longitude,heading_deg,radius_m\n";
  for (const ParkingPosition& stand : scenario.stands) {
    stands << fmt::format("{},{:.8f},{:.8f},{:.1f},{:.1f}\n", stand.name, stand.latitude, stand.longitude,
                          stand.heading * kRadiansToDegrees, stand.radius * 1852.0);
  }
}

}  // namespace crv::testing
