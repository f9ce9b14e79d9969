#include "platform/simconnect/sim_trace.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

namespace platform {

std::string traceCsvLine(std::uint32_t objectId, const TracePosition& p) {
  char line[320];
  const int length = std::snprintf(line, sizeof line, "%u,%.3f,%.8f,%.8f,%.2f,%.6f,%.6f,%.6f,%.3f,%.2f\n", objectId,
                                   p.seconds, p.latitudeDegrees, p.longitudeDegrees, p.altitudeFeet, p.pitchRadians,
                                   p.bankRadians, p.headingRadians, p.verticalSpeedFeetPerSecond, p.trueAirspeedKnots);
  if (length < 0) return {};
  return std::string(line, std::min(static_cast<std::size_t>(length), sizeof line - 1));
}

bool SimTrace::record(std::uint32_t objectId, const TracePosition& position) {
  const auto [last, first] = lastTakenSeconds_.try_emplace(objectId, position.seconds);
  if (!first) {
    if (minimumIntervalSeconds_ > 0.0 && position.seconds - last->second < minimumIntervalSeconds_) return false;
    last->second = position.seconds;
  }
  if (keepPositions_) positions_[objectId].push_back(position);
  return true;
}

const std::vector<TracePosition>& SimTrace::positionsOf(std::uint32_t objectId) const {
  static const std::vector<TracePosition> kNone;
  const auto found = positions_.find(objectId);
  return found == positions_.end() ? kNone : found->second;
}

void SimTrace::writeCsv(std::ostream& out) const {
  out << kTraceCsvHeader << '\n';
  for (const auto& [objectId, positions] : positions_) {
    for (const TracePosition& p : positions) out << traceCsvLine(objectId, p);
  }
}

bool SimTrace::writeCsvFile(const std::filesystem::path& file) const {
  std::filesystem::path temporary = file;
  temporary += ".tmp";
  {
    std::ofstream out(temporary, std::ios::trunc | std::ios::binary);
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

SimTraceWriter::SimTraceWriter(const std::filesystem::path& file) : out_(file, std::ios::trunc) {
  if (out_) out_ << kTraceCsvHeader << '\n' << std::flush;
}

void SimTraceWriter::write(std::uint32_t objectId, const TracePosition& position) {
  if (!out_) return;
  out_ << traceCsvLine(objectId, position);
  if (position.seconds - lastFlushSeconds_ >= 1.0) {
    out_.flush();
    lastFlushSeconds_ = position.seconds;
  }
}

bool SimTraceWriter::finish() {
  if (!out_.is_open()) return good();
  out_.flush();
  const bool written = good();
  out_.close();
  return written;
}

}  // namespace platform
