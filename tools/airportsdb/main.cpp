// Builds the program's airports database (airports_msfs.xml) and airport
// names (airports_msfs_names.xml) from the public OurAirports list.
//
//   crvn-airportsdb <ourairports-medium-large.json> <output folder>

#include <exception>
#include <iostream>

#include <fmt/format.h>

#include "tools/airportsdb/airports_db_generator.h"

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::cerr << "usage: crvn-airportsdb <ourairports.json> <output folder>\n";
    return 2;
  }
  try {
    const crv::airportsdb::GenerationCounts counts = crv::airportsdb::generateAirportFiles(argv[1], argv[2]);
    std::cout << fmt::format(
        "{} airports written to {} ({} without ICAO code, {} without position, {} repeated codes left out; "
        "{} without elevation kept at 0 ft)\n",
        counts.airports, argv[2], counts.withoutCode, counts.badPosition, counts.duplicateCode,
        counts.withoutElevation);
    return 0;
  } catch (const std::exception& error) {
    std::cerr << "crvn-airportsdb: " << error.what() << '\n';
    return 1;
  }
}
