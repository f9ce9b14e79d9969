// A parked live aircraft watches its new feed points: small moves around the
// stand are noise, a clear move away means it leaves (or was towed), and
// the points near the stand tell when it set off.

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include <fmt/format.h>

#include "foundation/geodesy.h"
#include "traffic/live/live_rules.h"
#include "traffic/motion/motion_support.h"
#include "traffic/record_labels.h"
#include "traffic/traffic_engine.h"

namespace crv {

namespace {

constexpr double kApproachLimitNm = 0.0458963282937365;    // 85 m
constexpr double kParkedLeaveLimitNm = 0.10799136069114472;  // 200 m
constexpr double kStepNm = 0.0016198704103671706;          // 3 m
constexpr std::int32_t kStepsAwayToLeave = 3;
// The generated point of a parked aircraft lies a week ahead.
constexpr std::int64_t kWeekTicks = 60480000;
constexpr std::int32_t kAdvanceTicks = 3000;
constexpr std::int32_t kDelayTicks = 3000;
constexpr std::int32_t kTakeOffRollDelayTicks = 5000;

// Parked for less than this, an aircraft that leaves was towed, not flown.
std::int64_t towedBelowTicks(SizeCategory category) {
  switch (category) {
    case SizeCategory::Buzjets:
      return 90000;  // 15 minutes
    case SizeCategory::Large:
      return 150000;  // 25 minutes
    case SizeCategory::Heavy:
      return 360000;  // one hour
    default:
      return 0;
  }
}

// The records of a standing aircraft scatter by a few metres about where it
// stands. One that reports no speed farther than this from the middle of
// those before, beside the record before it, shows it came to rest in a new
// place.
constexpr double kNewRestMeters = 6.0;
constexpr double kStepMeters = kStepNm * kMetersPerNm;
// Closer than this to where the aircraft rested, a record that reports no
// speed shows it still there.
constexpr double kRestScatterMeters = 3.0;
// Readings of the records that fit them within the scatter of one record
// (a metre and a half off) fit them alike: the latest set-off of those holds.
constexpr double kSameFitSquaredMeters = 2.25;
// Records that move away slower than this (0.5 kt) show no set-off.
constexpr double kLeastSetOffMetersPerSecond = 0.25;
constexpr double kKnotsToMetersPerSecond = kMetersPerNm / 3600.0;

// Metres east and north of the first record: the few metres about a stand
// are flat.
struct Offset {
  double east = 0.0;
  double north = 0.0;
};

Offset offsetBetween(const StandRecord& origin, const StandRecord& record) {
  const double metersPerDegree = 60.0 * kMetersPerNm;
  return {(record.longitude - origin.longitude) * metersPerDegree * std::cos(origin.latitude * kDegreesToRadians),
          (record.latitude - origin.latitude) * metersPerDegree};
}

double lengthOf(Offset o) { return std::hypot(o.east, o.north); }

// Keeps the record among the latest ones near the stand; those from before
// the aircraft came to rest in a new place are of no more use.
void noteStandRecord(LiveAc& aircraft, const PathPoint& point) {
  std::vector<StandRecord>& records = aircraft.motion.standRest.records;
  const StandRecord record{point.dueTick, point.latitude, point.longitude, point.speedKnots};
  if (point.speedKnots < motion::kRestKnots && !records.empty()) {
    Offset middle;
    for (const StandRecord& before : records) {
      const Offset o = offsetBetween(record, before);
      middle.east += o.east;
      middle.north += o.north;
    }
    const auto count = static_cast<double>(records.size());
    const Offset fromMiddle{middle.east / count, middle.north / count};
    if (lengthOf(fromMiddle) > kNewRestMeters && lengthOf(offsetBetween(record, records.back())) < kStepMeters) {
      records.clear();
    }
  }
  if (records.size() == StandRest::kKeptRecords) {
    records.erase(records.begin());
  }
  records.push_back(record);
}

// A record near the stand as the set-off is read from it: seconds from the
// first, metres from it, the speed it reported.
struct Sample {
  double seconds = 0.0;
  Offset place;
  double knots = 0.0;
};

// One way to read the records: the first `resting` show the aircraft at
// rest, scattered about the middle of their positions; from the set-off on
// it moves away from there at one speed, as the others show.
struct SetOffReading {
  double setOffSeconds = 0.0;
  double squaredMeters = 0.0;  // how far the records lie from what it says
};

std::optional<SetOffReading> readSetOff(const std::vector<Sample>& samples, std::size_t resting,
                                        double fallbackMetersPerSecond) {
  const std::size_t count = samples.size();
  Offset rest;
  for (std::size_t i = 0; i < resting; ++i) {
    rest.east += samples[i].place.east / static_cast<double>(resting);
    rest.north += samples[i].place.north / static_cast<double>(resting);
  }
  const auto fromRest = [&](std::size_t i) {
    return Offset{samples[i].place.east - rest.east, samples[i].place.north - rest.north};
  };
  SetOffReading reading;
  for (std::size_t i = 0; i < resting; ++i) {
    const double meters = lengthOf(fromRest(i));
    reading.squaredMeters += meters * meters;
  }
  for (std::size_t i = resting; i < count; ++i) {
    // A record that reports no speed where the aircraft rested was still there.
    if (samples[i].knots < motion::kRestKnots && lengthOf(fromRest(i)) < kRestScatterMeters) {
      return std::nullopt;
    }
  }
  // The way it went: to the last record.
  const Offset last = fromRest(count - 1);
  const double lastMeters = lengthOf(last);
  if (lastMeters <= 0.0) {
    return std::nullopt;
  }
  const auto along = [&](std::size_t i) {
    const Offset o = fromRest(i);
    return (o.east * last.east + o.north * last.north) / lastMeters;
  };
  // The speed and set-off that fit the moving records best; one alone is
  // timed by its own speed.
  const auto moving = static_cast<double>(count - resting);
  double meanSeconds = 0.0;
  double meanAlong = 0.0;
  for (std::size_t i = resting; i < count; ++i) {
    meanSeconds += samples[i].seconds / moving;
    meanAlong += along(i) / moving;
  }
  double spread = 0.0;
  double together = 0.0;
  for (std::size_t i = resting; i < count; ++i) {
    spread += (samples[i].seconds - meanSeconds) * (samples[i].seconds - meanSeconds);
    together += (samples[i].seconds - meanSeconds) * (along(i) - meanAlong);
  }
  double metersPerSecond = spread > 0.0 ? together / spread : 0.0;
  if (!(metersPerSecond >= kLeastSetOffMetersPerSecond)) {
    metersPerSecond = fallbackMetersPerSecond;
    meanSeconds = samples[count - 1].seconds;
    meanAlong = along(count - 1);
  }
  // It set off after the last record that showed it at rest and before the
  // first that showed it moving.
  reading.setOffSeconds = std::clamp(meanSeconds - meanAlong / metersPerSecond, samples[resting - 1].seconds,
                                     samples[resting].seconds);
  for (std::size_t i = resting; i < count; ++i) {
    const double meters = lengthOf(fromRest(i));
    const double a = along(i);
    const double miss = a - metersPerSecond * (samples[i].seconds - reading.setOffSeconds);
    reading.squaredMeters += miss * miss + std::max(meters * meters - a * a, 0.0);
  }
  return reading;
}

// When the recorded aircraft set off: of the ways to read its records near
// the stand as a rest and then a move away at one speed, the one they fit
// best, or the latest of those that fit them alike. It never sets off before
// a record that showed it at rest. (Surface records may report little more
// than half the speed their positions show, and a standing aircraft a few
// knots: the positions tell.)
std::int64_t setOffTick(const LiveAc& aircraft, const PathPoint& leaving) {
  const std::vector<StandRecord>& records = aircraft.motion.standRest.records;
  if (records.size() < 2) {
    return leaving.dueTick;
  }
  const StandRecord& first = records.front();
  std::vector<Sample> samples;
  for (const StandRecord& record : records) {
    samples.push_back({static_cast<double>(record.dueTick - first.dueTick) / static_cast<double>(kTicksPerSecond),
                       offsetBetween(first, record), record.speedKnots});
  }
  const double reportedKnots = records.back().speedKnots;
  const double fallbackMetersPerSecond =
      (reportedKnots > 0.0 ? reportedKnots : motion::performanceOf(aircraft).taxiSpeedKnots) * kKnotsToMetersPerSecond;
  std::vector<std::optional<SetOffReading>> readings;
  double fewestSquaredMeters = std::numeric_limits<double>::infinity();
  for (std::size_t resting = 1; resting < samples.size(); ++resting) {
    readings.push_back(readSetOff(samples, resting, fallbackMetersPerSecond));
    if (readings.back()) {
      fewestSquaredMeters = std::min(fewestSquaredMeters, readings.back()->squaredMeters);
    }
  }
  std::optional<SetOffReading> chosen;
  for (const std::optional<SetOffReading>& reading : readings) {
    if (reading && reading->squaredMeters <= fewestSquaredMeters + kSameFitSquaredMeters) {
      chosen = reading;
    }
  }
  if (!chosen) {
    return leaving.dueTick;
  }
  return first.dueTick + std::llround(chosen->setOffSeconds * static_cast<double>(kTicksPerSecond));
}

}  // namespace

bool LiveRules::checkStandApproach(LiveAc& aircraft, PathPoint& point) {
  LiveMotion& motion = aircraft.motion;
  motion.standReached = true;
  const double distanceNm =
      gf_distanceNm({aircraft.standLatitude, aircraft.standLongitude}, {point.latitude, point.longitude});
  const double limitNm = aircraft.previousPhase == FlightPhase::parking ? 2.0 * kApproachLimitNm : kApproachLimitNm;
  if (distanceNm <= limitNm) {
    motion.standLastApproachTick = nowTick();
    const double halfSpan = aircraft.base.halfSpanNm;
    bool refuse = true;
    if (motion.standLastNm == 0.0) {
      motion.standClosestNm = distanceNm;
      motion.standLastNm = distanceNm;
      motion.standStepsAway = 0;
    } else if (distanceNm >= motion.standLastNm + kStepNm) {
      ++motion.standStepsAway;
      motion.standLastNm = distanceNm;
      const double away = distanceNm - motion.standClosestNm;
      refuse = (motion.standStepsAway < kStepsAwayToLeave || away < halfSpan * 0.5) && away <= halfSpan;
    } else if (distanceNm <= motion.standLastNm - kStepNm) {
      motion.standStepsAway = 0;
    }
    noteStandRecord(aircraft, point);
    if (refuse) {
      motion.leavingStand = false;
      return false;
    }
  } else {
    if (aircraft.phase == FlightPhase::parking) {
      // It drives on elsewhere: the stand it was given is free again.
      if (ParkingPosition* stand = standById(aircraft.standId)) {
        stand->occupied = false;
      }
      aircraft.previousPhase = FlightPhase::parking;
      aircraft.phase = FlightPhase::taxi;
      point.stationary = false;
      return true;
    }
    if (distanceNm > kParkedLeaveLimitNm) {
      engine_.removeAircraftFromSim(
          aircraft, fmt::format("a record {:.0f} m from its stand while parked (limit {:.0f} m)",
                                distanceNm * kMetersPerNm, kParkedLeaveLimitNm * kMetersPerNm));
      return false;
    }
    noteStandRecord(aircraft, point);
  }
  point.stationary = false;
  motion.leavingStand = true;
  // The record comes a feed delay before it falls due, and shows the
  // aircraft some way off already: it set off earlier.
  motion.standLeaveTick = setOffTick(aircraft, point);
  if (aircraft.previousPhase != FlightPhase::parked) {
    updateParkedTimers(aircraft);
    // One that has only just turned active on the stand it was created on
    // has no generated point yet: its stand point waits as well.
    if (!aircraft.path.empty()) {
      aircraft.path.front().dueTick = std::max(aircraft.path.front().dueTick, motion.standLeaveTick);
    }
    aircraft.previousPhase = aircraft.phase;
    aircraft.phase = FlightPhase::parked;
  }
  return true;
}

void LiveRules::updateParkedTimers(LiveAc& aircraft) {
  LiveMotion& motion = aircraft.motion;
  if (aircraft.generatedLegs > 0) {
    if (motion.landed && !aircraft.path.empty()) {
      const std::int64_t parkedTicks = nowTick() - aircraft.path.back().dueTick + kWeekTicks;
      if (parkedTicks < towedBelowTicks(aircraft.base.category)) {
        motion.towed = true;
      }
    }
    motion.landed = false;
    if (!aircraft.path.empty()) {
      aircraft.path.front().dueTick = std::max(nowTick() + 1, motion.standLeaveTick);
    }
    aircraft.generatedLegs = 0;
    motion.earliestAdvanceTicks = kAdvanceTicks;
    motion.latestDelayTicks = motion.takeOffRoll ? kTakeOffRollDelayTicks : kDelayTicks;
  }
  if (!aircraft.base.identity.airline.empty() && aircraft.standCargo == aircraft.base.cargo) {
    const DaySlot slot = currentSlot();
    if (services_.addStandOption && services_.addStandOption(aircraft.standId, aircraft, slot, true)) {
      rememberStandUse(aircraft.base.key, slot);
    }
  }
  if (ParkingPosition* stand = standById(aircraft.standId)) {
    stand->occupied = false;
  }
}

}  // namespace crv
