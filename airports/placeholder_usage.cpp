#include "airports/placeholder_usage.h"

#include <fmt/format.h>

#include <cmath>

#include "aircraftdata/type_lookups.h"
#include "foundation/clock.h"
#include "foundation/geodesy.h"
#include "foundation/random.h"

namespace crv {
namespace {

const std::vector<AirlineTypePair> kCargoPairs{
    {"FDX", "C208"}, {"FDX", "B752"}, {"FDX", "B763"}, {"UPS", "A306"}, {"DHK", "B763"}};
const std::vector<AirlineTypePair> kRampPairs{
    {"PVT", "C172"}, {"PVT", "C206"}, {"PVT", "P28A"}, {"PVT", "PC12"}, {"PVT", "C550"}, {"PVT", "TBM9"},
    {"PVT", "LJ25"}, {"PVT", "GLF6"}, {"PVT", "FA6X"}, {"PVT", "FA8X"}, {"PVT", "GLF4"}, {"PVT", "GLF5"},
    {"PVT", "LJ60"}, {"PVT", "DHC7"}, {"PVT", "DH8A"}, {"PVT", "DH8C"}, {"PVT", "E550"}, {"PVT", "CL30"},
    {"PVT", "GA6C"}};
const std::vector<AirlineTypePair> kGatePairsC{{"ACA", "B789"}, {"ACA", "B38M"}, {"ROU", "A321"}, {"JZA", "CRJ9"}};
const std::vector<AirlineTypePair> kGatePairsE{{"KLM", "B77W"}, {"SAS", "A320"}, {"EZY", "A320"}, {"RYR", "B738"},
                                               {"DLH", "A320"}, {"KLM", "B738"}, {"BAW", "A21N"}};
const std::vector<AirlineTypePair> kGatePairsK{{"UAL", "B77W"}, {"DAL", "B739"}, {"JBU", "BCS3"}, {"FFT", "A320"},
                                               {"UAL", "B78X"}, {"UAL", "B738"}, {"AAL", "B738"}, {"SKW", "E75L"},
                                               {"SWA", "B737"}, {"FFT", "A320"}};
const std::vector<AirlineTypePair> kGatePairsR{{"ANA", "A20N"}, {"JAL", "A35K"}, {"JAL", "B738"}};
const std::vector<AirlineTypePair> kGatePairsZ{{"CSA", "A320"}, {"CES", "A333"}, {"CES", "A321"}};
constexpr AirlineTypePair kHelipadPair{"PVT", "EC35"};
constexpr AirlineTypePair kAnyGatePair{"ZZZ", "B738"};

const std::vector<AirlineTypePair>* gateGroup(char firstLetter) {
  switch (firstLetter) {
    case 'C': return &kGatePairsC;
    case 'E': return &kGatePairsE;
    case 'K': return &kGatePairsK;
    case 'R': return &kGatePairsR;
    case 'Z': return &kGatePairsZ;
    default: return nullptr;
  }
}

std::vector<AirlineTypePair> candidatesFor(const ParkingPosition& stand, std::string_view parkIcao) {
  std::vector<AirlineTypePair> candidates;
  if (stand.heli) {
    candidates.push_back(kHelipadPair);
  } else if (stand.cargo) {
    addFittingPairs(stand, kCargoPairs, candidates);
  } else if (stand.ramp) {
    addFittingPairs(stand, kRampPairs, candidates);
  } else if (const auto* group = gateGroup(parkIcao.empty() ? '\0' : parkIcao.front())) {
    addFittingPairs(stand, *group, candidates);
  } else {
    candidates.push_back(kAnyGatePair);
  }
  return candidates;
}

}  // namespace

void addFittingPairs(const ParkingPosition& stand, const std::vector<AirlineTypePair>& group,
                     std::vector<AirlineTypePair>& candidates) {
  for (const AirlineTypePair& pair : group) {
    if (isSameRadiusStep(stand, wingspanOfType(pair.second))) candidates.push_back(pair);
  }
}

void addPlaceholderUsage(std::string_view parkIcao, StandTable& stands, DaySlot slot) {
  if (!slot.isValid()) return;
  std::uint32_t number = 1;
  for (ParkingPosition& stand : stands) {
    const std::vector<AirlineTypePair> candidates = candidatesFor(stand, parkIcao);
    if (candidates.empty()) continue;
    const AirlineTypePair& chosen =
        candidates.size() == 1 ? candidates.front() : candidates[threadRandomEngine()() % candidates.size()];
    UsageEntry entry;
    entry.airl = chosen.first;
    entry.type = chosen.second;
    entry.reg = fmt::format("REGFAKE{}", number);
    entry.cs = fmt::format("FAKE{}", number);
    entry.hh.set(static_cast<std::size_t>(slot.halfHour));
    entry.id = nextUsageId(stand.usage);
    entry.day = static_cast<std::uint32_t>(slot.weekday);
    entry.fromFile = 1;
    entry.kind = kSoftUsage;
    entry.placeholder = true;
    stand.usage.push_back(std::move(entry));
    ++number;
  }
}

void addPlaceholderUsage(std::string_view parkIcao, StandTable& stands) {
  addPlaceholderUsage(parkIcao, stands, weekdayAndSlot());
}

}  // namespace crv
