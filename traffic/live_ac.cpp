#include "traffic/live_ac.h"

namespace crv {

LiveAc makeLiveAc(const AircraftBase& base, const PathPoint& firstPoint, double timestamp) {
  LiveAc aircraft;
  copyAcBase(aircraft.base, base);
  aircraft.lastRecordTime = timestamp;
  aircraft.lastRecordDueTick = firstPoint.dueTick;
  aircraft.path.push_back(firstPoint);
  return aircraft;
}

bool keepsRecordsHeardBeforeActive(const LiveAc& aircraft) {
  return aircraft.phase == FlightPhase::birth ||
         (aircraft.phase == FlightPhase::parked && aircraft.state == SimState::adding2sim);
}

void holdRecordHeardBeforeActive(LiveAc& aircraft, const PathPoint& point) {
  constexpr std::size_t kMostRecordsHeld = 64;
  std::vector<PathPoint>& held = aircraft.motion.standRecordsWaiting;
  if (held.size() == kMostRecordsHeld) {
    held.erase(held.begin());
  }
  held.push_back(point);
  aircraft.motion.standRecordsPending = true;
}

}  // namespace crv
