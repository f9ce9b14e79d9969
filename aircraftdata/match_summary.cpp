#include "aircraftdata/match_summary.h"

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/text.h"

namespace crv {

namespace {

inline constexpr int kBannerWidth = 64;
inline constexpr int kClosingBannerExtra = 36;

}  // namespace

std::vector<std::string> liveryMatchSummaryLines(const MatchStepCounters& counters,
                                                 const std::vector<std::string>& liveriesNotCreated) {
  std::vector<std::string> lines;
  lines.reserve(256);
  lines.push_back(bannerLine(kBannerWidth, 0, true, false, "live traffic livery matching summary"));
  lines.emplace_back("Matches at step: ");
  for (int step = 1; step <= kMatchStepCount; ++step) {
    lines.push_back(fmt::format("  {}: {}", step, counters.count(step)));
  }
  if (!liveriesNotCreated.empty()) {
    lines.push_back(fmt::format("\nCould not be created by {}:", "MSFS"));
    lines.insert(lines.end(), liveriesNotCreated.begin(), liveriesNotCreated.end());
  }
  lines.push_back(bannerLine(kBannerWidth, kClosingBannerExtra, false, true, ""));
  return lines;
}

void writeLiveryMatchSummary(const MatchStepCounters& counters, const std::vector<std::string>& liveriesNotCreated) {
  for (const std::string& line : liveryMatchSummaryLines(counters, liveriesNotCreated)) gf_logLine(line);
}

void writeLiveryMatchSummary(const std::vector<std::string>& liveriesNotCreated) {
  writeLiveryMatchSummary(matchStepCounters(), liveriesNotCreated);
}

}  // namespace crv
