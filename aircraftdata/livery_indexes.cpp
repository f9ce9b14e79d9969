#include "aircraftdata/livery_indexes.h"

#include <algorithm>
#include <iterator>
#include <set>
#include <stdexcept>
#include <tuple>
#include <utility>

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/random.h"
#include "foundation/text.h"

namespace crv {

const TypeList& emptyTypeList() {
  static const TypeList empty;
  return empty;
}

std::size_t randomListIndex(std::size_t size) {
  if (size <= 1) return 0;
  return static_cast<std::size_t>(threadRandomEngine()() % size);
}

namespace {

// Moves the buffered entries of one type into the type map, sized to fit, and
// keeps the buffer's capacity for the next type.
void flushTypeBuffer(std::vector<LiveryEntry>& buffer, const std::string& type,
                     FnvMap<std::vector<LiveryEntry>>& typeMap) {
  if (buffer.empty()) return;
  if (typeMap.find(type) == typeMap.end()) {
    typeMap.emplace(type, std::vector<LiveryEntry>(std::make_move_iterator(buffer.begin()),
                                                   std::make_move_iterator(buffer.end())));
  }
  buffer.clear();
}

void flushTypeMap(FnvMap<std::vector<LiveryEntry>>& typeMap, const std::string& airline,
                  AirlineIndex& index) {
  if (typeMap.empty()) return;
  if (index.find(airline) == index.end()) index.emplace(airline, std::move(typeMap));
  typeMap = {};
}

}  // namespace

void LiveryIndexes::buildAirlineIndex(const LiveryList& liveries) {
  std::string currentAirline;
  std::string currentType;
  std::vector<LiveryEntry> buffer;
  buffer.reserve(kAirlineTypeBufferEntries);
  FnvMap<std::vector<LiveryEntry>> typeMap;
  bool first = true;
  for (const LiveryData& livery : liveries) {
    // A new airline always starts a new group, even when its first type
    // equals the previous airline's last type.
    if (first || livery.airl != currentAirline) {
      flushTypeBuffer(buffer, currentType, typeMap);
      flushTypeMap(typeMap, currentAirline, airlineIndex_);
      currentAirline = livery.airl;
      currentType = livery.type;
    } else if (livery.type != currentType) {
      flushTypeBuffer(buffer, currentType, typeMap);
      currentType = livery.type;
    }
    first = false;
    buffer.push_back(LiveryEntry{livery.title, livery.cargo});
  }
  flushTypeBuffer(buffer, currentType, typeMap);
  flushTypeMap(typeMap, currentAirline, airlineIndex_);

  installedTitles_.clear();
  installedTitles_.reserve(liveries.size());
  for (const auto& [airline, types] : airlineIndex_) {
    for (const auto& [type, entries] : types) {
      for (const LiveryEntry& entry : entries) installedTitles_.insert(entry.title);
    }
  }
}

void LiveryIndexes::buildAirlineModelIndexes() {
  for (const auto& [airline, types] : airlineIndex_) {
    FnvMap<TitleViews> cargoTypes;
    FnvMap<TitleViews> paxTypes;
    for (const auto& [type, entries] : types) {
      TitleViews cargo;
      TitleViews pax;
      for (const LiveryEntry& entry : entries) (entry.cargo ? cargo : pax).push_back(entry.title);
      if (!cargo.empty()) cargoTypes.emplace(type, std::move(cargo));
      if (!pax.empty()) paxTypes.emplace(type, std::move(pax));
    }
    if (!cargoTypes.empty()) airlineModelIndexes_[kCargoIndex].emplace(airline, std::move(cargoTypes));
    if (!paxTypes.empty()) airlineModelIndexes_[kPassengerIndex].emplace(airline, std::move(paxTypes));
  }
}

void LiveryIndexes::buildModelIndexes() {
  struct Record {
    std::string_view type;
    std::string_view title;
    bool cargo;
  };
  std::vector<Record> records;
  records.reserve(installedTitles_.size());
  for (const auto& [airline, types] : airlineIndex_) {
    for (const auto& [type, entries] : types) {
      for (const LiveryEntry& entry : entries) records.push_back({type, entry.title, entry.cargo});
    }
  }
  // Same type: keep the order of the airline index's walk for equal types.
  std::stable_sort(records.begin(), records.end(),
                   [](const Record& a, const Record& b) { return a.type < b.type; });

  TitleViews cargo;
  TitleViews pax;
  cargo.reserve(kModelBufferViews);
  pax.reserve(kModelBufferViews);
  std::string_view currentType;
  auto flush = [&] {
    if (!cargo.empty()) cargoModelIndex_.emplace(std::string(currentType), TitleViews(cargo.begin(), cargo.end()));
    if (!pax.empty()) paxModelIndex_.emplace(std::string(currentType), TitleViews(pax.begin(), pax.end()));
    cargo.clear();
    pax.clear();
  };
  for (const Record& record : records) {
    if (record.type != currentType) {
      flush();
      currentType = record.type;
    }
    (record.cargo ? cargo : pax).push_back(record.title);
  }
  flush();
}

void LiveryIndexes::buildSimilarModels(const std::vector<std::vector<std::string>>& similarTypeGroups) {
  auto hasLiveries = [this](const std::string& type) {
    return paxModelIndex_.find(type) != paxModelIndex_.end() ||
           cargoModelIndex_.find(type) != cargoModelIndex_.end();
  };
  std::set<std::string> definitions;
  for (const auto& group : similarTypeGroups) {
    for (const std::string& member : group) {
      std::string definition = member;
      for (const std::string& other : group) {
        if (other != member && hasLiveries(other)) definition += "," + other;
      }
      if (definition.find(',') != std::string::npos) definitions.insert(std::move(definition));
    }
  }
  for (const std::string& definition : definitions) {
    std::vector<std::string> items = splitComma(definition);
    std::string key = std::move(items.front());
    items.erase(items.begin());
    similarModelsWithLiveries_.emplace(std::move(key), std::move(items));
  }

  for (const std::string& airline : airlineCodes()) {
    SimilarModelMap airlineMap;
    for (const auto& [type, similar] : similarModelsWithLiveries_) {
      if (airlineHasModel(airline, type)) continue;
      TypeList owned;
      for (const std::string& candidate : similar) {
        if (airlineHasModel(airline, candidate)) owned.push_back(candidate);
      }
      if (!owned.empty()) airlineMap.emplace(type, std::move(owned));
    }
    if (!airlineMap.empty()) similarModelsByAirline_.emplace(airline, std::move(airlineMap));
  }
  gf_logLine(fmt::format("{} similar model definitions", similarModelsWithLiveries_.size()));
}

void LiveryIndexes::clear() {
  lightModels_.clear();
  buzjetModels_.clear();
  rotorcraftModels_.clear();
  randomModel_.clear();
  similarModelsByAirline_.clear();
  similarModelsWithLiveries_.clear();
  paxModelIndex_.clear();
  cargoModelIndex_.clear();
  for (auto& index : airlineModelIndexes_) index.clear();
  installedTitles_.clear();
  airlineIndex_.clear();
}

void LiveryIndexes::reserveMatchLists() {
  if (matchListsReserved_) return;
  matchListsReserved_ = true;
  lightModels_.reserve(64);
  buzjetModels_.reserve(128);
  rotorcraftModels_.reserve(32);
}

const TitleViews* LiveryIndexes::airlineModelTitles(int index, std::string_view airline,
                                                    std::string_view type) const {
  if (index != kPassengerIndex && index != kCargoIndex) {
    throw std::out_of_range(fmt::format("airline and model index {} does not exist", index));
  }
  const AirlineModelIndex& models = airlineModelIndexes_[static_cast<std::size_t>(index)];
  const auto airlineIt = models.find(airline);
  if (airlineIt == models.end()) return nullptr;
  const auto typeIt = airlineIt->second.find(type);
  if (typeIt == airlineIt->second.end()) return nullptr;
  return &typeIt->second;
}

const TitleViews* LiveryIndexes::modelTitles(bool cargo, std::string_view type) const {
  const ModelIndex& models = cargo ? cargoModelIndex_ : paxModelIndex_;
  const auto it = models.find(type);
  return it == models.end() ? nullptr : &it->second;
}

const TypeList& LiveryIndexes::similarModelsOf(std::string_view airline, std::string_view type) {
  const auto airlineIt = similarModelsByAirline_.find(airline);
  if (airlineIt == similarModelsByAirline_.end()) return emptyTypeList();
  const auto typeIt = airlineIt->second.find(type);
  if (typeIt == airlineIt->second.end()) return emptyTypeList();
  shuffleStrings(typeIt->second);
  return typeIt->second;
}

const TypeList& LiveryIndexes::similarModelsWithLiveries(std::string_view type) {
  const auto it = similarModelsWithLiveries_.find(type);
  if (it == similarModelsWithLiveries_.end()) return emptyTypeList();
  shuffleStrings(it->second);
  return it->second;
}

namespace {

std::string randomElement(const TypeList& list) {
  if (list.empty()) return {};
  return list[randomListIndex(list.size())];
}

}  // namespace

std::string LiveryIndexes::randomLightModel() const { return randomElement(lightModels_); }
std::string LiveryIndexes::randomBuzjetModel() const { return randomElement(buzjetModels_); }
std::string LiveryIndexes::randomRotorcraftModel() const { return randomElement(rotorcraftModels_); }

const TypeList& LiveryIndexes::randomModelAsList(SizeCategory category) {
  std::string type;
  switch (category) {
    case SizeCategory::Light: type = randomLightModel(); break;
    case SizeCategory::Buzjets: type = randomBuzjetModel(); break;
    case SizeCategory::Rotorcraft: type = randomRotorcraftModel(); break;
    default: break;
  }
  if (type.empty()) return emptyTypeList();
  randomModel_.assign(1, std::move(type));
  return randomModel_;
}

std::string_view LiveryIndexes::findInstalledTitle(std::string_view title) const {
  const auto it = installedTitles_.find(title);
  return it == installedTitles_.end() ? std::string_view() : *it;
}

bool LiveryIndexes::airlineHasModel(std::string_view airline, std::string_view type) const {
  const auto it = airlineIndex_.find(airline);
  return it != airlineIndex_.end() && it->second.find(type) != it->second.end();
}

std::vector<std::string> LiveryIndexes::airlineCodes() const {
  std::vector<std::string> codes;
  codes.reserve(airlineIndex_.size());
  for (const auto& [airline, types] : airlineIndex_) codes.push_back(airline.substr(0, 3));
  return codes;
}

}  // namespace crv
