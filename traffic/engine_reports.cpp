#include "traffic/engine_reports.h"

#include <algorithm>

#include <fmt/format.h>

#include "foundation/errors.h"
#include "foundation/log.h"
#include "foundation/session_flags.h"
#include "foundation/settings.h"

namespace crv {

void EngineReports::reportLiveryNotCreated(const AircraftBase& aircraft) {
  if (isStopping()) {
    return;
  }
  const AircraftIdentity& identity = aircraft.identity;
  gf_logWarning(fmt::format("{} '{}' could not be created by your Sim!", identity.callsign, aircraft.liveryTitle));
  // An empty title names no livery: excluding it would exclude nothing.
  if (!aircraft.liveryTitle.empty() && !isExcludedTitle(aircraft.liveryTitle)) {
    exclusionList_.push_back(aircraft.liveryTitle);
  }
  notCreated_.insert(fmt::format("{} {}", identity.icaoType, identity.airline));
  if (exclusionList_.size() >= kTooManyFailedTitles) {
    const std::string message = fmt::format("There are too many liveries that could not be created by {}!", "MSFS");
    gf_logLine(fmt::format("\n{}Error 81, {}\n", kWarningPrefix, message));
    throw UserErrorException(kLiveriesNotCreatedError, fmt::format("{}, see Log.txt", message));
  }
}

bool EngineReports::isExcludedTitle(std::string_view title) const {
  return std::find(exclusionList_.begin(), exclusionList_.end(), title) != exclusionList_.end();
}

std::vector<std::string> EngineReports::liveriesNotCreated() const {
  std::vector<std::string> lines;
  lines.reserve(notCreated_.size());
  for (const std::string& entry : notCreated_) {
    lines.push_back("  " + entry);
  }
  return lines;
}

void EngineReports::logNoMatchList() const {
  if (noMatch_.empty() || !par_LOG.value()) {
    return;
  }
  // One write, so that no other line lands inside the list.
  std::string text = "\nNo match found for:";
  for (const std::string& entry : noMatch_) {
    text += '\n';
    text += entry;
  }
  gf_logLine(text);
}

}  // namespace crv
