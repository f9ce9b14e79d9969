#include "traffic/static_ac.h"

namespace crv {

StaticAc makeStaticAc(const AircraftBase& base, std::uint32_t standId, const StandPlace& stand, bool noCabinLight) {
  StaticAc aircraft;
  copyAcBase(aircraft.base, base);
  aircraft.standId = standId;
  aircraft.standLatitude = stand.latitude;
  aircraft.standLongitude = stand.longitude;
  aircraft.standHeadingRadians = stand.headingRadians;
  aircraft.standCargo = noCabinLight;
  return aircraft;
}

}  // namespace crv
