#include "aircraftdata/livery_database.h"

#include <fmt/format.h>

#include "aircraftdata/aircraft_database.h"
#include "aircraftdata/regcodes.h"
#include "foundation/log.h"

namespace crv {

void LiveryDatabase::build(const LiveryList& liveries) {
  // Whatever was built before, or half built by a build that failed, goes
  // first; a clear requested before is thereby done.
  clearRequested_.store(false);
  clearNow();
  indexes.buildAirlineIndex(liveries);
  indexes.buildAirlineModelIndexes();
  processInlineRegcodes(indexes, regcodes, liveries);
  processOfflineRegcodes(indexes, regcodes);
  gf_logLine(fmt::format("{} registration codes", regcodes.regcodeMap.size()));
  indexes.buildModelIndexes();
  gf_logLine(fmt::format("{} airlines, {} pax aircraft models and {} cargo aircraft models",
                         indexes.airlineIndex().size(), indexes.paxModelIndex().size(),
                         indexes.cargoModelIndex().size()));
  indexes.buildSimilarModels(aircraftDatabase().similarTypeGroups);
  for (std::size_t category = 0; category < kSizeCategoryCount; ++category) {
    indexes.reportLiveryCategories(static_cast<SizeCategory>(category));
  }
  built_ = true;
}

bool LiveryDatabase::applyRequestedClear() {
  if (!clearRequested_.exchange(false)) return false;
  clearNow();
  return true;
}

void LiveryDatabase::clearNow() {
  // The views first, then the texts they point into.
  regcodes.clear();
  indexes.clear();
  built_ = false;
}

void LiveryDatabase::reserveMatchLists() {
  if (matchListsReserved_) return;
  matchListsReserved_ = true;
  regcodes.reserveSpecialTitles();
  indexes.reserveMatchLists();
}

LiveryDatabase& liveryDatabase() {
  static LiveryDatabase database;
  return database;
}

void clearLiveryDatabase() { liveryDatabase().requestClear(); }

void sortCategoryLists() { liveryDatabase().reserveMatchLists(); }

}  // namespace crv
