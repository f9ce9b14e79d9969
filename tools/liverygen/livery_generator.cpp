#include "tools/liverygen/livery_generator.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include <fmt/format.h>
#include <pugixml.hpp>

namespace crv::liverygen {

namespace {

struct WeightedType {
  std::string_view type;
  double weight;
};

// Airliners as often as they fly: the narrow-bodies lead, then regional and
// wide-body types.
constexpr WeightedType kAirliners[] = {
    {"A320", 10}, {"B738", 10}, {"A321", 6}, {"A20N", 6}, {"A21N", 5}, {"A319", 5}, {"B38M", 5},
    {"B739", 3},  {"B737", 3},  {"E190", 3}, {"E75L", 3}, {"A333", 3}, {"B77W", 3}, {"B789", 3},
    {"A359", 3},  {"E195", 2},  {"CRJ9", 2}, {"CRJ7", 2}, {"DH8D", 2}, {"AT76", 2}, {"AT72", 2},
    {"A332", 2},  {"B752", 2},  {"B763", 2}, {"B772", 2}, {"B788", 2}, {"BCS3", 2}, {"A388", 1},
    {"B744", 1},  {"B748", 1},  {"MD11", 1}, {"A339", 1}, {"B39M", 1}, {"B734", 1}, {"B733", 1},
    {"E145", 1},  {"CRJ2", 1},  {"A318", 0.5}, {"B753", 0.5}, {"A35K", 0.5}, {"B77L", 0.5}, {"A306", 0.5},
};

constexpr std::string_view kLightTypes[] = {"C172", "C152", "P28A", "SR22", "PC12", "BE58", "C208", "DA40",
                                            "DA62", "TBM9", "C182", "M20P", "BE36", "PA46", "C310", "DHC6"};
constexpr std::string_view kBusinessJets[] = {"C25A", "C56X", "CL60", "GLF5", "GLEX", "E55P", "LJ45",
                                              "PC24", "C68A", "FA7X", "GLF6", "C525", "CL30", "H25B"};
constexpr std::string_view kHelicopters[] = {"EC35", "EC45", "AS50", "R44", "B407", "S76", "A109", "H60"};

// Registration patterns: '@' a letter, '#' a digit.
constexpr std::string_view kRegistrationPatterns[] = {
    "N###@@", "D-A@@@", "G-@@@@", "F-H@@@", "EI-@@@", "C-F@@@", "VH-@@@", "JA###@", "B-####", "HB-J@@",
    "9V-S@@", "A6-E@@", "PH-@@@", "OE-L@@", "SE-R@@", "EC-M@@", "I-@@@@", "PR-@@@", "XA-@@@", "HL####",
    "VT-@@@", "SP-L@@", "OK-@@@", "TC-J@@", "ZS-@@@", "CS-T@@", "LN-@@@", "OH-L@@", "HS-T@@", "9M-@@@"};

constexpr std::string_view kPublisherPrefixes[] = {"AIG ", "FSLTL_", "JF "};

using Random = std::mt19937;

std::size_t uniformIndex(Random& random, std::size_t size) {
  return std::uniform_int_distribution<std::size_t>(0, size - 1)(random);
}

double uniformUnit(Random& random) { return std::uniform_real_distribution<double>(0.0, 1.0)(random); }

std::string fillPattern(Random& random, std::string_view pattern) {
  std::string text;
  for (char c : pattern) {
    if (c == '@') {
      text += static_cast<char>('A' + uniformIndex(random, 26));
    } else if (c == '#') {
      text += static_cast<char>('0' + uniformIndex(random, 10));
    } else {
      text += c;
    }
  }
  return text;
}

class ListBuilder {
 public:
  ListBuilder(const AircraftDatabase& database, std::uint32_t seed) : database_(database), random_(seed) {}

  Random& random() { return random_; }

  bool isKnownType(std::string_view type) const { return database_.typeSets.all.count(type) > 0; }
  bool isCargoType(std::string_view type) const { return database_.typeSets.cargo.count(type) > 0; }

  // A registration of the pattern that no livery has yet; a pattern that is
  // used up grows by one letter.
  std::string uniqueRegistration(std::string_view pattern) {
    std::string grown(pattern);
    for (int attempt = 1;; ++attempt) {
      if (attempt % 64 == 0) grown += '@';
      std::string registration = fillPattern(random_, grown);
      if (registrations_.insert(registration).second) return registration;
    }
  }

  std::string uniqueTitle(std::string title) {
    if (titles_.insert(title).second) return title;
    for (int copy = 2;; ++copy) {
      std::string numbered = fmt::format("{} #{}", title, copy);
      if (titles_.insert(numbered).second) return numbered;
    }
  }

  void add(std::string airline, std::string_view type, std::string title, std::string registration, bool cargo) {
    LiveryData livery;
    livery.airl = std::move(airline);
    livery.type = std::string(type);
    livery.title = uniqueTitle(std::move(title));
    livery.atcid = std::move(registration);
    livery.folderIndex = 1 + static_cast<std::uint32_t>(uniformIndex(random_, 10));
    livery.cargo = cargo;
    liveries_.push_back(std::move(livery));
  }

