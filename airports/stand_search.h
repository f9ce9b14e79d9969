#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "aircraftdata/size_category.h"
#include "airports/stand_table.h"
#include "foundation/day_slot.h"
#include "foundation/geodesy.h"

namespace crv {

// What the stand searches need to know of an aircraft. The traffic engine
// fills it from its aircraft record; the texts must outlive the search.
struct StandAircraft {
  std::string_view callsign;
  std::string_view airline;
  std::string_view type;
  double halfSpanNm = 0.0;
  SizeCategory category = SizeCategory::Large;
  bool cargo = false;  // a freighter
};

// One candidate of the slot search; a lower score is a better fit, match is 1
// when a usage entry of the stand names the aircraft.
struct StandCandidate {
  std::string name;
  std::int32_t score = 0;
  std::int32_t match = 0;
};

// The nearest stand that is not occupied and that the aircraft fits (half
// span at most 1.8 m beyond the radius) within maxDistanceNm. A stand that is
// too small is taken when the aircraft is within 20 m of it, and is then
// enlarged to the half span less 1 m (radius_change is set, standUpdates()
// grows). With useUsage, and only when no stand lies within maxDistanceNm,
// the nearest fitting stand within 85 m whose usage names the aircraft is
// taken. A helipad goes to a rotorcraft only and a rotorcraft only to a
// helipad; otherwise the answer is the end of the table.
StandIterator nearestFreeStand(StandTable& stands, const GeoPoint& position, const StandAircraft& aircraft,
                               double maxDistanceNm, bool useUsage);

// A stand for the aircraft that is free at the slot, chosen from the best
// fitting candidates by the stand kind that suits the aircraft (helipads for
// a rotorcraft, cargo stands for a freighter, ramp stands for a light or
// private aircraft, gates or ramp stands for the others; at an airport whose
// code begins with K an airliner gets a gate whenever one fits). With retry,
// at an airport of ten stands or fewer, the next half hour is tried once when
// nothing is free. The end of the table when nothing fits.
StandIterator collectStandCandidates(StandTable& stands, DaySlot slot, const StandAircraft& aircraft, bool retry,
                                     std::string_view parkAirportIcao);

// The inner passes of collectStandCandidates, each over all stands in table
// order; they append candidates to the list. step is 14 m or 21 m.
void tightFitCandidate(const ParkingPosition& stand, DaySlot slot, double stepNm, const StandAircraft& aircraft,
                       std::int32_t& bestScore, std::vector<StandCandidate>& candidates);
void looseFitCandidate(const ParkingPosition& stand, DaySlot slot, const StandAircraft& aircraft,
                       std::int32_t& bestScore, std::vector<StandCandidate>& candidates);
void gateOrRampCandidates(const StandTable& stands, DaySlot slot, bool wantGate, const StandAircraft& aircraft,
                          std::vector<StandCandidate>& candidates);

}  // namespace crv
