#pragma once

// The decoding of one live aircraft array (48 values) into a
// LiveTrafficRecord. The decoder is also the feed's filter: an aircraft that
// fails a rule is dropped here, before the engine sees it.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "feed/feed_hooks.h"
#include "feed/traffic_records.h"
#include "foundation/geodesy.h"

namespace crv {

inline constexpr std::size_t kLiveArraySize = 48;
// Bounds of a believable aircraft: one whose ground speed, track, vertical
// speed or altitude lies outside them is dropped. A true airspeed or a bank
// outside them is taken as not reported.
inline constexpr double kMaximumGroundSpeedKnots = 2000.0;
inline constexpr double kMaximumTrueAirspeedKnots = 2000.0;
inline constexpr double kMaximumVerticalSpeedFpm = 30000.0;
inline constexpr double kMaximumAltitudeFeet = 100000.0;
inline constexpr double kMaximumBankDegrees = 180.0;
// A ground aircraft is kept only this close to the park airport.
inline constexpr double kGroundTrafficRadiusNm = 5.0;

// What the decoder reads of other threads, taken once per answer.
struct LiveDecodeContext {
  int qnhHpa = 1013;
  std::optional<double> parkElevationFeet;
  GeoPoint ownPosition;
  double rangeNm = 40.0;
  std::string blockedCallsign;
  std::optional<GeoPoint> parkAirport;
  bool buffering = false;
  const FeedHooks* hooks = nullptr;
};

// What the decoder keeps from one array to the next (reader thread only).
struct LiveDecodeState {
  // Raised at every reader reset: the next blocked aircraft is reported.
  bool blockedReportArmed = true;
  std::string lastBlockedCallsign;
  // Callsigns and keys seen while buffering, not yet handed over.
  std::set<std::string> bufferedCallsigns;
  std::set<std::uint32_t> bufferedKeys;
  // Feed seconds of the last decoded record (published by the reader with
  // its batch).
  double latestTimestamp = 0.0;
};

// Decodes one array and appends its record to the vector, or nothing. Never
// throws: a malformed array is dropped (and logged unless it failed a
// plausibility check).
void processLine(const nlohmann::json& array, const LiveDecodeContext& context, LiveDecodeState& state,
                 std::vector<LiveTrafficRecord>& records);

// Within -90..90 and -180..180, and not next to 0,0 (both within 0.0001).
bool isPlausiblePosition(double latitude, double longitude);

// "{:.6f},{:.6f}"
std::string formatLatLon(double latitude, double longitude);

// The true airspeed assumed when none is reported, by altitude.
double defaultTrueAirspeedKnots(double altitudeFeet);

}  // namespace crv
