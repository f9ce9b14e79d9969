// The aircraft-type database (dbase.xml, as it comes out of decryption): a
// document is refused with UserErrorException 61 or gives consistent
// tables.

#include <algorithm>
#include <cmath>
#include <string_view>
#include <pugixml.hpp>

#include "aircraftdata/aircraft_database.h"
#include "foundation/errors.h"
#include "fuzz/support/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using crv::fuzz::require;
  pugi::xml_document document;
  if (!document.load_buffer(data, size)) {
    return 0;
  }
  crv::AircraftDatabase db;
  try {
    db = crv::buildAircraftDatabase(document);
  } catch (const crv::UserErrorException& error) {
    require(std::string_view(error.what()).starts_with("61: "), "a section without a value is error 61");
    return 0;
  }
  require(!db.typeSets.all.empty(), "an accepted database knows types");
  double largest = 0.0;
  for (const auto& [type, halfSpan] : db.halfSpanMap) {
    require(std::isfinite(halfSpan) && halfSpan >= 0.0, "every half span finite and not negative");
    largest = std::max(largest, halfSpan);
  }
  require(db.maxHalfSpan == largest, "the largest half span is the largest of the map");
  for (const double average : db.categorySpanAverage) {
    require(std::isfinite(average) && average >= 0.0, "every category half span finite and not negative");
  }
  for (const auto& [wrong, correct] : db.fixMap) {
    require(db.typeSets.all.contains(correct), "every fix leads to a known type");
  }
  for (const std::string& registration : db.shortRegistrations) {
    require(db.knownRegistrations.contains(registration) && registration.size() < 6, "short registrations known");
  }
  require(std::is_sorted(db.shortRegistrations.begin(), db.shortRegistrations.end()), "short registrations sorted");
  return 0;
}
