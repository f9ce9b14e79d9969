#pragma once

// The registration codes in memory: which installed title a registration is
// shown in, and which titles are reserved for their registrations. The titles
// are views into the texts of the livery indexes and are cleared with them.

#include <string>
#include <string_view>
#include <vector>

#include "aircraftdata/text_hash.h"

namespace crv {

struct RegcodeTables {
  // registration (exact bytes) -> installed title
  FnvMap<std::string_view> regcodeMap;
  // One entry per applied special entry; a title can stand in it more than once.
  std::vector<std::string_view> specialTitles;
  // The report lines of OfflineRegcodes.txt.
  std::vector<std::string> offlineRegcodeLines;

  void addSpecialTitle(std::string_view title) {
    specialTitles.push_back(title);
    specialTitleSet_.insert(title);
  }
  bool isSpecialTitle(std::string_view title) const { return specialTitleSet_.find(title) != specialTitleSet_.end(); }
  // Capacity for the special titles, reserved once per program run.
  void reserveSpecialTitles() {
    specialTitles.reserve(4096);
    specialTitleSet_.reserve(4096);
  }
  void clear() {
    regcodeMap.clear();
    specialTitles.clear();
    specialTitleSet_.clear();
  }

 private:
  FnvViewSet specialTitleSet_;
};

}  // namespace crv
