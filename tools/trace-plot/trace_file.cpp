#include "tools/trace-plot/trace_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

#include <fmt/format.h>

namespace crv::trace {

namespace {

std::vector<std::string> splitCsv(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, ',')) {
    if (!field.empty() && field.back() == '\r') {
      field.pop_back();
    }
    fields.push_back(field);
  }
  if (!line.empty() && line.back() == ',') {
    fields.emplace_back();
  }
  return fields;
}

double number(const std::string& text, std::size_t lineNumber, std::string_view column) {
  double value = 0.0;
  const char* end = text.data() + text.size();
  const auto [pointer, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || pointer != end || !std::isfinite(value)) {
    throw TraceFileError(fmt::format("line {}: {} is not a number: '{}'", lineNumber, column, text));
  }
  return value;
}

std::size_t columnOf(const std::vector<std::string>& header, std::string_view name) {
  const auto found = std::find(header.begin(), header.end(), name);
  if (found == header.end()) {
    throw TraceFileError(fmt::format("line 1: no column '{}'", name));
  }
  return static_cast<std::size_t>(found - header.begin());
}

std::ifstream openFile(const std::filesystem::path& file) {
  std::ifstream in(file);
  if (!in) {
    throw TraceFileError(fmt::format("cannot open {}", file.string()));
  }
  return in;
}

}  // namespace

Trace readTrace(std::istream& in) {
  std::string line;
  if (!std::getline(in, line)) {
    throw TraceFileError("the trace is empty");
  }
  const std::vector<std::string> header = splitCsv(line);
  const std::size_t object = columnOf(header, "object");
  const std::size_t seconds = columnOf(header, "seconds");
  const std::size_t latitude = columnOf(header, "latitude");
  const std::size_t longitude = columnOf(header, "longitude");
  const std::size_t altitude = columnOf(header, "altitude_ft");
  const std::size_t heading = columnOf(header, "heading_rad");
  const std::size_t airspeed = columnOf(header, "true_airspeed_kt");
  Trace trace;
  for (std::size_t lineNumber = 2; std::getline(in, line); ++lineNumber) {
    if (line.empty() || line == "\r") {
      continue;
    }
    const std::vector<std::string> fields = splitCsv(line);
    if (fields.size() != header.size()) {
      throw TraceFileError(fmt::format("line {}: {} fields, the header has {}", lineNumber, fields.size(), header.size()));
    }
    const double id = number(fields[object], lineNumber, "object");
    if (id < 0.0 || id > 4294967295.0 || id != std::floor(id)) {
      throw TraceFileError(fmt::format("line {}: object is no object id: '{}'", lineNumber, fields[object]));
    }
    TraceSample sample;
    sample.seconds = number(fields[seconds], lineNumber, "seconds");
    sample.latitude = number(fields[latitude], lineNumber, "latitude");
    sample.longitude = number(fields[longitude], lineNumber, "longitude");
    sample.altitudeFeet = number(fields[altitude], lineNumber, "altitude_ft");
    sample.headingRadians = number(fields[heading], lineNumber, "heading_rad");
    sample.trueAirspeedKnots = number(fields[airspeed], lineNumber, "true_airspeed_kt");
    if (std::fabs(sample.latitude) > 90.0 || std::fabs(sample.longitude) > 180.0) {
      throw TraceFileError(fmt::format("line {}: position out of range", lineNumber));
    }
    trace[static_cast<std::uint32_t>(id)].push_back(sample);
  }
  for (auto& [id, samples] : trace) {
    std::stable_sort(samples.begin(), samples.end(),
                     [](const TraceSample& a, const TraceSample& b) { return a.seconds < b.seconds; });
  }
  return trace;
}

Trace readTraceFile(const std::filesystem::path& file) {
  std::ifstream in = openFile(file);
  return readTrace(in);
}

std::vector<StandMark> readStands(std::istream& in) {
  std::string line;
  if (!std::getline(in, line)) {
    return {};
  }
  const std::vector<std::string> header = splitCsv(line);
  const std::size_t name = columnOf(header, "name");
  const std::size_t latitude = columnOf(header, "latitude");
  const std::size_t longitude = columnOf(header, "longitude");
  const std::size_t heading = columnOf(header, "heading_deg");
  const std::size_t radius = columnOf(header, "radius_m");
  std::vector<StandMark> stands;
  for (std::size_t lineNumber = 2; std::getline(in, line); ++lineNumber) {
    if (line.empty() || line == "\r") {
      continue;
    }
    const std::vector<std::string> fields = splitCsv(line);
    if (fields.size() != header.size()) {
      throw TraceFileError(fmt::format("line {}: {} fields, the header has {}", lineNumber, fields.size(), header.size()));
    }
    StandMark stand;
    stand.name = fields[name];
    stand.latitude = number(fields[latitude], lineNumber, "latitude");
    stand.longitude = number(fields[longitude], lineNumber, "longitude");
    stand.headingDegrees = number(fields[heading], lineNumber, "heading_deg");
    stand.radiusMeters = number(fields[radius], lineNumber, "radius_m");
    stands.push_back(std::move(stand));
  }
  return stands;
}

std::vector<StandMark> readStandsFile(const std::filesystem::path& file) {
  std::ifstream in = openFile(file);
  return readStands(in);
}

}  // namespace crv::trace
