#pragma once

// The form bodies of the RealTraffic requests. Text values are
// percent-encoded; numbers are written as the service expects them.

#include <string>
#include <string_view>

namespace crv {

// Letters, digits and "-._~" stay, every other byte becomes %XX.
std::string percentEncode(std::string_view text);

// An area of a traffic request, in degrees.
struct QueryBox {
  double top = 0.0;
  double bottom = 0.0;
  double left = 0.0;
  double right = 0.0;

  friend bool operator==(const QueryBox&, const QueryBox&) = default;
};

inline constexpr int kHistorySnapshotCount = 5;
inline constexpr int kHistorySnapshotSpacingSeconds = 6;
// The largest time offset the service accepts: four weeks in minutes.
inline constexpr int kMaximumTimeOffsetMinutes = 40320;

std::string loginBody(std::string_view accountKey);
std::string logoutBody(std::string_view guid);
std::string historyBody(std::string_view guid, const QueryBox& box, int timeOffsetMinutes);
std::string liveTrafficBody(std::string_view guid, const QueryBox& box, int timeOffsetMinutes);
std::string parkedTrafficBody(std::string_view guid, const QueryBox& box, int timeOffsetMinutes);
std::string nearestMetarBody(std::string_view guid, int timeOffsetMinutes, double latitude, double longitude);
// The altitude goes in whole feet, truncated, and 0 when below 1.
std::string weatherBody(std::string_view guid, int timeOffsetMinutes, double latitude, double longitude,
                        double altitudeFeet, std::string_view station);

// The whole feet of the weather request's "alt" field.
long long weatherAltitudeFeet(double altitudeFeet);

}  // namespace crv
