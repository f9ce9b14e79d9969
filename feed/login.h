#pragma once

// Login to and logout from the RealTraffic service.

#include <atomic>
#include <chrono>
#include <string>

#include "feed/traffic_reader.h"
#include "feed/weather_reader.h"

namespace crv {

// The login on the Weather Reader's object. True when logged in; the status
// is written only when the service refused with 400, 402, 404, 405 or 500,
// or with kStatusStopped when the session's stop flag cut the login short.
bool authenticate(WeatherReader& weatherReader, int& status);
// The handling of the login's answer text, as authenticate does it after the
// transfer; may throw what authenticate catches and logs.
bool takeLoginAnswer(WeatherReader& weatherReader, const std::string& text, int& status);

// The login step of a session (session worker, before the readers start).
// A refused account key (402, 404) or a second session (405) throws
// UserErrorException after showing why; 500 throws std::runtime_error
// "No RT database connection"; every other failure ends the session with a
// reader error. A login cut short by the stop flag is no failure: the
// session is ending already. The GUID goes to the Traffic Reader in every
// case that returns.
void authenticater(WeatherReader& weatherReader, TrafficReader& trafficReader);

// The longest a logout may take: it runs while the program closes.
inline constexpr std::chrono::milliseconds kLogoutLimit{3000};

// The logout on the Traffic Reader's object, within kLogoutLimit (or the
// request timeouts when shorter) and ended early once the stop flag (when
// given) is raised; every outcome is only logged.
void deauthenticate(TrafficReader& trafficReader, const std::atomic<bool>* stop = nullptr);

}  // namespace crv
