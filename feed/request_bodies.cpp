#include "feed/request_bodies.h"

#include <fmt/format.h>

#include <cmath>

#include "foundation/version.h"

namespace crv {

std::string percentEncode(std::string_view text) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                            (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                            byte == '~';
    if (unreserved) {
      encoded.push_back(c);
    } else {
      encoded.push_back('%');
      encoded.push_back(kHexDigits[byte >> 4]);
      encoded.push_back(kHexDigits[byte & 0x0F]);
    }
  }
  return encoded;
}

std::string loginBody(std::string_view accountKey) {
  return fmt::format("license={}&software={}", percentEncode(accountKey),
                     percentEncode(fmt::format("{}_{}", kProgramName, kProgramVersionText)));
}

std::string logoutBody(std::string_view guid) { return fmt::format("GUID={}", percentEncode(guid)); }

std::string historyBody(std::string_view guid, const QueryBox& box, int timeOffsetMinutes) {
  return fmt::format(
      "GUID={}&top={:.2F}&bottom={:.2F}&left={:.2F}&right={:.2F}&querytype=locationtraffic&toffset={}"
      "&buffercount={}&buffertime={}",
      percentEncode(guid), box.top, box.bottom, box.left, box.right, timeOffsetMinutes, kHistorySnapshotCount,
      kHistorySnapshotSpacingSeconds);
}

std::string liveTrafficBody(std::string_view guid, const QueryBox& box, int timeOffsetMinutes) {
  return fmt::format("GUID={}&top={:.2F}&bottom={:.2F}&left={:.2F}&right={:.2F}&querytype=locationtraffic&toffset={}",
                     percentEncode(guid), box.top, box.bottom, box.left, box.right, timeOffsetMinutes);
}

std::string parkedTrafficBody(std::string_view guid, const QueryBox& box, int timeOffsetMinutes) {
  return fmt::format("GUID={}&top={:.2F}&bottom={:.2F}&left={:.2F}&right={:.2F}&querytype=parkedtraffic&toffset={}",
                     percentEncode(guid), box.top, box.bottom, box.left, box.right, timeOffsetMinutes);
}

std::string nearestMetarBody(std::string_view guid, int timeOffsetMinutes, double latitude, double longitude) {
  return fmt::format("GUID={}&toffset={}&lat={:.4F}&lon={:.4F}", percentEncode(guid), timeOffsetMinutes, latitude,
                     longitude);
}

long long weatherAltitudeFeet(double altitudeFeet) {
  if (!(altitudeFeet >= 1.0)) {
    return 0;
  }
  if (altitudeFeet > 1.0e9) {
    return 1000000000;
  }
  return static_cast<long long>(std::trunc(altitudeFeet));
}

std::string weatherBody(std::string_view guid, int timeOffsetMinutes, double latitude, double longitude,
                        double altitudeFeet, std::string_view station) {
  return fmt::format("GUID={}&querytype=locwx&toffset={}&lat={:.4F}&lon={:.4F}&alt={}&airports={}",
                     percentEncode(guid), timeOffsetMinutes, latitude, longitude, weatherAltitudeFeet(altitudeFeet),
                     percentEncode(station));
}

}  // namespace crv
