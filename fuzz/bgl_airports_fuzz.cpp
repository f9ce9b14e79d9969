// BGL scenery files: any bytes either give airports whose stands are
// usable (a position on the globe, a radius in range, ids unique within the
// airport) or end with std::out_of_range, never a crash or hang.

#include <cmath>
#include <set>
#include <stdexcept>

#include "airportscan/bgl_airports.h"
#include "airportscan/scan_log.h"
#include "fuzz/support/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const crv::BglWords words(crv::fuzz::inputText(data, size));
  crv::ScanLog log;
  for (const bool msfs2020 : {true, false}) {
    try {
      crv::walkBglAirports(words, msfs2020, [&log](const crv::BglAirportRecordRef& ref, const crv::BglWords& fileWords) {
        crv::fuzz::require(ref.icao.size() == 4, "an airport code has four characters");
        crv::ApfRecord airport;
        const std::int32_t feet = crv::readBglAirportAltitude(ref.startWord, fileWords);
        crv::fuzz::require(feet >= -20 && feet <= 10000, "the altitude is in range");
        crv::BglAirportReading reading("fuzz.bgl", log);
        crv::readBglAirportStands(ref, fileWords, airport, reading);
        std::set<std::string> ids;
        for (const crv::ParkingPosition& stand : airport.stands) {
          crv::fuzz::require(std::fabs(stand.latitude) <= 90.0 && std::fabs(stand.longitude) <= 180.0,
                             "a stand lies on the globe");
          crv::fuzz::require(stand.heli || (stand.radius > 1.0 / 1852.0 && stand.radius < 200.0 / 1852.0),
                             "a parking's radius is in range");
          crv::fuzz::require(ids.insert(stand.name).second, "stand ids are unique within the airport");
        }
      });
    } catch (const std::out_of_range&) {
    }
    log.takeLines();
  }
  return 0;
}
