#pragma once

// The scan task of one BGL file.

#include <functional>
#include <string>

#include "airportscan/bgl_airports.h"

namespace crv {

struct BglFileHandlers {
  bool msfs2020 = true;
  // Called for every airport record with a valid identifier.
  std::function<void(const BglAirportRecordRef&, const BglWords&, const std::string& path)> onAirport;
  // Called when a record 0x0113 ended the file in MSFS 2024 mode.
  std::function<void(const std::string& path)> onUnrecognisedAirport;
};

// Reads the file and hands its airports on. However it ends, it lowers the
// running scan-worker count exactly once. An exception (a damaged file read
// past its end) is logged as a warning and passed on to the caller.
void lf_processBGLfile(const std::string& path, const BglFileHandlers& handlers);

}  // namespace crv
