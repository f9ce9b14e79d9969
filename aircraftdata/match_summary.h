#pragma once

// The livery-match summary in the log: how many live aircraft got their
// livery at each matching step since the program started, and the titles the
// simulator could not create.

#include <string>
#include <vector>

#include "aircraftdata/match_step_counters.h"

namespace crv {

// The summary's lines; each title that could not be created comes with its
// two leading blanks.
std::vector<std::string> liveryMatchSummaryLines(const MatchStepCounters& counters,
                                                 const std::vector<std::string>& liveriesNotCreated);

// Writes the lines to the log, each a plain line.
void writeLiveryMatchSummary(const MatchStepCounters& counters, const std::vector<std::string>& liveriesNotCreated);
// The program's counters.
void writeLiveryMatchSummary(const std::vector<std::string>& liveriesNotCreated);

}  // namespace crv
