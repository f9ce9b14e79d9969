#include "airports/half_hours_text.h"

#include <fmt/format.h>

#include <cstdint>
#include <limits>

#include "airports/apf_log_text.h"
#include "foundation/log.h"

namespace crv {
namespace {

// The item's number, or -1 when it has no digit or overflows.
std::int64_t readHalfHourItem(std::string_view item) {
  std::size_t index = 0;
  bool negative = false;
  if (index < item.size() && item[index] == '-') {
    negative = true;
    ++index;
  }
  std::int64_t value = 0;
  bool anyDigit = false;
  constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
  for (; index < item.size() && item[index] >= '0' && item[index] <= '9'; ++index) {
    anyDigit = true;
    value = value * 10 + (item[index] - '0');
    if (value > kLimit) return -1;
  }
  if (!anyDigit) return -1;
  return negative ? -value : value;
}

}  // namespace

std::string bitsetToHours(const HalfHourSet& hours) {
  std::string text;
  for (std::size_t h = 0; h < hours.size(); ++h) {
    if (!hours.test(h)) continue;
    if (!text.empty()) text += ',';
    text += std::to_string(h);
  }
  return text;
}

HalfHourSet gf_hours2bitset(std::string_view text) {
  HalfHourSet hours;
  if (text.empty()) return hours;
  // A hostile text may hold thousands of bad items: a few warnings say enough.
  constexpr int kMaxWarnings = 3;
  int warnings = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    const std::string_view item = text.substr(start, comma == std::string_view::npos ? text.npos : comma - start);
    const std::int64_t halfHour = readHalfHourItem(item);
    if (halfHour >= 0 && halfHour < kSlotsPerDay) {
      hours.set(static_cast<std::size_t>(halfHour));
    } else if (++warnings <= kMaxWarnings) {
      gf_logWarning(fmt::format("gf_hours2bitset invalid hour '{}' in {}", apfLogText(item), apfLogText(text)));
    }
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  if (warnings > kMaxWarnings) {
    gf_logWarning(fmt::format("gf_hours2bitset {} more invalid hours in {}", warnings - kMaxWarnings, apfLogText(text)));
  }
  return hours;
}

}  // namespace crv
