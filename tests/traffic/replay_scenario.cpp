#include "tests/traffic/replay_scenario.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "foundation/geodesy.h"

namespace crv::testing {

namespace {

constexpr double kMetersPerNm = 1852.0;

double percentile(std::vector<double> sorted, double fraction) {
  const auto index = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(sorted.size()))) - 1;
  return sorted[std::min(index, sorted.size() - 1)];
}

}  // namespace

LagFigures lagFigures(const std::vector<RecordLag>& lags) {
  LagFigures figures;
  figures.records = lags.size();
  if (lags.empty()) {
    return figures;
  }
  std::vector<double> magnitudes;
  for (const RecordLag& lag : lags) {
    magnitudes.push_back(std::fabs(lag.lagSeconds()));
  }
  std::sort(magnitudes.begin(), magnitudes.end());
  figures.medianAbsSeconds = percentile(magnitudes, 0.5);
  figures.p95AbsSeconds = percentile(magnitudes, 0.95);
  figures.largestAbsSeconds = magnitudes.back();
  return figures;
}

ReplayScenario::ReplayScenario(StandTable grid) : scenario(std::move(grid)) { startTick_ = scenario.engine.tick(); }

double ReplayScenario::secondsNow() const {
  return static_cast<double>(scenario.engine.tick() - startTick_) / 100.0;
}

std::size_t ReplayScenario::addFlight(std::uint32_t key, const std::string& callsign, const std::string& type,
                                      const std::vector<TrackPoint>& track) {
  Flight& flight = flights_[key];
  flight.reports = decodeTrack(key, callsign, type, track, kApronOrigin, kApronOrigin);
  for (const DecodedReport& report : flight.reports) {
    queue_.push_back({startTick_ + std::llround(report.handedOverSeconds * 100.0), report.record});
  }
  std::stable_sort(queue_.begin() + static_cast<std::ptrdiff_t>(nextReport_), queue_.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
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

void ReplayScenario::feedDueReports() {
  // Every report that reached the feed by now, in one live batch.
  std::vector<LiveTrafficRecord> batch;
  for (; nextReport_ < queue_.size() && queue_[nextReport_].first <= scenario.engine.tick(); ++nextReport_) {
    batch.push_back(queue_[nextReport_].second);
  }
  if (!batch.empty()) {
    scenario.engine.intakeTrafficBatch(batch, kLiveDelaySeconds);
  }
}

void ReplayScenario::watchGround() {
  for (auto& [key, flight] : flights_) {
    if (const LiveAc* aircraft = scenario.engine.findLiveByKey(key); aircraft != nullptr && aircraft->objectId != 0) {
      flight.objectId = aircraft->objectId;
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

double ReplayScenario::dueSecondsOf(const DecodedReport& report) const {
  return report.handedOverSeconds + static_cast<double>(kLiveDelaySeconds);
}

std::vector<RecordLag> ReplayScenario::lags(std::uint32_t key, double windowSeconds) const {
  std::vector<RecordLag> result;
  const auto found = flights_.find(key);
  if (found == flights_.end() || found->second.objectId == 0) {
    return result;
  }
  const platform::SimTrace trace = scenario.sim->trace();
  const auto& positions = trace.positionsOf(found->second.objectId);
  const double startSeconds = static_cast<double>(startTick_) / 100.0;
  for (const DecodedReport& report : found->second.reports) {
    if (report.record.speedKnots <= 0.0) {
      continue;  // a standing record is passed for as long as it stands
    }
    const double due = dueSecondsOf(report);
    RecordLag lag{due, 0.0, std::numeric_limits<double>::infinity()};
    for (const platform::TracePosition& p : positions) {
      const double seconds = p.seconds - startSeconds;
      if (std::fabs(seconds - due) > windowSeconds) {
        continue;
      }
      const double meters =
          gf_distanceNm({p.latitudeDegrees, p.longitudeDegrees}, {report.record.latitude, report.record.longitude}) *
          kMetersPerNm;
      if (meters < lag.closestMeters) {
        lag.closestMeters = meters;
        lag.closestSeconds = seconds;
      }
    }
    if (std::isfinite(lag.closestMeters)) {
      result.push_back(lag);
    }
  }
  return result;
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

}  // namespace crv::testing
