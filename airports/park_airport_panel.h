#pragma once

// What the main window's status panel shows of the park airport. The worker
// publishes it as it reads the airport; the window takes a copy when it
// paints.

#include <cstdint>
#include <functional>
#include <string>

namespace crv {

struct ParkAirportPanel {
  std::uint32_t standCount = 0;
  std::string publisher;
  bool handmade = false;
  std::string qualityText;
  std::int32_t rtTrafficWeek = 0;
  bool fileRead = false;          // the file was read without a failure
  std::string panelText;          // the airport's name
  std::string reservedStandName;  // the user's stand, empty when none
  bool reservedStandMark = false;
};

// A copy of the published panel; safe from any thread.
ParkAirportPanel parkAirportPanel();
// Changes the published panel under its lock.
void updateParkAirportPanel(const std::function<void(ParkAirportPanel&)>& change);

}  // namespace crv
