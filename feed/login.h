#pragma once

// Login to and logout from the RealTraffic service.

#include <string>

#include "feed/traffic_reader.h"
#include "feed/weather_reader.h"

namespace crv {

// The login on the Weather Reader's object. True when logged in; the status
// is written only when the service refused with 400, 402, 404, 405 or 500.
bool authenticate(WeatherReader& weatherReader, int& status);
// The handling of the login's answer text, as authenticate does it after the
// transfer; may throw what authenticate catches and logs.
bool takeLoginAnswer(WeatherReader& weatherReader, const std::string& text, int& status);

// The login step of a session (session worker, before the readers start).
// A refused account key (402, 404) or a second session (405) throws
// UserErrorException after showing why; 500 throws std::runtime_error
// "No RT database connection"; every other failure ends the session with a
// reader error. The GUID goes to the Traffic Reader in every case that
// returns.
void authenticater(WeatherReader& weatherReader, TrafficReader& trafficReader);

// The logout on the Traffic Reader's object; every outcome is only logged.
void deauthenticate(TrafficReader& trafficReader);

}  // namespace crv
