// trace-plot TRACE.csv OUT.png [--stands STANDS.csv] [--title TEXT]
//
// Draws a flight trace of the simulator stand-in (CRVN_SIM_TRACE, or a test)
// as a PNG: the plan view with the stands, altitude and ground speed over time.

#include <iostream>
#include <string>
#include <vector>

#include "tools/trace-plot/trace_file.h"
#include "tools/trace-plot/trace_plot.h"

int main(int argc, char** argv) {
  std::vector<std::string> positional;
  std::string standsFile;
  crv::trace::PlotOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--stands" && i + 1 < argc) {
      standsFile = argv[++i];
    } else if (argument == "--title" && i + 1 < argc) {
      options.title = argv[++i];
    } else {
      positional.push_back(argument);
    }
  }
  if (positional.size() != 2) {
    std::cerr << "usage: trace-plot TRACE.csv OUT.png [--stands STANDS.csv] [--title TEXT]\n";
    return 2;
  }
  try {
    const crv::trace::Trace trace = crv::trace::readTraceFile(positional[0]);
    const std::vector<crv::trace::StandMark> stands =
        standsFile.empty() ? std::vector<crv::trace::StandMark>{} : crv::trace::readStandsFile(standsFile);
    if (options.title.empty()) {
      options.title = positional[0];
    }
    crv::trace::drawTracePng(trace, stands, options, positional[1]);
  } catch (const crv::trace::TraceFileError& error) {
    std::cerr << "trace-plot: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
