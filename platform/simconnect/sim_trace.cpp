#include "platform/simconnect/sim_trace.h"

#include <cstdio>
#include <fstream>
#include <system_error>

namespace platform {

void SimTrace::record(std::uint32_t objectId, const TracePosition& position) {
  std::vector<TracePosition>& positions = positions_[objectId];
  if (!positions.empty() && minimumIntervalSeconds_ > 0.0 &&
      position.seconds - positions.back().seconds < minimumIntervalSeconds_) {
    return;
  }
  positions.push_back(position);
}

const std::vector<TracePosition>& SimTrace::positionsOf(std::uint32_t objectId) const {
  static const std::vector<TracePosition> kNone;
  const auto found = positions_.find(objectId);
  return found == positions_.end() ? kNone : found->second;
}

void SimTrace::writeCsv(std::ostream& out) const {
  out << kTraceCsvHeader << '\n';
  char line[320];
  for (const auto& [objectId, positions] : positions_) {
    for (const TracePosition& p : positions) {
      std::snprintf(line, sizeof line, "%u,%.3f,%.8f,%.8f,%.2f,%.6f,%.6f,%.6f,%.3f,%.2f\n", objectId, p.seconds,
                    p.latitudeDegrees, p.longitudeDegrees, p.altitudeFeet, p.pitchRadians, p.bankRadians,
                    p.headingRadians, p.verticalSpeedFeetPerSecond, p.trueAirspeedKnots);
      out << line;
    }
  }
}

bool SimTrace::writeCsvFile(const std::filesystem::path& file) const {
  std::filesystem::path temporary = file;
  temporary += ".tmp";
  {
    std::ofstream out(temporary, std::ios::trunc);
    if (!out) {
      return false;
    }
    writeCsv(out);
    out.flush();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, file, error);
  return !error;
}

}  // namespace platform
