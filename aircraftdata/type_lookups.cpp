#include "aircraftdata/type_lookups.h"

#include <algorithm>
#include <charconv>

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/text.h"

namespace crv {

namespace {

constexpr std::size_t kMinimumSplitRegistration = 5;
constexpr std::size_t kIcaoPrefixLength = 4;

bool containsIgnoringCase(std::string_view text, std::string_view name) {
  const auto found = std::search(text.begin(), text.end(), name.begin(), name.end(),
                                 [](char a, char b) { return toLowerChar(a) == toLowerChar(b); });
  return found != text.end();
}

}  // namespace

SizeCategory categoryOfType(const AircraftDatabase& database, std::string_view type) {
  const auto found = database.categoryByType.find(type);
  return found == database.categoryByType.end() ? SizeCategory::Light : found->second;
}

SizeCategory categoryOfTypeSets(const TypeSets& sets, std::string_view type) {
  if (sets.large.contains(type)) {
    return SizeCategory::Large;
  }
  if (sets.heavy.contains(type)) {
    return SizeCategory::Heavy;
  }
  if (sets.buzjet.contains(type)) {
    return SizeCategory::Buzjets;
  }
  if (sets.rotorcraft.contains(type)) {
    return SizeCategory::Rotorcraft;
  }
  if (sets.highPerformance.contains(type)) {
    return SizeCategory::HighPerf;
  }
  return SizeCategory::Light;
}

SizeCategory aircraftCategory(std::string_view type) { return categoryOfType(aircraftDatabase(), type); }

double wingspanOfType(std::string_view type) {
  const AircraftDatabase& db = aircraftDatabase();
  if (const auto found = db.halfSpanMap.find(type); found != db.halfSpanMap.end()) {
    return found->second;
  }
  return db.categorySpanAverage[categoryIndex(categoryOfType(db, type))];
}

double largestHalfWingSpan() { return aircraftDatabase().maxHalfSpan; }

bool isKnownType(std::string_view type) {
  return !type.empty() && aircraftDatabase().typeSets.all.contains(type);
}

bool isIcaoAirline(std::string_view airline) {
  return !airline.empty() && aircraftDatabase().icaoAirlines.contains(airline);
}

std::vector<std::string> registrationVariants(std::string_view registration) {
  std::vector<std::string> variants;
  variants.reserve(3);
  if (registration.size() >= kMinimumSplitRegistration && registration.front() != 'N' &&
      registration.find('-') == std::string_view::npos) {
    variants.push_back(fmt::format("{}-{}", registration.substr(0, 2), registration.substr(2)));
    variants.push_back(fmt::format("{}-{}", registration.substr(0, 1), registration.substr(1)));
  }
  variants.emplace_back(registration);
  return variants;
}

std::optional<RegistrationData> findRegcode(std::string_view registration) {
  if (registration.empty()) {
    return std::nullopt;
  }
  const auto& known = aircraftDatabase().knownRegistrations;
  for (const std::string& variant : registrationVariants(registration)) {
    if (const auto found = known.find(variant); found != known.end()) {
      return found->second;
    }
  }
  return std::nullopt;
}

std::string regcodeOperator(std::string_view registration) {
  const auto data = findRegcode(registration);
  return data ? data->opr : std::string();
}

std::string regcodeAirline(std::string_view registration) {
  const auto data = findRegcode(registration);
  return data ? data->airl : std::string();
}

std::optional<std::string> findRegcodeInText(std::string_view text) {
  for (const std::string& registration : aircraftDatabase().shortRegistrations) {
    if (!registration.empty() && text.find(registration) != std::string_view::npos) {
      return registration;
    }
  }
  return std::nullopt;
}

std::string findPublisher(std::string_view text) {
  for (const std::vector<std::string>& names : aircraftDatabase().publisherNames) {
    for (const std::string& name : names) {
      if (!name.empty() && containsIgnoringCase(text, name)) {
        return names.front();
      }
    }
  }
  return "unknown";
}

std::size_t publisherCount() { return aircraftDatabase().publisherNames.size(); }

bool checkThirdpartyLine(ThirdpartyLineContext& context, std::string_view line) {
  if (!line.starts_with(context.icao)) {
    return false;
  }
  const std::string_view rest = line.size() > kIcaoPrefixLength ? line.substr(kIcaoPrefixLength) : "";
  const std::string number = trim(rest);
  int count = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), count);
  (void)end;
  if (error != std::errc()) {
    gf_logWarning(fmt::format("{} {} {} {}", context.publisher, context.icao, line, "invalid number"));
  } else {
    context.parkingCount = count;
  }
  return true;
}

const TextHashMap<std::string>& modelFixMap() { return aircraftDatabase().fixMap; }

const TextSet& simAddonAirportSet() { return aircraftDatabase().simaddonAirports20; }

const std::vector<ThirdpartyAirports>& thirdpartyAirportLists(bool msfs2024) {
  const AircraftDatabase& db = aircraftDatabase();
  return msfs2024 ? db.thirdpartyAirports24 : db.thirdpartyAirports20;
}

}  // namespace crv
