#pragma once

// Checks of the stand table against the live aircraft.

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "airports/stand_table.h"
#include "traffic/live_ac.h"

namespace crv::testing {

// The stands marked occupied that no live aircraft holds: none that was
// given the stand and stays (its record is not going, it is not leaving the
// simulator).
inline std::vector<std::string> standsOccupiedByNobody(const StandTable& stands, std::span<const LiveAc> live) {
  std::vector<std::string> names;
  for (const ParkingPosition& stand : stands) {
    const bool held = std::any_of(live.begin(), live.end(), [&stand](const LiveAc& a) {
      return a.standId == stand.id && !a.eraseRequested() && !a.removeOnceCreated &&
             a.state != SimState::removingfromsim;
    });
    if (stand.occupied && !held) names.push_back(stand.name);
  }
  return names;
}

}  // namespace crv::testing
