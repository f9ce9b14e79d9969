#pragma once

// Reading the files that tools/trace-plot draws: the flight trace CSV that
// the simulator stand-in writes, and a list of stands.

#include <cstdint>
#include <filesystem>
#include <istream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace crv::trace {

// A file that cannot be read, or a line that is not what it should be.
class TraceFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TraceSample {
  double seconds = 0.0;
  double latitude = 0.0;
  double longitude = 0.0;
  double altitudeFeet = 0.0;
  double headingRadians = 0.0;
  double trueAirspeedKnots = 0.0;
};

// Per object, its samples in time order.
using Trace = std::map<std::uint32_t, std::vector<TraceSample>>;

// CSV with the header of platform/simconnect/sim_trace.h (the columns are
// found by name).
Trace readTrace(std::istream& in);
Trace readTraceFile(const std::filesystem::path& file);

struct StandMark {
  std::string name;
  double latitude = 0.0;
  double longitude = 0.0;
  double headingDegrees = 0.0;
  double radiusMeters = 0.0;
};

// CSV with the header "name,latitude,longitude,heading_deg,radius_m".
std::vector<StandMark> readStands(std::istream& in);
std::vector<StandMark> readStandsFile(const std::filesystem::path& file);

}  // namespace crv::trace
