#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "airports/stand_table.h"
#include "feed/traffic_records.h"
#include "foundation/geodesy.h"

namespace crv::testing {

// The apron of the test airport.
inline constexpr GeoPoint kApronOrigin{50.0300, 8.5700};

// Rows of stands facing north, named "A1", "A2", ... "B1", ... in table
// order, numbered with their neighbours found.
StandTable standGrid(int rows, int columns, double spacingMeters = 60.0, double radiusMeters = 20.0,
                     GeoPoint origin = kApronOrigin);

// The point at north and east offsets in metres from a point.
GeoPoint offsetMeters(GeoPoint from, double northMeters, double eastMeters);

// A learned usage entry of a DLH A320 on the weekday at the half hours.
UsageEntry dlhUsage(std::uint32_t id, int weekday, std::initializer_list<int> halfHours, std::string callsign,
                    std::string registration, std::string secondCallsign = "");

// A B738 of the feed's parked traffic standing on the named stand of the
// table, registered "N" and its address, parked for age half hours.
ParkedTrafficRecord parkedRecordOn(const StandTable& stands, const std::string& standName, std::uint32_t address,
                                   const std::string& callsign, int age);

}  // namespace crv::testing
