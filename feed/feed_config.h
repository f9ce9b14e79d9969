#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "feed/rt_http.h"

namespace crv {

// Waits the duration unless the flag is raised first; true when the whole
// time passed.
using PaceWait = std::function<bool(std::chrono::milliseconds duration, const std::atomic<bool>& stop)>;

// Where and how the feed reaches the RealTraffic API.
struct FeedConfig {
  // Scheme and host, without a trailing slash: "https://<host>".
  std::string endpoint;
  // The user's RealTraffic account key; never written to the log.
  std::string accountKey;
  RequestTimeouts timeouts;
  // How long requestParkedTraffic waits for the reader, and its step.
  std::chrono::milliseconds parkedWaitLimit{10000};
  std::chrono::milliseconds parkedPollStep{100};
  // How long a refused login stays on the status line before it ends the
  // session.
  std::chrono::milliseconds refusalPause{10000};
  // The pauses that keep the service's pace: between data requests and
  // after the login. Empty: the machine's steady clock.
  PaceWait paceWait;

  std::string url(std::string_view path) const { return endpoint + std::string(path); }
};

inline constexpr std::string_view kAuthPath = "/v4/auth";
inline constexpr std::string_view kDeauthPath = "/v4/deauth";
inline constexpr std::string_view kTrafficPath = "/v4/traffic";
inline constexpr std::string_view kNearestMetarPath = "/v4/nearestmetar";
inline constexpr std::string_view kWeatherPath = "/v4/weather";

}  // namespace crv
