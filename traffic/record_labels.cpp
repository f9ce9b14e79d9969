#include "traffic/record_labels.h"

#include <fmt/format.h>

#include "foundation/settings.h"
#include "foundation/text.h"

namespace crv {

namespace {

constexpr std::size_t kMaxCallsignLength = 8;
constexpr std::string_view kUnknownCallsign = "@@@@@@@@";

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool isCategoryEnabled(SizeCategory category) {
  switch (category) {
    case SizeCategory::Light: return par_LIGHT_AIRCRAFT.value();
    case SizeCategory::HighPerf: return par_HIGH_PERF_AIRCRAFT.value();
    case SizeCategory::Rotorcraft: return par_HELICOPTERS.value();
    case SizeCategory::Buzjets:
    case SizeCategory::Large:
    case SizeCategory::Heavy: return true;
  }
  return false;
}

bool hasValidCallsign(const AircraftIdentity& identity) {
  const std::string& callsign = identity.callsign;
  return !callsign.empty() && callsign != kUnknownCallsign && callsign.size() <= kMaxCallsignLength;
}

std::optional<std::string> airlineFromCallsign(std::string_view callsign) {
  if (callsign.size() < 4 || !isLetter(callsign[0]) || !isLetter(callsign[1]) || !isLetter(callsign[2]) ||
      !isDigit(callsign[3])) {
    return std::nullopt;
  }
  return toUpper(callsign.substr(0, 3));
}

bool setAirlineFromCallsign(AircraftIdentity& identity) {
  std::optional<std::string> airline = airlineFromCallsign(identity.callsign);
  if (!airline) {
    return false;
  }
  identity.airline = std::move(*airline);
  return true;
}

std::string formatAirlineType(const AircraftIdentity& identity) {
  return fmt::format("{:3} {:4}", identity.airline, identity.icaoType);
}

bool sameAirlineType(const AircraftIdentity& a, const AircraftIdentity& b) {
  return a.airline == b.airline && a.icaoType == b.icaoType;
}

std::string routeLabel(const AircraftIdentity& identity) {
  if (identity.departure.empty() && identity.destination.empty()) {
    return std::string(8, ' ');
  }
  return fmt::format("{:3}->{:3}", identity.departure, identity.destination);
}

std::string formatRecordLine(const AircraftIdentity& identity) {
  return fmt::format("{} {}", fmt::format("{} {:8} {}", routeLabel(identity), identity.callsign, identity.registration),
                     formatAirlineType(identity));
}

std::string formatRecordLine3(const AircraftIdentity& identity) {
  return fmt::format("{} {} {}", fmt::format("{:8}", identity.callsign), identity.registration,
                     formatAirlineType(identity));
}

std::string noMatchKey(const AircraftIdentity& identity) {
  return fmt::format("{} {}", formatAirlineType(identity), identity.registration);
}

void precedingHalfHourSlots(std::vector<std::uint32_t>& halfHours, int count, DaySlot slot) {
  for (int i = 0; i < count; ++i) {
    halfHours.push_back(static_cast<std::uint32_t>(slot.halfHour));
    slot = slot.previous();
  }
}

}  // namespace crv
