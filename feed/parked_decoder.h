#pragma once

// The decoding of one parked aircraft (an array keyed by its ICAO address)
// into a ParkedTrafficRecord.

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "feed/feed_hooks.h"
#include "feed/traffic_records.h"

namespace crv {

// What the parked decoder reads of other threads, taken once per answer.
struct ParkedDecodeContext {
  std::string reservedStandName;
  std::string userStandName;
  const FeedHooks* hooks = nullptr;
};

// Decodes the array that stood under the key text and appends its record,
// or nothing. Never throws: a malformed array is dropped with a warning.
void processParkedTrafficLine(std::string_view keyText, const nlohmann::json& array,
                              const ParkedDecodeContext& context, std::vector<ParkedTrafficRecord>& records);

// The type the fleet of parked aircraft is stored under: "A380" to "A388",
// "B767" to "B763", "B747" to "B744", "B757" to "B752".
std::string parkedTypeVariant(std::string type);

}  // namespace crv
