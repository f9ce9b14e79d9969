#include "airports/apf_stand_parser.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <pugixml.hpp>

#include "aircraftdata/type_lookups.h"
#include "airports/apf_log_text.h"
#include "airports/half_hours_text.h"
#include "airports/stand_distances.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"

namespace crv {
namespace {

constexpr int kMaxLoggedWarnings = 20;

bool inRange(double value, double low, double high) { return std::isfinite(value) && value >= low && value <= high; }

// Weekday, kind, registration, airline and type, each text behind its length
// so that no two different entries share a key.
std::string usageKey(const UsageEntry& entry) {
  return fmt::format("{}/{}/{}:{}{}:{}{}:{}", entry.day, entry.kind, entry.reg.size(), entry.reg, entry.airl.size(),
                     entry.airl, entry.type.size(), entry.type);
}

std::size_t countChildren(const pugi::xml_node& node, const char* name) {
  std::size_t count = 0;
  for ([[maybe_unused]] pugi::xml_node child : node.children(name)) ++count;
  return count;
}

}  // namespace

ApfParseWarnings::~ApfParseWarnings() {
  if (count_ > kMaxLoggedWarnings) {
    gf_logWarning(fmt::format("{} more warnings in {}", count_ - kMaxLoggedWarnings, fileName_));
  }
}

void ApfParseWarnings::warn(const std::string& line) {
  if (++count_ <= kMaxLoggedWarnings) gf_logWarning(line);
}

UsageTexts parseUsageEntry(const pugi::xml_node& opt) {
  UsageTexts texts;
  const std::string_view callsigns = opt.attribute("cs").value();
  if (!callsigns.empty()) {
    const std::size_t colon = callsigns.find(':');
    texts.callsign = std::string(callsigns.substr(0, colon));
    if (colon != std::string_view::npos) texts.secondCallsign = std::string(callsigns.substr(colon + 1));
  }
  const std::string_view registration = opt.attribute("reg").value();
  if (!registration.empty()) {
    if (const std::optional<RegistrationData> known = findRegcode(registration)) {
      texts.airline = known->opr.empty() ? known->airl : known->opr;
      texts.type = known->type;
      return texts;
    }
  }
  texts.airline = opt.attribute("airl").value();
  texts.type = opt.attribute("type").value();
  return texts;
}

UsageEntry readUsageEntry(const pugi::xml_node& opt, std::uint32_t fromFile, bool signedDay,
                          ApfParseWarnings& warnings) {
  const auto day = signedDay ? static_cast<std::uint32_t>(opt.attribute("day").as_int(0))
                             : opt.attribute("day").as_uint(0);
  if (day < 1 || day > 7) {
    warnings.warn(fmt::format("usage entry with weekday '{}' in {}", apfLogText(opt.attribute("day").value()),
                              warnings.fileName()));
  }
  UsageTexts texts = parseUsageEntry(opt);
  UsageEntry entry;
  entry.airl = std::move(texts.airline);
  entry.type = std::move(texts.type);
  entry.reg = opt.attribute("reg").value();
  entry.cs = std::move(texts.callsign);
  entry.cs2 = std::move(texts.secondCallsign);
  entry.hh = gf_hours2bitset(opt.attribute("hh").value());
  entry.day = day;
  entry.fromFile = fromFile;
  entry.kind = opt.attribute("soft").as_bool(false) ? kSoftUsage : kRealUsage;
  return entry;
}

bool parseParkPos(const pugi::xml_node& parkpos, const std::string& name, std::uint32_t fromFile,
                  StandTable& stands, ApfParseWarnings& warnings) {
  const double latitude = parkpos.attribute("latitude").as_double(0.0);
  const double longitude = parkpos.attribute("longitude").as_double(0.0);
  if (latitude == 0.0 && longitude == 0.0) return false;
  const double radiusMeters = parkpos.attribute("radius").as_double(0.0);
  if (!inRange(latitude, -90.0, 90.0) || !inRange(longitude, -180.0, 180.0) ||
      !inRange(radiusMeters, 0.0, kMaxStandRadiusMeters)) {
    warnings.warn(fmt::format("stand {} skipped in {}: latitude, longitude or radius out of range", apfLogText(name),
                              warnings.fileName()));
    return false;
  }
  std::vector<UsageEntry> usage;
  usage.reserve(countChildren(parkpos, "opt"));
  std::uint32_t nextId = 1;
  for (pugi::xml_node opt : parkpos.children("opt")) {
    usage.push_back(readUsageEntry(opt, fromFile, false, warnings));
    usage.back().id = nextId++;
  }
  const bool heli = parkpos.attribute("heli").as_bool(false);
  const bool ramp = parkpos.attribute("ramp").as_bool(false);
  const bool cargo = parkpos.attribute("cargo").as_bool(false);
  double headingDegrees = parkpos.attribute("heading").as_double(0.0);
  if (!std::isfinite(headingDegrees)) headingDegrees = 0.0;
  stands.emplace_back(name, std::move(usage),
                      std::array<double, 3>{latitude, longitude, headingDegrees * kDegreesToRadians}, radiusMeters,
                      !cargo, !ramp, !heli);
  return true;
}

bool sameUsage(const UsageEntry& a, const UsageEntry& b) {
  return a.day == b.day && a.kind == b.kind && a.reg == b.reg && a.airl == b.airl && a.type == b.type &&
         (a.hh & b.hh).any();
}

bool parseLearnedStand(const pugi::xml_node& parkpos, ParkingPosition& stand, ApfParseWarnings& warnings) {
  if (stand.name != parkpos.attribute("id").value()) return false;
  if (parkpos.attribute("radius_change").as_bool(false)) {
    const double radiusMeters = parkpos.attribute("radius").as_double(0.0);
    if (inRange(radiusMeters, 0.0, kMaxStandRadiusMeters)) {
      stand.radius = metersToNm(radiusMeters);
      stand.radius_change = true;
    } else {
      warnings.warn(fmt::format("learned radius of stand {} out of range in {}", apfLogText(stand.name),
                                warnings.fileName()));
    }
  }
  if (parkpos.attribute("cargo_change").as_bool(false)) {
    stand.cargo = parkpos.attribute("cargo").as_bool(false);
    stand.cargo_change = true;
  }
  if (!parkpos.child("opt")) return true;
  // The stand's entries by what sameUsage compares besides the half hours, so
  // that a long usage list is not searched once for every new entry.
  std::unordered_map<std::string, std::vector<std::size_t>> entriesByUse;
  for (std::size_t index = 0; index < stand.usage.size(); ++index) {
    entriesByUse[usageKey(stand.usage[index])].push_back(index);
  }
  std::uint32_t nextId = nextUsageId(stand.usage);
  for (pugi::xml_node opt : parkpos.children("opt")) {
    UsageEntry candidate = readUsageEntry(opt, 0, true, warnings);
    std::vector<std::size_t>& sameKind = entriesByUse[usageKey(candidate)];
    const bool known = std::any_of(sameKind.begin(), sameKind.end(), [&](std::size_t index) {
      return sameUsage(stand.usage[index], candidate);
    });
    if (known) continue;
    candidate.id = nextId++;
    sameKind.push_back(stand.usage.size());
    stand.usage.push_back(std::move(candidate));
  }
  return true;
}

}  // namespace crv
