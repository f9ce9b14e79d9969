#include "aircraftdata/livery_matching.h"

#include <utility>

#include <fmt/format.h>

#include "aircraftdata/livery_data.h"
#include "aircraftdata/type_lookups.h"
#include "foundation/log.h"
#include "foundation/settings.h"

namespace crv {

namespace {

inline constexpr int kSpecialPickTries = 5;

bool isPrivate(const AircraftBase& aircraft) { return aircraft.identity.airline == kPrivateAirline; }

MatchKey ownKey(const AircraftBase& aircraft) { return {aircraft.identity.airline, aircraft.identity.icaoType}; }

bool goesBeyondGenericLiveries(SizeCategory category) {
  return category == SizeCategory::Light || category == SizeCategory::Buzjets ||
         category == SizeCategory::Rotorcraft;
}

}  // namespace

LiveryMatcher::LiveryMatcher(LiveryDatabase& database, MatchEnvironment environment, MatchStepCounters& counters)
    : database_(database), environment_(std::move(environment)), counters_(counters) {}

bool LiveryMatcher::isExcluded(std::string_view title) const {
  return environment_.isExcludedTitle && environment_.isExcludedTitle(title);
}

std::string LiveryMatcher::recordLine(const AircraftIdentity& identity) const {
  if (environment_.recordLine) return environment_.recordLine(identity);
  return fmt::format("{:8} {} {:3} {:4}", identity.callsign, identity.registration, identity.airline,
                     identity.icaoType);
}

std::string LiveryMatcher::recordLine3(const AircraftIdentity& identity) const {
  if (environment_.recordLine3) return environment_.recordLine3(identity);
  return recordLine(identity);
}

void LiveryMatcher::pickLiveryTitle(AircraftBase& aircraft, const TitleViews& titles) {
  if (titles.empty()) return;
  const RegcodeTables& regcodes = database_.regcodes;
  for (int attempt = 0; attempt < kSpecialPickTries; ++attempt) {
    const std::string_view title = titles[randomListIndex(titles.size())];
    aircraft.liveryTitle.assign(title);
    if (!regcodes.isSpecialTitle(title)) return;
  }
  TitleViews ordinary;
  for (const std::string_view title : titles) {
    if (!regcodes.isSpecialTitle(title)) ordinary.push_back(title);
  }
  if (!ordinary.empty()) aircraft.liveryTitle.assign(ordinary[randomListIndex(ordinary.size())]);
}

bool LiveryMatcher::findSpecialLivery(AircraftBase& aircraft) {
  const std::string& registration = aircraft.identity.registration;
  if (registration.empty()) return false;
  const auto& regcodeMap = database_.regcodes.regcodeMap;
  const auto it = regcodeMap.find(registration);
  if (it == regcodeMap.end()) {
    aircraft.liveryTitle.clear();
  } else {
    aircraft.liveryTitle.assign(it->second);
  }
  return !aircraft.liveryTitle.empty();
}

bool LiveryMatcher::matchAirlineModel(AircraftBase& aircraft, MatchKey key, int index) {
  const TitleViews* titles = database_.indexes.airlineModelTitles(index, key.airline, key.type);
  if (titles != nullptr) pickLiveryTitle(aircraft, *titles);
  return !aircraft.liveryTitle.empty();
}

bool LiveryMatcher::matchAirlineModelAnyCargo(AircraftBase& aircraft, MatchKey key) {
  if (matchAirlineModel(aircraft, key, aircraft.cargo ? kCargoIndex : kPassengerIndex)) return true;
  return aircraft.cargo && matchAirlineModel(aircraft, key, kPassengerIndex);
}

bool LiveryMatcher::matchModelAnyAirline(AircraftBase& aircraft, std::string_view type) {
  const TitleViews* titles = database_.indexes.modelTitles(aircraft.cargo, type);
  if (titles != nullptr) pickLiveryTitle(aircraft, *titles);
  return !aircraft.liveryTitle.empty();
}

bool LiveryMatcher::matchSimilarModel(AircraftBase& aircraft, MatchKey key) {
  for (const std::string& similar : database_.indexes.similarModelsOf(key.airline, key.type)) {
    if (aircraftCategory(similar) != aircraft.category) continue;
    if (matchAirlineModelAnyCargo(aircraft, MatchKey{key.airline, similar})) return true;
  }
  return false;
}

void LiveryMatcher::matchFallback(AircraftBase& aircraft, int& step) {
  const int depth = par_MATCHING_DEPTH.value();
  const std::string& type = aircraft.identity.icaoType;
  const MatchKey generic{kGenericAirline, type};
  if (aircraft.liveryTitle.empty() && depth == 4 && matchAirlineModelAnyCargo(aircraft, generic)) {
    step = 4;
    return;
  }
  if (!aircraft.liveryTitle.empty()) return;
  if (!goesBeyondGenericLiveries(aircraft.category)) return;
  if (depth >= 3 && !isPrivate(aircraft) && matchAirlineModelAnyCargo(aircraft, generic)) {
    step = 4;
    return;
  }
  if (matchModelAnyAirline(aircraft, type)) {
    step = 5;
    return;
  }
  LiveryIndexes& indexes = database_.indexes;
  const TypeList& candidates = indexes.similarModelMap().count(type) > 0
                                   ? indexes.similarModelsWithLiveries(type)
                                   : indexes.randomModelAsList(aircraftCategory(type));
  for (const std::string& candidate : candidates) {
    if (matchModelAnyAirline(aircraft, candidate)) {
      step = 6;
      return;
    }
  }
}

void LiveryMatcher::recordMatchStep(AircraftBase& aircraft, int step) {
  if (isExcluded(aircraft.liveryTitle)) {
    aircraft.liveryTitle.clear();
    return;
  }
  counters_.increment(step);
  if (par_LOG.value()) {
    gf_logLine(fmt::format("          {} ={}= {}", recordLine(aircraft.identity), step, aircraft.liveryTitle));
  }
  aircraft.fsltlTitle = aircraft.liveryTitle.find("FSLTL_") != std::string::npos;
}

void LiveryMatcher::matchLiveryAtSpawn(AircraftBase& aircraft) {
  const int depth = par_MATCHING_DEPTH.value();
  if (findSpecialLivery(aircraft)) return recordMatchStep(aircraft, 1);
  if (depth < 2) return;
  const std::string& type = aircraft.identity.icaoType;
  if (isPrivate(aircraft) && matchAirlineModelAnyCargo(aircraft, MatchKey{kGenericAirline, type})) {
    return recordMatchStep(aircraft, 4);
  }
  const std::string& registration = aircraft.identity.registration;
  const std::string opr = regcodeOperator(registration);
  const bool hasAirline = !aircraft.identity.airline.empty();
  if (hasAirline) {
    if (matchAirlineModelAnyCargo(aircraft, ownKey(aircraft))) return recordMatchStep(aircraft, 2);
    if (!opr.empty()) {
      const std::string operatorAirline = regcodeAirline(registration);
      if (matchAirlineModelAnyCargo(aircraft, MatchKey{operatorAirline, type})) return recordMatchStep(aircraft, 2);
    }
  }
  if (depth < 3) return;
  if (hasAirline) {
    if (matchSimilarModel(aircraft, ownKey(aircraft))) return recordMatchStep(aircraft, 3);
    if (!opr.empty()) {
      const auto known = findRegcode(registration);
      const std::string knownAirline = known ? known->airl : std::string();
      if (matchSimilarModel(aircraft, MatchKey{knownAirline, type})) return recordMatchStep(aircraft, 3);
    }
  }
  int step = 0;
  matchFallback(aircraft, step);
  if (aircraft.liveryTitle.empty()) return;
  if (isExcluded(aircraft.liveryTitle)) {
    aircraft.liveryTitle.clear();
    return;
  }
  recordMatchStep(aircraft, step);
}

bool LiveryMatcher::acceptStatic(AircraftBase& aircraft, std::string_view stepLabel) {
  if (isExcluded(aircraft.liveryTitle)) {
    aircraft.liveryTitle.clear();
    return false;
  }
  if (par_LOG.value()) {
    gf_logLine(fmt::format("          {} ={}= {}", recordLine(aircraft.identity), stepLabel, aircraft.liveryTitle));
  }
  return true;
}

bool LiveryMatcher::matchLivery(AircraftBase& aircraft, const MatchStand& stand) {
  const int depth = par_MATCHING_DEPTH.value();
  auto noMatch = [&] {
    if (par_LOG.value()) {
      gf_logLine(fmt::format("{:8}: {} no livery match ...", stand.name, recordLine3(aircraft.identity)));
    }
    return false;
  };
  if (!aircraft.liveryTitle.empty()) {
    if (par_LOG.value()) {
      gf_logLine(fmt::format("          {} =s= {}", recordLine(aircraft.identity), aircraft.liveryTitle));
    }
    return true;
  }
  aircraft.cargo = stand.cargo;
  if (findSpecialLivery(aircraft)) return acceptStatic(aircraft, "1");
  if (depth < 2) return noMatch();
  const std::string& type = aircraft.identity.icaoType;
  if (isPrivate(aircraft) && matchAirlineModelAnyCargo(aircraft, MatchKey{kGenericAirline, type})) {
    return acceptStatic(aircraft, "4");
  }
  const std::string& registration = aircraft.identity.registration;
  const std::string opr = regcodeOperator(registration);
  const std::string operatorAirline = opr.empty() ? std::string() : regcodeAirline(registration);
  if (matchAirlineModelAnyCargo(aircraft, ownKey(aircraft))) return acceptStatic(aircraft, "2");
  if (!opr.empty() && matchAirlineModelAnyCargo(aircraft, MatchKey{operatorAirline, type})) {
    return acceptStatic(aircraft, "2");
  }
  if (depth <= 2) return noMatch();
  LiveryIndexes& indexes = database_.indexes;
  const std::string& airline = aircraft.identity.airline;
  for (const std::string& similar : indexes.similarModelsOf(airline, type)) {
    if (matchAirlineModelAnyCargo(aircraft, MatchKey{airline, similar})) return acceptStatic(aircraft, "3");
  }
  if (!opr.empty()) {
    for (const std::string& similar : indexes.similarModelsOf(airline, type)) {
      if (matchAirlineModelAnyCargo(aircraft, MatchKey{operatorAirline, similar})) return acceptStatic(aircraft, "3");
    }
  }
  int step = 0;
  matchFallback(aircraft, step);
  if (aircraft.liveryTitle.empty()) return noMatch();
  return acceptStatic(aircraft, std::to_string(step));
}

}  // namespace crv
