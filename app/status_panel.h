#pragma once

// The status panel around the controls: bands, the title, the simulator and
// RealTraffic boxes, the counts, the labels beside the controls, the parking
// lines and the status or error strip. A paint is made from one snapshot of
// what the panel shows, so that it never sees a text half written.

#include <cstdint>
#include <functional>
#include <string>

#include "platform/window/window_model.h"

namespace crv {

// The display texts that other threads write; each hand-over takes
// paintMutex, and a paint reads them as one copy.
struct PanelTexts {
  std::string simulatorLine;
  std::string userAircraftLine;
  std::string serverName;
  std::string userStandName;
  std::string parkAirportIcao;
  std::string parkAirportLine;
  std::string parkAirportDetail;
  std::string qualityFactor;
  std::string objectIdResult;
  std::string reservedStand;
};
PanelTexts panelTexts();
// Changes the texts under paintMutex.
void updatePanelTexts(const std::function<void(PanelTexts&)>& change);

struct PanelState {
  PanelTexts texts;
  bool msfs2020 = true;
  bool simConnected = false;
  bool flightRunning = false;
  bool userTypeKnown = true;
  bool rtNotStarted = true;
  bool loggedIn = false;
  int trafficIndicator = 3;  // 1 data, 2 logged in without data, 3 hidden
  int weatherIndicator = 3;
  std::int32_t qnhHpa = 0;
  std::int64_t liveInSim = 0;
  std::int64_t liveries = 0;
  std::int64_t addonLiveries = 0;
  std::int64_t thirdPartyLiveries = 0;
  bool addonCountGreen = true;
  bool parkAirportActive = false;
  bool handmadeAirportFile = false;
  int trafficWeek = 0;
  bool staticParkingCalculated = false;
  bool reservedStandFound = false;
  std::int32_t standUpdates = 0;
  std::int64_t stands = 0;
  std::int64_t parkedLive = 0;
  std::int64_t parkedStatic = 0;
  float averageLiveParkedHours = -1.0F;
  float averageStaticParkedHours = -1.0F;
  std::int32_t wantedStatic = 0;
  std::int32_t wantedStaticPercent = 0;
  bool timeShiftControlsActive = true;
  bool parkingBusy = false;
  std::int32_t minutesToRenewal = 19;
  std::int64_t addonAirportsCollected = 0;
  std::string addonAirportFolder;
  std::string statusText;
  std::string errorText;
};

// The paint of the whole panel, in its order.
void paintStatusPanel(platform::PaintSurface& surface, const PanelState& state);
// The labels beside the controls (part of the paint).
void paintSettingsLabels(platform::PaintSurface& surface, const PanelState& state);

}  // namespace crv
