#include "airports/stand_search.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>

#include <gsl/narrow>

#include "airports/stand_distances.h"
#include "foundation/random.h"

namespace crv {

namespace {

constexpr double kNoDistance = 900.0;
constexpr std::int32_t kWorstScore = 100;
constexpr std::size_t kReservedCandidates = 256;
constexpr std::size_t kRetryStandLimit = 10;
constexpr unsigned kGatePercent = 10;  // a draw of 10..99 out of 0..99 wants a gate

using StandFilter = std::function<bool(const ParkingPosition&)>;

// Rounds halves away from zero; throws gsl::narrowing_error when the result
// is no 32-bit integer.
std::int32_t roundToInt32(double value) {
  const double rounded = std::round(value);
  if (!(rounded >= static_cast<double>(std::numeric_limits<std::int32_t>::min()) &&
        rounded <= static_cast<double>(std::numeric_limits<std::int32_t>::max()))) {
    throw gsl::narrowing_error();
  }
  return static_cast<std::int32_t>(rounded);
}

bool anyUsageNamesAircraft(const ParkingPosition& stand, const StandAircraft& aircraft) {
  return std::any_of(stand.usage.begin(), stand.usage.end(), [&aircraft](const UsageEntry& entry) {
    return usageMatchesAircraft(aircraft.callsign, aircraft.airline, aircraft.type, entry);
  });
}

void addCandidate(const ParkingPosition& stand, DaySlot slot, std::int32_t score, const StandAircraft& aircraft,
                  std::int32_t& bestScore, std::vector<StandCandidate>& candidates) {
  if (score > bestScore || stand.isUsedAt(slot)) {
    return;
  }
  bestScore = score;
  const bool named = !aircraft.callsign.empty() && anyUsageNamesAircraft(stand, aircraft);
  candidates.push_back({stand.name, score, named ? 1 : 0});
}

void tightPass(const StandTable& stands, DaySlot slot, double stepNm, const StandAircraft& aircraft,
               const StandFilter& filter, std::vector<StandCandidate>& candidates) {
  std::int32_t bestScore = kWorstScore;
  for (const ParkingPosition& stand : stands) {
    if (filter(stand)) {
      tightFitCandidate(stand, slot, stepNm, aircraft, bestScore, candidates);
    }
  }
}

void loosePass(const StandTable& stands, DaySlot slot, const StandAircraft& aircraft, const StandFilter& filter,
               std::vector<StandCandidate>& candidates) {
  std::int32_t bestScore = kWorstScore;
  for (const ParkingPosition& stand : stands) {
    if (filter(stand)) {
      looseFitCandidate(stand, slot, aircraft, bestScore, candidates);
    }
  }
}

bool wantsGate(std::string_view parkAirportIcao) {
  if (!parkAirportIcao.empty() && parkAirportIcao.front() == 'K') {
    return true;
  }
  return threadRandomEngine()() % 100U >= kGatePercent;
}

bool isPrivateOrSmall(const StandAircraft& aircraft) {
  return aircraft.category == SizeCategory::Light || aircraft.category == SizeCategory::Buzjets ||
         aircraft.airline == "PVT";
}

enum class Fit { Tight, Loose };

struct CandidatePass {
  Fit fit;
  StandFilter filter;
};

// Runs the passes in order until one leaves candidates.
void runPasses(const StandTable& stands, DaySlot slot, const StandAircraft& aircraft,
               const std::vector<CandidatePass>& passes, std::vector<StandCandidate>& candidates) {
  const double stepNm = aircraft.halfSpanNm <= kSizeStepLimitNm ? kSmallStepNm : kLargeStepNm;
  for (const CandidatePass& pass : passes) {
    if (pass.fit == Fit::Tight) {
      tightPass(stands, slot, stepNm, aircraft, pass.filter, candidates);
    } else {
      loosePass(stands, slot, aircraft, pass.filter, candidates);
    }
    if (!candidates.empty()) {
      return;
    }
  }
}

void collectCandidates(const StandTable& stands, DaySlot slot, const StandAircraft& aircraft,
                       std::string_view parkAirportIcao, std::vector<StandCandidate>& candidates) {
  if (aircraft.category == SizeCategory::Rotorcraft) {
    const StandFilter helipad = [](const ParkingPosition& s) { return s.heli; };
    const StandFilter ramp = [](const ParkingPosition& s) { return s.ramp; };
    runPasses(stands, slot, aircraft,
              {{Fit::Tight, helipad}, {Fit::Tight, ramp}, {Fit::Loose, helipad}, {Fit::Loose, ramp}}, candidates);
  } else if (aircraft.cargo) {
    const StandFilter cargoStand = [](const ParkingPosition& s) { return s.cargo && !s.heli; };
    const StandFilter anyStand = [](const ParkingPosition& s) { return !s.heli; };
    runPasses(stands, slot, aircraft,
              {{Fit::Tight, cargoStand}, {Fit::Loose, cargoStand}, {Fit::Tight, anyStand}, {Fit::Loose, anyStand}},
              candidates);
  } else if (isPrivateOrSmall(aircraft)) {
    const StandFilter rampStand = [](const ParkingPosition& s) { return s.ramp && !s.cargo && !s.heli; };
    runPasses(stands, slot, aircraft, {{Fit::Tight, rampStand}, {Fit::Loose, rampStand}}, candidates);
  } else {
    const bool wantGate = wantsGate(parkAirportIcao);
    gateOrRampCandidates(stands, slot, wantGate, aircraft, candidates);
    if (candidates.empty()) {
      gateOrRampCandidates(stands, slot, !wantGate, aircraft, candidates);
    }
  }
}

}  // namespace

StandIterator nearestFreeStand(StandTable& stands, const GeoPoint& position, const StandAircraft& aircraft,
                               double maxDistanceNm, bool useUsage) {
  double bestNm = kNoDistance;
  double bestUsageNm = kNoDistance;
  StandIterator chosen = stands.end();
  StandIterator usageStand = stands.end();
  StandIterator smallStand = stands.end();

  for (auto stand = stands.begin(); stand != stands.end(); ++stand) {
    if (stand->occupied) {
      continue;
    }
    const double distanceNm = gf_distanceNm(position, stand->position());
    const double excessNm = aircraft.halfSpanNm - stand->radius;
    if (distanceNm <= maxDistanceNm && distanceNm < bestNm) {
      if (excessNm <= kFitToleranceNm) {
        chosen = stand;
        bestNm = distanceNm;
        useUsage = false;
      } else if (distanceNm <= kTakeSmallStandNm) {
        chosen = stand;
        bestNm = distanceNm;
        smallStand = stand;
        useUsage = false;
      }
    } else if (useUsage && distanceNm <= kUsageFallbackDistanceNm && distanceNm < bestUsageNm &&
               excessNm <= kFitToleranceNm && !aircraft.callsign.empty() && anyUsageNamesAircraft(*stand, aircraft)) {
      usageStand = stand;
      bestUsageNm = distanceNm;
    }
  }

  if (chosen == stands.end()) {
    chosen = usageStand;
    if (chosen == stands.end()) {
      return stands.end();
    }
  }
  const bool rotorcraft = aircraft.category == SizeCategory::Rotorcraft;
  if (chosen->heli != rotorcraft) {
    return stands.end();
  }
  if (chosen == smallStand) {
    chosen->radius = aircraft.halfSpanNm - kEnlargementMarginNm;
    chosen->radius_change = true;
    countStandUpdate();
  }
  return chosen;
}

void tightFitCandidate(const ParkingPosition& stand, DaySlot slot, double stepNm, const StandAircraft& aircraft,
                       std::int32_t& bestScore, std::vector<StandCandidate>& candidates) {
  if (aircraft.halfSpanNm - stand.radius > kFitToleranceNm) {
    return;
  }
  const std::int32_t score = roundToInt32((stand.radius - aircraft.halfSpanNm) / stepNm);
  addCandidate(stand, slot, score, aircraft, bestScore, candidates);
}

void looseFitCandidate(const ParkingPosition& stand, DaySlot slot, const StandAircraft& aircraft,
                       std::int32_t& bestScore, std::vector<StandCandidate>& candidates) {
  const std::int32_t score = roundToInt32(std::fabs(aircraft.halfSpanNm - stand.radius));
  addCandidate(stand, slot, score, aircraft, bestScore, candidates);
}

void gateOrRampCandidates(const StandTable& stands, DaySlot slot, bool wantGate, const StandAircraft& aircraft,
                          std::vector<StandCandidate>& candidates) {
  const StandFilter gateOrRamp = [wantGate](const ParkingPosition& s) {
    return !s.cargo && !s.heli && s.ramp != wantGate;
  };
  runPasses(stands, slot, aircraft, {{Fit::Tight, gateOrRamp}, {Fit::Loose, gateOrRamp}}, candidates);
}

StandIterator collectStandCandidates(StandTable& stands, DaySlot slot, const StandAircraft& aircraft, bool retry,
                                     std::string_view parkAirportIcao) {
  std::vector<StandCandidate> candidates;
  candidates.reserve(kReservedCandidates);
  collectCandidates(stands, slot, aircraft, parkAirportIcao, candidates);

  if (candidates.empty()) {
    if (!retry || stands.size() > kRetryStandLimit) {
      return stands.end();
    }
    return collectStandCandidates(stands, slot.next(), aircraft, false, parkAirportIcao);
  }

  std::shuffle(candidates.begin(), candidates.end(), threadRandomEngine());
  std::sort(candidates.begin(), candidates.end(), [](const StandCandidate& a, const StandCandidate& b) {
    if (a.match != b.match) {
      return a.match > b.match;
    }
    return a.score < b.score;
  });
  return findStandByName(stands, candidates.front().name);
}

}  // namespace crv
