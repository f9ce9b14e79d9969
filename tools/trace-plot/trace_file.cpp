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

// A column found by its name in the header line.
struct Column {
  std::string_view name;
  std::size_t index = 0;
};

Column columnOf(const std::vector<std::string>& header, std::string_view name) {
  const auto found = std::find(header.begin(), header.end(), name);
  if (found == header.end()) {
    throw TraceFileError(fmt::format("line 1: no column '{}'", name));
  }
  return Column{name, static_cast<std::size_t>(found - header.begin())};
}

// A data line with its line number in the file.
struct Row {
  std::vector<std::string> fields;
  std::size_t lineNumber = 0;

  const std::string& text(const Column& column) const { return fields[column.index]; }

  double number(const Column& column) const {
    const std::string& field = text(column);
    double value = 0.0;
    const char* end = field.data() + field.size();
    const auto [pointer, error] = std::from_chars(field.data(), end, value);
    if (error != std::errc() || pointer != end || !std::isfinite(value)) {
      throw TraceFileError(fmt::format("line {}: {} is not a number: '{}'", lineNumber, column.name, field));
    }
    return value;
  }
};

// Hands every data line after the header to readRow; blank lines are passed
// over, and a line with another number of fields than the header is an error.
template <typename ReadRow>
void forEachRow(std::istream& in, std::size_t columnCount, ReadRow readRow) {
  std::string line;
  for (std::size_t lineNumber = 2; std::getline(in, line); ++lineNumber) {
    if (line.empty() || line == "\r") {
      continue;
    }
    Row row{splitCsv(line), lineNumber};
    if (row.fields.size() != columnCount) {
      throw TraceFileError(
          fmt::format("line {}: {} fields, the header has {}", lineNumber, row.fields.size(), columnCount));
    }
    readRow(row);
  }
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
  const Column object = columnOf(header, "object");
  const Column seconds = columnOf(header, "seconds");
  const Column latitude = columnOf(header, "latitude");
  const Column longitude = columnOf(header, "longitude");
  const Column altitude = columnOf(header, "altitude_ft");
  const Column heading = columnOf(header, "heading_rad");
  const Column airspeed = columnOf(header, "true_airspeed_kt");
  Trace trace;
  forEachRow(in, header.size(), [&](const Row& row) {
    const double id = row.number(object);
    if (id < 0.0 || id > 4294967295.0 || id != std::floor(id)) {
      throw TraceFileError(fmt::format("line {}: object is no object id: '{}'", row.lineNumber, row.text(object)));
    }
    TraceSample sample;
    sample.seconds = row.number(seconds);
    sample.latitude = row.number(latitude);
    sample.longitude = row.number(longitude);
    sample.altitudeFeet = row.number(altitude);
    sample.headingRadians = row.number(heading);
    sample.trueAirspeedKnots = row.number(airspeed);
    if (std::fabs(sample.latitude) > 90.0 || std::fabs(sample.longitude) > 180.0) {
      throw TraceFileError(fmt::format("line {}: position out of range", row.lineNumber));
    }
    trace[static_cast<std::uint32_t>(id)].push_back(sample);
  });
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
  const Column name = columnOf(header, "name");
  const Column latitude = columnOf(header, "latitude");
  const Column longitude = columnOf(header, "longitude");
  const Column heading = columnOf(header, "heading_deg");
  const Column radius = columnOf(header, "radius_m");
  std::vector<StandMark> stands;
  forEachRow(in, header.size(), [&](const Row& row) {
    StandMark stand;
    stand.name = row.text(name);
    stand.latitude = row.number(latitude);
    stand.longitude = row.number(longitude);
    stand.headingDegrees = row.number(heading);
    stand.radiusMeters = row.number(radius);
    stands.push_back(std::move(stand));
  });
  return stands;
}

std::vector<StandMark> readStandsFile(const std::filesystem::path& file) {
  std::ifstream in = openFile(file);
  return readStands(in);
}

}  // namespace crv::trace
