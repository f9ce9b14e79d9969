#include "airports/park_airport_panel.h"

#include <mutex>

namespace crv {
namespace {

std::mutex panelMutex;  // guards panel
ParkAirportPanel panel;

}  // namespace

ParkAirportPanel parkAirportPanel() {
  std::lock_guard lock(panelMutex);
  return panel;
}

void updateParkAirportPanel(const std::function<void(ParkAirportPanel&)>& change) {
  std::lock_guard lock(panelMutex);
  change(panel);
}

}  // namespace crv
