#pragma once

// The flight trace of the simulator stand-in: every position block that an
// object receives, with the stand-in's time, kept per object and written as
// CSV for tools/trace-plot.
//
// CSV: a header line, then one line per position:
//   object,seconds,latitude,longitude,altitude_ft,pitch_rad,bank_rad,
//   heading_rad,vertical_speed_fps,true_airspeed_kt

#include <cstdint>
#include <filesystem>
#include <map>
#include <ostream>
#include <string_view>
#include <vector>

namespace platform {

inline constexpr const char* kSimTraceVariable = "CRVN_SIM_TRACE";
inline constexpr std::string_view kTraceCsvHeader =
    "object,seconds,latitude,longitude,altitude_ft,pitch_rad,bank_rad,heading_rad,vertical_speed_fps,"
    "true_airspeed_kt";

struct TracePosition {
  double seconds = 0.0;  // the stand-in's clock
  double latitudeDegrees = 0.0;
  double longitudeDegrees = 0.0;
  double altitudeFeet = 0.0;
  double pitchRadians = 0.0;
  double bankRadians = 0.0;
  double headingRadians = 0.0;
  double verticalSpeedFeetPerSecond = 0.0;
  double trueAirspeedKnots = 0.0;
};

// Not thread-safe by itself: the stand-in keeps it under its lock.
class SimTrace {
 public:
  // Positions of one object closer together in time than the interval are
  // not kept (0 keeps every one).
  explicit SimTrace(double minimumIntervalSeconds = 0.0) : minimumIntervalSeconds_(minimumIntervalSeconds) {}

  void record(std::uint32_t objectId, const TracePosition& position);
  const std::vector<TracePosition>& positionsOf(std::uint32_t objectId) const;
  const std::map<std::uint32_t, std::vector<TracePosition>>& all() const { return positions_; }
  bool empty() const { return positions_.empty(); }

  void writeCsv(std::ostream& out) const;
  // Writes the CSV to a temporary file beside the target and renames it over;
  // false when the file cannot be written.
  bool writeCsvFile(const std::filesystem::path& file) const;

 private:
  double minimumIntervalSeconds_;
  std::map<std::uint32_t, std::vector<TracePosition>> positions_;
};

}  // namespace platform
