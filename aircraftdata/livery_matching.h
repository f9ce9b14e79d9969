#pragma once

// Choosing an installed livery for an aircraft, trying ever looser matches in
// numbered steps:
//   1 a special livery: the registration has its own title
//   2 the airline (or the one the known registrations give) has the type
//   3 that airline has a similar type of the same category
//   4 a generic ("ZZZ") livery of the type; private ("PVT") aircraft reach it
//     right after step 1
//   5 the type in any airline
//   6 a related type, or a random type of the aircraft's category
// MATCHING_DEPTH (1 to 4) limits how far the matching goes.
//
// The chosen title is copied into the aircraft, so it stays valid when the
// livery database is cleared for a new scan. Session worker only.

#include <functional>
#include <string>
#include <string_view>

#include "aircraftdata/aircraft_base.h"
#include "aircraftdata/livery_database.h"
#include "aircraftdata/livery_indexes.h"
#include "aircraftdata/match_step_counters.h"

namespace crv {

// What the matching needs to know of the stand of a static aircraft.
struct MatchStand {
  std::string_view name;
  bool cargo = false;  // a cargo stand
};

// What the matching asks of the traffic engine.
struct MatchEnvironment {
  // The simulator refused to create this title before. Empty: none is.
  std::function<bool(std::string_view title)> isExcludedTitle;
  // The engine's log labels of an aircraft (route, callsign, registration,
  // airline and type; the second without the route). Empty: a short label of
  // callsign, registration, airline and type.
  std::function<std::string(const AircraftIdentity&)> recordLine;
  std::function<std::string(const AircraftIdentity&)> recordLine3;
};

// An airline and a type to look up.
struct MatchKey {
  std::string_view airline;
  std::string_view type;
};

class LiveryMatcher {
 public:
  LiveryMatcher(LiveryDatabase& database, MatchEnvironment environment,
                MatchStepCounters& counters = matchStepCounters());

  // A live aircraft whose title is empty: a title when one is found (the step
  // counted and logged while LOG is on), else the title stays empty.
  void matchLiveryAtSpawn(AircraftBase& aircraft);
  // A static aircraft for the stand; false when it gets no livery. Sets the
  // aircraft's cargo flag from the stand. Counts nothing.
  bool matchLivery(AircraftBase& aircraft, const MatchStand& stand);

  // --- The steps; each lookup gives whether the title is non-empty after it ---
  // A random title of the list, avoiding special titles; an empty list leaves
  // the title as it is.
  void pickLiveryTitle(AircraftBase& aircraft, const TitleViews& titles);
  // Step 1. An empty registration leaves the title unchanged; an unknown one
  // empties it.
  bool findSpecialLivery(AircraftBase& aircraft);
  // Index 0 passenger, 1 cargo; any other throws std::out_of_range.
  bool matchAirlineModel(AircraftBase& aircraft, MatchKey key, int index);
  // The aircraft's own kind; a cargo aircraft then the passenger liveries.
  bool matchAirlineModelAnyCargo(AircraftBase& aircraft, MatchKey key);
  // The type in any airline, of the aircraft's own kind only.
  bool matchModelAnyAirline(AircraftBase& aircraft, std::string_view type);
  // Step 3: the similar types of the key's airline of the aircraft's category.
  bool matchSimilarModel(AircraftBase& aircraft, MatchKey key);
  // Steps 4 to 6; writes the step only when a title was found.
  void matchFallback(AircraftBase& aircraft, int& step);
  // Counts and logs the step of a found title; an excluded title is emptied
  // and not counted. Step 1 to 6, else std::out_of_range.
  void recordMatchStep(AircraftBase& aircraft, int step);

 private:
  bool isExcluded(std::string_view title) const;
  std::string recordLine(const AircraftIdentity& identity) const;
  std::string recordLine3(const AircraftIdentity& identity) const;
  // A found title of a static aircraft: false (title emptied) when excluded,
  // else the log line and true.
  bool acceptStatic(AircraftBase& aircraft, std::string_view stepLabel);

  LiveryDatabase& database_;
  MatchEnvironment environment_;
  MatchStepCounters& counters_;
};

}  // namespace crv
