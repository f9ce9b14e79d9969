#pragma once

// The thread bodies of the two readers. The session starts each on a
// detached thread after the login, the Weather Reader first; each raises its
// reader's ended flag however it ends.

#include "feed/traffic_reader.h"
#include "feed/weather_reader.h"

namespace crv {

inline constexpr const char* kTrafficReaderThreadName = "Traffic Reader";
inline constexpr const char* kWeatherReaderThreadName = "Weather Reader";

// On an error end they stop the other reader and report the thread error.
void gf_trafficReader(TrafficReader& trafficReader, RtClient& weatherReader);
void gf_weatherReader(WeatherReader& weatherReader, RtClient& trafficReader);

// The indented log line "<thread name> connected".
void logConnected(const char* threadName);

}  // namespace crv
