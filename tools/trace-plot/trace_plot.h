#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tools/trace-plot/trace_file.h"

namespace crv::trace {

struct PlotOptions {
  std::string title;
  int widthPixels = 1200;
  int heightPixels = 1000;
};

// Draws the trace as a PNG: the plan view (north up) with the stands and
// every object's track, then altitude and ground speed over time. Throws
// TraceFileError when the trace is empty or the PNG cannot be written.
void drawTracePng(const Trace& trace, const std::vector<StandMark>& stands, const PlotOptions& options,
                  const std::filesystem::path& pngFile);

// Ground speed in knots between samples at least half a second apart, at the
// time of the later one.
std::vector<std::pair<double, double>> groundSpeedKnots(const std::vector<TraceSample>& samples);

}  // namespace crv::trace
