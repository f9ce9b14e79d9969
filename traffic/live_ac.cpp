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

}  // namespace crv
