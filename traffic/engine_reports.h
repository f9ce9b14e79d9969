#pragma once

// What the engine remembers of liveries that failed: the titles the
// simulator could not create (kept out of the livery matching), the types
// whose create failed, and the aircraft for which no livery was found.

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "aircraftdata/aircraft_base.h"

namespace crv {

class EngineReports {
 public:
  // From this many distinct titles that could not be created the session ends.
  static constexpr std::size_t kTooManyFailedTitles = 20;

  // A create with this aircraft's livery failed: warning line, the title
  // joins the exclusion list and "<type> <airline>" the not-created set.
  // Throws UserErrorException 81 once 20 distinct titles have failed.
  // Nothing while the session is stopping.
  void reportLiveryNotCreated(const AircraftBase& aircraft);

  // The title may not be used again.
  bool isExcludedTitle(std::string_view title) const;
  const std::vector<std::string>& exclusionList() const { return exclusionList_; }

  // The not-created set, each entry behind two blanks (livery summary).
  std::vector<std::string> liveriesNotCreated() const;

  void addNoMatch(std::string key) { noMatch_.insert(std::move(key)); }
  bool isNoMatch(std::string_view key) const { return noMatch_.find(key) != noMatch_.end(); }
  std::size_t noMatchCount() const { return noMatch_.size(); }
  // "\nNo match found for:" and each entry on its own line, while LOG is on.
  void logNoMatchList() const;
  void clearNoMatchList() { noMatch_.clear(); }

 private:
  std::vector<std::string> exclusionList_;  // owned copies, no duplicates
  std::set<std::string> notCreated_;
  std::set<std::string, std::less<>> noMatch_;
};

}  // namespace crv
