#pragma once

// The status panel around the controls: bands, the title, the simulator and
// RealTraffic boxes, the counts, the labels beside the controls, the parking
// lines and the status or error strip. A paint is made from one snapshot of
// what the panel shows, so that it never sees a text half written.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/window/window_model.h"
#include "simlink/sim_link_display.h"

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

// The writers of the texts, each called on the thread that owns the value.
// SimClient thread: the simulator line, the user aircraft line and the
// user's stand, as the link shows them.
void publishSimulatorTexts(const SimLinkDisplay& display);
// Session worker, at the login: the RealTraffic server's name, painted
// whole.
void publishServerName(std::string_view name);
// Session worker: the result of the callsign lookup, "= <object id>", or
// empty when the callsign was not found.
void publishObjectIdResult(std::optional<std::uint32_t> objectId);

// The counts of the info band, written by the session worker.
struct PanelCounts {
  std::atomic<std::uint64_t> liveries{0};        // installed liveries found
  std::atomic<std::uint64_t> simaddonAirports{0};  // files in airports/my_simaddon
  std::atomic<std::uint64_t> thirdpartyAirports{0};  // files in airports/my_thirdparty
};
PanelCounts& panelCounts();
// Session worker: the two airport counts from their folders (0 for a
// missing folder).
void countAirportFolders();

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

// After the readers have started: waits up to 15 s in 100 ms steps for the
// first traffic data (their time is no longer 0) and logs "No traffic in
// this region?" when none came. waitStep waits one step and is false when
// the session ends meanwhile (then nothing is logged). True when logged.
bool reportNoTraffic(const std::function<bool(std::chrono::milliseconds)>& waitStep);

// The paint of the whole panel, in its order.
void paintStatusPanel(platform::PaintSurface& surface, const PanelState& state);
// The labels beside the controls (part of the paint).
void paintSettingsLabels(platform::PaintSurface& surface, const PanelState& state);

}  // namespace crv