  LiveryList take() { return std::move(liveries_); }
  const LiveryList& liveries() const { return liveries_; }

 private:
  const AircraftDatabase& database_;
  Random random_;
  std::set<std::string> registrations_;
  std::set<std::string> titles_;
  LiveryList liveries_;
};

// The database's airlines, then made-up codes that no airline has, until
// there are enough.
std::vector<std::string> chooseAirlines(const AircraftDatabase& database, std::size_t count, Random& random) {
  std::vector<std::string> airlines(database.icaoAirlines.begin(), database.icaoAirlines.end());
  std::shuffle(airlines.begin(), airlines.end(), random);
  if (airlines.size() > count) airlines.resize(count);
  std::set<std::string> taken(airlines.begin(), airlines.end());
  taken.insert(std::string(kGenericAirline));
  taken.insert(std::string(kPrivateAirline));
  while (airlines.size() < count) {
    std::string code = fillPattern(random, "@@@");
    if (taken.insert(code).second) airlines.push_back(std::move(code));
  }
  return airlines;
}

std::vector<WeightedType> knownAirliners(const ListBuilder& builder, bool cargoOnly) {
  std::vector<WeightedType> types;
  for (const WeightedType& entry : kAirliners) {
    if (!builder.isKnownType(entry.type)) continue;
    if (cargoOnly && !builder.isCargoType(entry.type)) continue;
    types.push_back(entry);
  }
  return types;
}

// Up to count types drawn by weight without repeats.
std::vector<WeightedType> drawFleet(std::vector<WeightedType> pool, std::size_t count, Random& random) {
  std::vector<WeightedType> fleet;
  while (fleet.size() < count && !pool.empty()) {
    double total = 0;
    for (const auto& entry : pool) total += entry.weight;
    double pick = uniformUnit(random) * total;
    std::size_t chosen = 0;
    while (chosen + 1 < pool.size() && pick >= pool[chosen].weight) {
      pick -= pool[chosen].weight;
      ++chosen;
    }
    fleet.push_back(pool[chosen]);
    pool.erase(pool.begin() + static_cast<std::ptrdiff_t>(chosen));
  }
  return fleet;
}

std::string airlineTitle(std::string_view prefix, std::string_view type, std::string_view airline,
                         std::string_view registration, bool cargo) {
  const std::string_view kind = cargo ? " Cargo" : "";
  if (prefix == "FSLTL_") return fmt::format("FSLTL_{}_{}{}_{}", type, airline, cargo ? "_Cargo" : "", registration);
  return fmt::format("{}{} {}{} {}", prefix, type, airline, kind, registration);
}

void addAirlineFleets(ListBuilder& builder, const AircraftDatabase& database, const std::vector<std::string>& airlines,
                      std::size_t budget) {
  Random& random = builder.random();
  const auto passengerPool = knownAirliners(builder, false);
  const auto cargoPool = knownAirliners(builder, true);
  if (passengerPool.empty()) return;

  // Airline sizes fall off with their rank, as real fleets do.
  std::vector<double> weights;
  double total = 0;
  for (std::size_t rank = 0; rank < airlines.size(); ++rank) {
    weights.push_back(1.0 / std::pow(static_cast<double>(rank) + 1.0, 0.8));
    total += weights.back();
  }
  std::vector<std::pair<std::string, std::string>> registrationsSoFar;  // airline, registration
  for (std::size_t rank = 0; rank < airlines.size(); ++rank) {
    const std::string& airline = airlines[rank];
    const bool cargoOperator = database.cargoOperators.count(airline) > 0 && !cargoPool.empty();
    const auto liveryCount = std::max<std::size_t>(3, static_cast<std::size_t>(budget * weights[rank] / total));
    const std::size_t typeCount = std::min<std::size_t>(1 + liveryCount / 25, 9);
    const auto fleet = drawFleet(cargoOperator ? cargoPool : passengerPool, typeCount, random);
    const std::string_view pattern = kRegistrationPatterns[uniformIndex(random, std::size(kRegistrationPatterns))];
    const std::string_view prefix = kPublisherPrefixes[uniformIndex(random, std::size(kPublisherPrefixes))];
    double fleetWeight = 0;
    for (const auto& entry : fleet) fleetWeight += entry.weight;
    for (const WeightedType& entry : fleet) {
      const auto count = std::max<std::size_t>(1, static_cast<std::size_t>(liveryCount * entry.weight / fleetWeight));
      for (std::size_t i = 0; i < count; ++i) {
        const bool cargo = cargoOperator || (builder.isCargoType(entry.type) && uniformUnit(random) < 0.1);
        // A few registrations stand in two liveries of an airline: the clashes
        // that the in-line regcodes report.
        std::string registration;
        if (!registrationsSoFar.empty() && registrationsSoFar.back().first == airline && uniformUnit(random) < 0.002) {
          registration = registrationsSoFar.back().second;
        } else if (uniformUnit(random) < 0.93) {
          registration = builder.uniqueRegistration(pattern);
        }
        std::string title = airlineTitle(prefix, entry.type, airline, registration.empty() ? "Fleet" : registration,
                                         cargo);
        if (!registration.empty()) registrationsSoFar.emplace_back(airline, registration);
        builder.add(airline, entry.type, std::move(title), std::move(registration), cargo);
      }
    }
  }
}

void addGenericLiveries(ListBuilder& builder) {
  Random& random = builder.random();
  for (const WeightedType& entry : kAirliners) {
    if (!builder.isKnownType(entry.type)) continue;
    const std::size_t count = 2 + uniformIndex(random, 6);
    for (std::size_t i = 1; i <= count; ++i) {
      builder.add(std::string(kGenericAirline), entry.type, fmt::format("AIG {} Generic {}", entry.type, i), "", false);
    }
    if (builder.isCargoType(entry.type)) {
      builder.add(std::string(kGenericAirline), entry.type, fmt::format("AIG {} Generic Freighter", entry.type), "",
                  true);
    }
  }
  for (std::string_view type : kLightTypes) {
    if (builder.isKnownType(type)) {
      builder.add(std::string(kGenericAirline), type, fmt::format("JF {} Generic White", type), "", false);
    }
  }
}

void addPrivateAircraft(ListBuilder& builder, std::size_t budget) {
  Random& random = builder.random();
  std::vector<std::string_view> types;
  for (std::string_view type : kLightTypes) types.push_back(type);
  for (std::string_view type : kBusinessJets) types.push_back(type);
  for (std::string_view type : kHelicopters) types.push_back(type);
  std::erase_if(types, [&](std::string_view type) { return !builder.isKnownType(type); });
  if (types.empty()) return;
  for (std::size_t i = 0; i < budget; ++i) {
    const std::string_view type = types[uniformIndex(random, types.size())];
    const std::string_view pattern =
        uniformUnit(random) < 0.6 ? "N###@@" : kRegistrationPatterns[uniformIndex(random, std::size(kRegistrationPatterns))];
    std::string registration = builder.uniqueRegistration(pattern);
    std::string title = fmt::format("{} {} Private {}", uniformUnit(random) < 0.5 ? "JF" : "AIG", type, registration);
    builder.add(std::string(kPrivateAirline), type, std::move(title), std::move(registration), false);
  }
}

}  // namespace

LiveryList generateLiveries(const AircraftDatabase& database, const GeneratorOptions& options) {
  ListBuilder builder(database, options.seed);
  const auto airlines = chooseAirlines(database, options.airlineCount, builder.random());
  const std::size_t privateBudget = options.liveryCount * 15 / 100;
  addGenericLiveries(builder);
  addPrivateAircraft(builder, privateBudget);
  const std::size_t used = builder.liveries().size();
  const std::size_t airlineBudget = options.liveryCount > used ? options.liveryCount - used : 0;
  addAirlineFleets(builder, database, airlines, airlineBudget);
  LiveryList liveries = builder.take();
  sortScannedLiveries(liveries);
  return liveries;
}

std::string generateAigRegcodesXml(const LiveryList& liveries, std::uint32_t seed) {
  Random random(seed);
  pugi::xml_document document;
  pugi::xml_node root = document.append_child("AIG-regcodes");
  auto addLivery = [&root](const std::string& title, const std::string& regs, bool special) {
    pugi::xml_node node = root.append_child("livery");
    node.append_attribute("title") = title.c_str();
    node.append_attribute("reg") = regs.c_str();
    if (special) node.append_attribute("special") = "1";
  };
  const LiveryData* previous = nullptr;
  for (const LiveryData& livery : liveries) {
    const double roll = uniformUnit(random);
    if (previous != nullptr && !previous->atcid.empty() && previous->airl == livery.airl &&
        previous->type == livery.type && roll < 0.03) {
      // The registration of the livery before, bound to this title instead.
      addLivery(livery.title, previous->atcid, false);
    } else if (!livery.atcid.empty() && roll < 0.04) {
      addLivery(livery.title, livery.atcid, true);
    } else if (roll < 0.045) {
      addLivery(livery.title, "", false);
    }
    previous = &livery;
  }
  addLivery("Title that no package installs", "ZZ-ZZZ", false);
  std::ostringstream text;
  document.save(text);
  return text.str();
}

std::string liveriesScannedXml(const LiveryList& liveries) {
  pugi::xml_document document;
  pugi::xml_node root = document.append_child("liveries");
  for (const LiveryData& livery : liveries) {
    pugi::xml_node node = root.append_child("liv");
    node.append_attribute("airl") = livery.airl.c_str();
    node.append_attribute("type") = livery.type.c_str();
    if (livery.cargo) node.append_attribute("cargo") = "true";
    node.append_attribute("title") = livery.title.c_str();
    if (!livery.atcid.empty()) node.append_attribute("atcid") = livery.atcid.c_str();
  }
  std::ostringstream text;
  document.save(text);
  return text.str();
}

}  // namespace crv::liverygen
