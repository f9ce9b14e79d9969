// Parked live and static aircraft stay within the count wanted at the park
// airport; the parking adjustment reads and thins the parked live aircraft.

#include <algorithm>
#include <span>
#include <utility>
#include <cstdint>

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/settings.h"
#include "traffic/live/live_rules.h"
#include "traffic/record_labels.h"
#include "traffic/traffic_engine.h"

namespace crv {

namespace {

// A parked aircraft that no longer approaches its stand has left it.
constexpr std::int64_t kParkedSilenceSeconds = 90;
constexpr std::int64_t kHeavyParkedSilenceSeconds = 180;

bool parkedActive(const LiveAc& a) { return a.phase == FlightPhase::parked && a.state == SimState::active; }

}  // namespace

std::vector<ParkedAge> LiveRules::parkedLiveByAge() const {
  std::vector<ParkedAge> ages;
  for (const LiveAc& a : engine_.liveAircraft()) {
    if (parkedActive(a)) {
      ages.push_back({a.base.key, (nowTick() - a.motion.standLastApproachTick) / kTicksPerSecond});
    }
  }
  std::stable_sort(ages.begin(), ages.end(), [](const ParkedAge& x, const ParkedAge& y) { return x.seconds > y.seconds; });
  return ages;
}

void LiveRules::enforceMaxPark(std::int32_t extra) {
  const std::int32_t wanted = engine_.display().wantedStaticCount.load();
  if (par_RT_PARKTRAFFIC_ONLY.value() || wanted < 1) {
    return;
  }
  const std::span<const LiveAc> live = std::as_const(engine_).liveAircraft();
  const auto parkedLive = std::count_if(live.begin(), live.end(), parkedActive);
  const std::int64_t parked = parkedLive + extra;
  const bool log = par_LOG.value();
  if (parked > wanted && !par_INITIAL_LOAD_ONLY.value()) {
    for (const ParkedAge& age : parkedLiveByAge()) {
      LiveAc* oldest = engine_.findLiveByKey(age.key);
      if (oldest != nullptr && oldest->state == SimState::active) {
        if (log) {
          gf_logLine(fmt::format("{:8}: {} live max park exceeded, removed", engine_.standLabel(oldest->standId),
                                 formatRecordLine(oldest->base.identity)));
        }
        engine_.removeAircraftFromSim(*oldest);
        break;
      }
    }
  }
  const std::span<const StaticAc> statics = std::as_const(engine_).staticAircraft();
  const auto staticParked = std::count_if(statics.begin(), statics.end(), [](const StaticAc& s) {
    return s.state == SimState::active || s.state == SimState::removingfromsim;
  });
  if (staticParked + parked <= wanted) {
    return;
  }
  // The static aircraft placed earliest in the week, whatever its state:
  // one already leaving is not queued again, and no other goes for it. A
  // record whose create was cancelled is gone already, though the table
  // erases it only at the end of the step.
  StaticAc* earliest = nullptr;
  for (StaticAc& s : engine_.staticAircraft()) {
    if (s.eraseRequested()) {
      continue;
    }
    if (earliest == nullptr ||
        DaySlot::fromPacked(s.slot).weekIndex() < DaySlot::fromPacked(earliest->slot).weekIndex()) {
      earliest = &s;
    }
  }
  if (earliest != nullptr) {
    if (log) {
      gf_logLine(fmt::format("{:8}: {} static max park exceeded, removed", engine_.standLabel(earliest->standId),
                             formatRecordLine(earliest->base.identity)));
    }
    engine_.removeAircraftFromSim(*earliest);
  }
}

void LiveRules::removeLiveParked(std::size_t count) {
  const std::vector<ParkedAge> ages = parkedLiveByAge();
  for (std::size_t i = 0; i < count && i < ages.size(); ++i) {
    LiveAc* aircraft = engine_.findLiveByKey(ages[i].key);
    if (aircraft == nullptr) {
      continue;
    }
    gf_logLine(fmt::format("live parked {} at {} removed", formatRecordLine(aircraft->base.identity),
                           engine_.standLabel(aircraft->standId)));
    engine_.removeAircraftFromSim(*aircraft);
  }
}

std::vector<ParkedLive> LiveRules::collectParkedLive() {
  std::vector<ParkedLive> parked;
  for (LiveAc& a : engine_.liveAircraft()) {
    if (!parkedActive(a)) {
      continue;
    }
    if (a.motion.standReached) {
      parked.push_back({a.base.identity.callsign, a.standId, 0});
      continue;
    }
    const std::int64_t seconds = (nowTick() - a.motion.standLastApproachTick) / kTicksPerSecond;
    const std::int64_t limit =
        a.base.category == SizeCategory::Heavy ? kHeavyParkedSilenceSeconds : kParkedSilenceSeconds;
    if (seconds > limit && !par_INITIAL_LOAD_ONLY.value()) {
      engine_.removeAircraftFromSim(a, fmt::format("no record near its stand for {} s (limit {} s)", seconds, limit));
    } else {
      parked.push_back({a.base.identity.callsign, a.standId, seconds});
    }
  }
  std::stable_sort(parked.begin(), parked.end(), [](const ParkedLive& x, const ParkedLive& y) {
    return x.secondsSinceApproach < y.secondsSinceApproach;
  });
  return parked;
}

std::int32_t LiveRules::avgLiveParkedWait(bool show) {
  std::int32_t count = 0;
  std::int64_t halfHours = 0;
  const int nowIndex = currentSlot().weekIndex();
  for (const LiveAc& a : engine_.liveAircraft()) {
    if (!parkedActive(a)) {
      continue;
    }
    ++count;
    const int placedIndex = DaySlot::fromPacked(a.slot).weekIndex();
    if (placedIndex < nowIndex) {
      halfHours += nowIndex - placedIndex;
    }
  }
  if (show) {
    const double hours = count == 0 ? 0.0 : static_cast<double>(halfHours) / (count * 2.0);
    if (hours != averageLiveParkedHours_) {
      averageLiveParkedHours_ = hours;
      if (engine_.hooks().repaint) {
        engine_.hooks().repaint();
      }
    }
  }
  return count;
}

}  // namespace crv
