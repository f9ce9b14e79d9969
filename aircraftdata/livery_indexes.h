#pragma once

// The in-memory indexes of the installed liveries: by airline and type, by
// type alone, by similar type and by size category. They are built once per
// program run from the sorted list of scanned liveries and live until a new
// scan clears them.
//
// The airline index owns every title text; every other index, the
// registration codes and the installed-title lookup hold views into those
// texts, so the airline index never changes while the others exist. Anything
// that must outlive a clear (an aircraft's chosen livery, the engine's
// exclusion list) keeps its own copy of the title.
//
// Session worker only; no locks.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "aircraftdata/livery_data.h"
#include "aircraftdata/size_category.h"
#include "aircraftdata/text_hash.h"

namespace crv {

struct LiveryEntry {
  std::string title;
  bool cargo = false;
};

using TitleViews = std::vector<std::string_view>;
using TypeList = std::vector<std::string>;
// airline -> type -> liveries in the order of the scanned list.
using AirlineIndex = FnvMap<FnvMap<std::vector<LiveryEntry>>>;
// airline -> type -> titles of one kind.
using AirlineModelIndex = FnvMap<FnvMap<TitleViews>>;
// type -> titles of one kind over all airlines.
using ModelIndex = FnvMap<TitleViews>;
using SimilarModelMap = FnvMap<TypeList>;

// The airline-and-type indexes by number: 0 passenger, 1 cargo.
inline constexpr int kPassengerIndex = 0;
inline constexpr int kCargoIndex = 1;

class LiveryIndexes {
 public:
  // Capacities reserved up front.
  static constexpr std::size_t kAirlineTypeBufferEntries = 4048;
  static constexpr std::size_t kModelBufferViews = 15000;

  LiveryIndexes() = default;
  // A copy would hold views into the texts of the original; a move keeps
  // every text where it is.
  LiveryIndexes(const LiveryIndexes&) = delete;
  LiveryIndexes& operator=(const LiveryIndexes&) = delete;
  LiveryIndexes(LiveryIndexes&&) = default;
  LiveryIndexes& operator=(LiveryIndexes&&) = default;

  // --- Builders, in the order they must run ---
  // The list arrives sorted: equal airline codes adjacent, within them equal
  // types adjacent. A group that appears again later does not replace the
  // first one. Also builds the installed-title lookup.
  void buildAirlineIndex(const LiveryList& liveries);
  void buildAirlineModelIndexes();
  void buildModelIndexes();
  // From the similar-type groups of the type database (each sorted); logs
  // "<n> similar model definitions".
  void buildSimilarModels(const std::vector<std::vector<std::string>>& similarTypeGroups);
  // Logs the liveries of the category, fills its model list (Light, Buzjets,
  // Rotorcraft) and, for Light, HighPerf and Rotorcraft, switches the
  // category's setting off and disables its check box when it has none.
  void reportLiveryCategories(SizeCategory category);

  // Empties every index and list.
  void clear();
  // Capacity of the category model lists, once.
  void reserveMatchLists();

  // --- Queries ---
  // The titles of the airline and type in the passenger (0) or cargo (1)
  // index; null when absent. Any other index throws std::out_of_range.
  const TitleViews* airlineModelTitles(int index, std::string_view airline, std::string_view type) const;
  // The titles of the type over all airlines, of one kind; null when absent.
  const TitleViews* modelTitles(bool cargo, std::string_view type) const;
  // The similar types that the airline has liveries of, for a type it has
  // none of; shuffled anew by every call. The empty list when none.
  const TypeList& similarModelsOf(std::string_view airline, std::string_view type);
  // The similar types with liveries in any airline; shuffled by every call.
  const TypeList& similarModelsWithLiveries(std::string_view type);
  // A random type of the category's model list; empty when the list is.
  std::string randomLightModel() const;
  std::string randomBuzjetModel() const;
  std::string randomRotorcraftModel() const;
  // One random type of the category (Light, Buzjets, Rotorcraft) as a
  // one-element list, or the empty list.
  const TypeList& randomModelAsList(SizeCategory category);
  // The stored title with exactly these bytes; empty when none is installed.
  std::string_view findInstalledTitle(std::string_view title) const;
  bool airlineHasModel(std::string_view airline, std::string_view type) const;
  // Every airline of the airline index, cut to 3 characters.
  std::vector<std::string> airlineCodes() const;

  const AirlineIndex& airlineIndex() const { return airlineIndex_; }
  const AirlineModelIndex& paxAirlineModelIndex() const { return airlineModelIndexes_[kPassengerIndex]; }
  const AirlineModelIndex& cargoAirlineModelIndex() const { return airlineModelIndexes_[kCargoIndex]; }
  const ModelIndex& paxModelIndex() const { return paxModelIndex_; }
  const ModelIndex& cargoModelIndex() const { return cargoModelIndex_; }
  const SimilarModelMap& similarModelMap() const { return similarModelsWithLiveries_; }
  const FnvMap<SimilarModelMap>& similarModelsByAirline() const { return similarModelsByAirline_; }
  const TypeList& lightModels() const { return lightModels_; }
  const TypeList& buzjetModels() const { return buzjetModels_; }
  const TypeList& rotorcraftModels() const { return rotorcraftModels_; }
  std::size_t liveryCount() const { return installedTitles_.size(); }

 private:
  AirlineIndex airlineIndex_;
  FnvViewSet installedTitles_;
  std::array<AirlineModelIndex, 2> airlineModelIndexes_;
  ModelIndex paxModelIndex_;
  ModelIndex cargoModelIndex_;
  SimilarModelMap similarModelsWithLiveries_;
  FnvMap<SimilarModelMap> similarModelsByAirline_;
  TypeList lightModels_;
  TypeList buzjetModels_;
  TypeList rotorcraftModels_;
  TypeList randomModel_;  // the one-element list of randomModelAsList
  bool matchListsReserved_ = false;
};

// The shared empty list of types.
const TypeList& emptyTypeList();

// A random element: index 0 for a single one, else the thread's random
// engine's next value modulo the size. The list must not be empty.
std::size_t randomListIndex(std::size_t size);

}  // namespace crv
