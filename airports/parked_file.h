#pragma once

// Loading the current park airport's stands when it is chosen: the base file
// and the learned file, the soft-learning rule, the user's own stand there
// and the reserved stand.

#include <optional>
#include <string>

#include "airports/apf_record.h"
#include "airports/park_airports.h"
#include "airports/stand_table.h"
#include "foundation/geodesy.h"

namespace crv {

// The stand reserved for the user's aircraft at the current park airport.
// Worker thread only; the panel shows a published copy.
inline std::string reservedStandName;

struct ParkedFileRequest {
  std::string icao;          // the current park airport
  GeoPoint airportPosition;  // its position
  // The user's aircraft, when its position is known.
  std::optional<GeoPoint> userPosition;
  bool userOnGround = false;
};

// Empties the table and reads the airport's files into it. Empty on success,
// else a text for the caller to show: "lf_readParkedFile <ICAO> not found",
// "lf_readParkedFile <ICAO> has publisher:unknown, <path>", or what
// gf_readApf answered. A UserErrorException of the reader passes on.
std::string lf_readParkedFile(const ParkedFileRequest& request, ParkAirportList& parkAirports, StandTable& stands,
                              ParkAirportHeader& header, QualityFactors& quality);

// Airports with this many stands or more no longer learn soft usage once
// their real quality factor reaches kSoftLearningRealFactor.
inline constexpr std::size_t kSoftLearningStandLimit = 20;

}  // namespace crv
