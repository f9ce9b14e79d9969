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

struct ParkedFileRequest {
  std::string icao;          // the current park airport
  GeoPoint airportPosition;  // its position
  // The user's aircraft, when its position is known.
  std::optional<GeoPoint> userPosition;
  bool userOnGround = false;
};

struct ParkedFileResult {
  // Empty on success, else a text for the caller to show.
  std::string message;
  // The user's stand of the list when the airport has it (now marked
  // reserved in the table); empty when none.
  std::string reservedStand;
  // The altitude the airport file gives, when it was read: the park
  // airport's elevation from now on.
  std::optional<double> elevationFeet;
};

// Empties the table and reads the airport's files into it. The message is
// "lf_readParkedFile <ICAO> not found", "lf_readParkedFile <ICAO> has
// publisher:unknown, <path>", or what gf_readApf answered. A
// UserErrorException of the reader passes on.
ParkedFileResult lf_readParkedFile(const ParkedFileRequest& request, ParkAirportList& parkAirports, StandTable& stands,
                                   ParkAirportHeader& header, QualityFactors& quality);

// Airports with this many stands or more no longer learn soft usage once
// their real quality factor reaches kSoftLearningRealFactor.
inline constexpr std::size_t kSoftLearningStandLimit = 20;

}  // namespace crv
