#pragma once

// What an airport file holds for one airport, as its writer takes it and its
// reader fills it.

#include <cstdint>
#include <string>
#include <vector>

#include "airports/parking_position.h"

namespace crv {

// How much usage the stands of an airport carry: 0..100 each for real and
// soft usage, -1 when no stand has any. Carried as one 64-bit value with the
// real factor in the low 32 bits.
struct QualityFactors {
  std::int32_t real = -1;
  std::int32_t soft = -1;

  std::uint64_t packed() const {
    return static_cast<std::uint32_t>(real) | (static_cast<std::uint64_t>(static_cast<std::uint32_t>(soft)) << 32U);
  }
  friend bool operator==(const QualityFactors&, const QualityFactors&) = default;
};

inline constexpr const char* kUnknownPublisher = "unknown";

// One airport's header data and stands for the airport-file writer.
struct ApfRecord {
  std::string icao;
  std::string airportName;
  std::string bglPath;  // scenery file the stands came from, written as BGLpath
  std::string publisher = kUnknownPublisher;
  std::string manufacturer;
  std::string creator;
  QualityFactors quality;
  std::int32_t altitudeFeet = 0;
  bool handmade = false;
  std::vector<ParkingPosition> stands;  // written in this order
};

// The park airport's header as its airport file gave it.
struct ParkAirportHeader {
  std::string airportName;
  std::string publisher;
  std::int32_t altitudeFeet = 0;
  std::int32_t rtTrafficWeek = 0;  // RT_traffic_week, 0 when the file has none
};

// The two ways of writing an airport file.
enum class ApfWriteMode : std::uint32_t {
  // The learned file of the park airport: bare or learned stand forms, usage
  // entries and the per-airport settings.
  Learned = 0,
  // A generated airport file: every stand in full form, no usage.
  Full = 1,
};

}  // namespace crv
