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
#include <fstream>
#include <map>
#include <ostream>
#include <string>
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

// One data line of the CSV, with its line end.
std::string traceCsvLine(std::uint32_t objectId, const TracePosition& position);

// Not thread-safe by itself: the stand-in keeps it under its lock.
class SimTrace {
 public:
  // Positions of one object closer together in time than the interval are
  // not taken (0 takes every one). A trace that keeps no positions only
  // decides which to take, for a trace written as it goes.
  explicit SimTrace(double minimumIntervalSeconds = 0.0, bool keepPositions = true)
      : minimumIntervalSeconds_(minimumIntervalSeconds), keepPositions_(keepPositions) {}

  // True when the position is taken (and kept, when positions are kept).
  bool record(std::uint32_t objectId, const TracePosition& position);
  const std::vector<TracePosition>& positionsOf(std::uint32_t objectId) const;
  const std::map<std::uint32_t, std::vector<TracePosition>>& all() const { return positions_; }
  bool empty() const { return positions_.empty(); }

  void writeCsv(std::ostream& out) const;
  // Writes the CSV to a temporary file beside the target and renames it over;
  // false when the file cannot be written.
  bool writeCsvFile(const std::filesystem::path& file) const;

 private:
  double minimumIntervalSeconds_;
  bool keepPositions_;
  std::map<std::uint32_t, double> lastTakenSeconds_;
  std::map<std::uint32_t, std::vector<TracePosition>> positions_;
};

// Writes a trace to its CSV file as the positions come, so that a run of
// hours holds none of them in memory. The file is flushed once a second of
// trace time, so it can be read while the run goes on.
class SimTraceWriter {
 public:
  // Creates (or empties) the file and writes the header.
  explicit SimTraceWriter(const std::filesystem::path& file);

  // False when the file could not be created or a write failed.
  bool good() const { return static_cast<bool>(out_); }
  void write(std::uint32_t objectId, const TracePosition& position);
  // Flushes and closes the file; false when any write failed.
  bool finish();

 private:
  std::ofstream out_;
  double lastFlushSeconds_ = 0.0;
};

}  // namespace platform
