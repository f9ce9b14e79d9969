#include "app/status_panel.h"

#include <mutex>

#include <fmt/format.h>

#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/clock.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "foundation/text.h"
#include "foundation/version.h"
#include "platform/window/control_model.h"

namespace crv {

namespace {

using platform::Colour;
using platform::PaintSurface;

constexpr Colour kRed = 0x0000FF;
constexpr Colour kLightBlue = 0xFFCC99;
constexpr Colour kBlack = 0x000000;
constexpr Colour kGreen = 0x32CD32;
constexpr Colour kYellow = 0x00FFFF;
constexpr Colour kGrey = 0xA0A0A0;
constexpr Colour kWhite = 0xFFFFFF;

constexpr platform::Rect kDividers[] = {{0, 140, 880, 140}, {0, 168, 642, 168}, {0, 196, 642, 196},
                                        {0, 224, 880, 224}, {0, 252, 642, 252}, {0, 280, 642, 280},
                                        {0, 308, 880, 308}};
constexpr int kParkingLine1 = 399;
constexpr int kParkingLine2 = 427;

PanelTexts& sharedTexts() {
  static PanelTexts texts;  // guarded by paintMutex()
  return texts;
}

void line(PaintSurface& surface, const platform::Rect& r, Colour colour) {
  surface.line(r.left, r.top, r.right, r.bottom, colour);
}

void paintSimStatus(PaintSurface& surface, const PanelState& s) {
  const bool complete = s.simConnected && s.flightRunning && !s.texts.userAircraftLine.empty();
  const Colour simColour = complete ? kGreen : (s.simConnected ? kYellow : kRed);
  surface.fillRect({397, 30, 425, 112}, simColour);
  surface.textOut(398, 63, "Sim", kGreen);
  if (s.simConnected) {
    std::string simLine = s.texts.simulatorLine;
    if (!s.texts.userStandName.empty()) simLine += ", user stand " + s.texts.userStandName;
    surface.textOut(5, 35, simLine, simColour);
    surface.textOut(5, 63, s.texts.userAircraftLine, s.userTypeKnown ? simColour : kYellow);
  } else {
    surface.textOut(5, 35, fmt::format("MSFS 20{} mode", s.msfs2020 ? "20" : "24"), kGreen);
  }
  if (s.liveries > 0) {
    surface.textOut(5, 91, fmt::format("# liveries: {}", s.liveries), kGreen);
  } else {
    surface.textOut(5, 91, "# liveries: ...", kRed);
  }
  if (s.addonLiveries > 0) {
    surface.textOut(141, 91, fmt::format("# {}: {}", "simaddon", s.addonLiveries), s.addonCountGreen ? kGreen : kYellow);
  } else {
    surface.textOut(141, 91, "# simaddon: ...", kYellow);
  }
  if (s.thirdPartyLiveries > 0) {
    surface.textOut(278, 91, fmt::format("# thirdp: {}", s.thirdPartyLiveries), kGreen);
  } else {
    surface.textOut(278, 91, "# thirdp: ...", kYellow);
  }
  surface.fillRect({425, 30, 453, 112}, s.rtNotStarted ? kBlack : (s.loggedIn ? kGreen : kRed));
  surface.textOut(430, 63, "RT", kGreen);
  if (s.loggedIn) {
    surface.textOut(458, 35, s.texts.serverName, kGreen);
    if (s.weatherIndicator != 3) surface.textOut(458, 63, "Weather", s.weatherIndicator == 1 ? kGreen : kYellow);
    if (s.trafficIndicator != 3) surface.textOut(458, 91, "Traffic", s.trafficIndicator == 1 ? kGreen : kYellow);
  }
  surface.line(425, 29, 425, 112, kBlack);
}

void paintQnh(PaintSurface& surface, const PanelState& s) {
  if (s.loggedIn && (s.weatherIndicator == 1 || s.weatherIndicator == 2)) {
    surface.textOut(642, 63, s.qnhHpa > 0 ? fmt::format("qnh: {:4}", s.qnhHpa) : std::string(), kGreen);
  }
}

void paintParkingStatus(PaintSurface& surface, const PanelState& s) {
  if (s.texts.parkAirportIcao.empty()) return;
  surface.textOut(5, kParkingLine1, s.texts.parkAirportIcao, s.parkAirportActive ? kGreen : kYellow);
  if (s.parkAirportActive) {
    surface.textOut(85, kParkingLine1,
                    fmt::format(" {}, {}{}, wk={}", s.texts.parkAirportLine, s.texts.parkAirportDetail,
                                s.handmadeAirportFile ? " (h)" : "", s.trafficWeek),
                    kGreen);
  }
  if (s.staticParkingCalculated) surface.textOut(370, kParkingLine1, "*S*", kGreen);
  const bool parkTrafficOnly = par_RT_PARKTRAFFIC_ONLY.value();
  if (!parkTrafficOnly) surface.textOut(430, kParkingLine1, fmt::format("qf: {}", s.texts.qualityFactor), kGreen);
  if (!s.texts.reservedStand.empty()) {
    surface.textOut(571, kParkingLine1, fmt::format("reserved stand: {}", s.texts.reservedStand),
                    s.reservedStandFound ? kGreen : kRed);
  }
  surface.textOut(748, kParkingLine1, fmt::format("# updates: {:4}", s.standUpdates), kGreen);
  surface.textOut(5, kParkingLine2, fmt::format("# stands: {:3}", s.stands), kGreen);
  surface.textOut(111, kParkingLine2, fmt::format("parked live: {:3}", s.parkedLive), kGreen);
  if (s.averageLiveParkedHours > 0) {
    surface.textOut(249, kParkingLine2, fmt::format("average fit: {}", formatNumber(s.averageLiveParkedHours)), kGreen);
  }
  if (s.wantedStatic > 0) {
    surface.textOut(430, kParkingLine2, fmt::format("parked static: {:3}", s.parkedStatic), kGreen);
    if (!par_WEEK.value() && s.averageStaticParkedHours > 0) {
      surface.textOut(571, kParkingLine2, fmt::format("average fit: {}", formatNumber(s.averageStaticParkedHours)),
                      kGreen);
    }
  }
  if (parkTrafficOnly) return;
  surface.textOut(708, kParkingLine2,
                  s.wantedStatic > 0 ? fmt::format("max park: {:3} (={} %)", s.wantedStatic, s.wantedStaticPercent)
                                     : std::string("no max park live"),
                  kGreen);
}

}  // namespace

PanelTexts panelTexts() {
  std::lock_guard lock(paintMutex());
  return sharedTexts();
}

void updatePanelTexts(const std::function<void(PanelTexts&)>& change) {
  std::lock_guard lock(paintMutex());
  change(sharedTexts());
}

void publishSimulatorTexts(const SimLinkDisplay& display) {
  // Copied out of the link's lock first: no two locks are held at once.
  std::string simulator = display.simulatorText();
  std::string userAircraft = display.userAircraftText();
  std::string userStand = display.userStandText();
  updatePanelTexts([&](PanelTexts& texts) {
    texts.simulatorLine = std::move(simulator);
    texts.userAircraftLine = std::move(userAircraft);
    texts.userStandName = std::move(userStand);
  });
}

void publishServerName(std::string_view name) {
  std::string shown(name);
  updatePanelTexts([&](PanelTexts& texts) { texts.serverName = std::move(shown); });
}

void publishObjectIdResult(std::optional<std::uint32_t> objectId) {
  std::string result = objectId ? fmt::format("= {}", *objectId) : std::string();
  updatePanelTexts([&](PanelTexts& texts) { texts.objectIdResult = std::move(result); });
}

bool reportNoTraffic(const std::function<bool(std::chrono::milliseconds)>& waitStep) {
  constexpr int kSteps = 150;
  constexpr std::chrono::milliseconds kStep{100};
  for (int step = 0; step < kSteps && lastTrafficTime() == 0.0; ++step) {
    if (!waitStep(kStep)) {
      return false;
    }
  }
  if (lastTrafficTime() != 0.0) {
    return false;
  }
  gf_logLineUnlessStopping("No traffic in this region?");
  return true;
}

PanelCounts& panelCounts() {
  static PanelCounts counts;
  return counts;
}

void countAirportFolders() {
  panelCounts().simaddonAirports.store(folderEntryCount(programPaths().mySimaddonFolder));
  panelCounts().thirdpartyAirports.store(folderEntryCount(programPaths().myThirdpartyFolder));
}

void paintSettingsLabels(PaintSurface& surface, const PanelState& s) {
  auto label = [&](const ParameterControl& control, int x, std::string text, Colour colour = kBlack) {
    surface.textOut(x, static_cast<int>(control.row()), std::move(text), colour);
  };
  auto onYellow = [](const BoolParameter& setting) { return setting.value() ? kYellow : kBlack; };
  const Colour timeShift = s.timeShiftControlsActive ? kBlack : kGrey;
  const Colour parking = par_RT_PARKTRAFFIC_ONLY.value() ? kGrey : kBlack;

  label(par_SCAN_LIVERIES, 25, "Scan for liveries", onYellow(par_SCAN_LIVERIES));
  label(par_LIG_AUTOMATIC, 237, "Automatic:");
  label(par_LIG_PRIORITIZE, 470, "Prioritize");
  label(par_SUPPRESS_STUB, 556, "Stub");
  label(par_LOG, 672, "Log");
  label(par_ALWAYS_ON_TOP, 768, "Stay on top", onYellow(par_ALWAYS_ON_TOP));
  label(par_SCAN_AIRPORTS, 25, "Scan for addon airports", onYellow(par_SCAN_AIRPORTS));
  if (s.addonAirportsCollected > 0) {
    label(par_SCAN_AIRPORTS, 217,
          fmt::format("{} airport{} in {} folder", s.addonAirportsCollected,
                      pluralSuffix(s.addonAirportsCollected), s.addonAirportFolder),
          kYellow);
  }
  label(par_NAV_LIGHTS_WHILE_PARKED, 672, "Nav lights");
  label(par_LEARN_SOFT, 768, "Learn Soft");
  label(par_MATCHING_DEPTH, 5, "Max aircraft matching depth");
  label(par_LIGHT_AIRCRAFT, 258, "Optional:");
  const auto enabled = [](const ParameterControl& control) {
    return platform::mainWindowControls().isEnabled(control.controlId()).value_or(true) ? kBlack : kGrey;
  };
  label(par_LIGHT_AIRCRAFT, 343, "Light aircraft", enabled(par_LIGHT_AIRCRAFT));
  label(par_HELICOPTERS, 450, "Helicopters", enabled(par_HELICOPTERS));
  label(par_HIGH_PERF_AIRCRAFT, 556, "FighterJets", enabled(par_HIGH_PERF_AIRCRAFT));
  label(par_GUID_CHANGES, 768, "GUID changes", par_GUID_CHANGES.value() ? kBlack : kYellow);
  label(par_RANGE, 5, "Traffic injection");
  label(par_RANGE, 163, "Radius:");
  label(par_RANGE, 270, "nm, or");
  label(par_AUTO_RANGE, 343, "Auto range");
  const Colour autoRange = par_AUTO_RANGE.value() ? kBlack : kGrey;
  label(par_AR_ABOVE_HEIGHT, 430, "Ah:", autoRange);
  label(par_AR_ABOVE_HEIGHT, 536, "ft", autoRange);
  label(par_CALLSIGN_OBJECTIDS, 672, "Objectids", s.msfs2020 ? kBlack : kGrey);
  label(par_TIME_SHIFT_DAYS, 652, "Time shift:", timeShift);
  label(par_TIME_SHIFT_DAYS, 788, "day" + pluralSuffixInt(par_TIME_SHIFT_DAYS.value()), timeShift);
  label(par_COLLISION_USER_GND, 5, "Collision avoidance");
  label(par_COLLISION_USER_GND, 237, "User ground");
  label(par_COLLISION_USER_AIR, 343, "User air");
  label(par_COLLISION_LIVE_PARKED_GND, 450, "Live X parked");
  label(par_SIM_TIME, 672, "Sim Time", timeShift);
  label(par_TIME_SHIFT_HOURS, 788, "hour" + pluralSuffixInt(par_TIME_SHIFT_HOURS.value()), timeShift);
  label(par_BLOCK_CALLSIGN, 5, "Callsigns");
  label(par_BLOCK_CALLSIGN, 172, "Block:");
  label(par_CALLSIGN_2_OBJECTID, 430, "Oid:");
  if (!s.texts.objectIdResult.empty() && !par_CALLSIGN_2_OBJECTID.isEmpty()) {
    label(par_CALLSIGN_2_OBJECTID, 561, s.texts.objectIdResult);
  }
  label(par_KEEP_SIM_TIME_PAR, 672, "Save", timeShift);
  label(par_TIME_SHIFT_MINS, 788, "minute" + pluralSuffixInt(par_TIME_SHIFT_MINS.value()), timeShift);
  label(par_MAX_PARK_SEL, 5, fmt::format("Airport parking{}", s.parkingBusy ? " active" : ""),
        s.parkingBusy ? kYellow : kBlack);
  label(par_MAX_PARK_SEL, 247, "Max park:");
  label(par_MAX_LIVE_SEL, 450, "Max live:");
  label(par_DESTINATION, 137, "Destination:");
  label(par_AIRP_RANGE, 303, "Range:");
  label(par_AIRP_RANGE, 403, "nm");
  if (s.parkAirportActive && !s.parkingBusy && (!par_INITIAL_LOAD_ONLY.value() || par_RT_PARKTRAFFIC_ONLY.value()) &&
      s.minutesToRenewal >= 1 && s.minutesToRenewal <= 19) {
    label(par_AIRP_RANGE, 5, fmt::format("(next in {} min)", s.minutesToRenewal));
  }
  label(par_AIRP_HEIGHT, 440, "Height above gnd:");
  label(par_AIRP_HEIGHT, 646, "ft");
  label(par_STRAIGHT_PBS_ONLY, 672, "Straight push backs only", par_STRAIGHT_PBS_ONLY.value() ? kBlack : kGrey);
  label(par_PARK_FAKE, 25, "Fake", parking);
  label(par_WEEK, 91, "Week", parking);
  label(par_PARK_SOFT, 171, "Soft", parking);
  label(par_parking_percentage, 264, "Target: ", parking);
  label(par_parking_percentage, 363, "%", parking);
  label(par_INITIAL_LOAD_ONLY, 450, "ILO",
        par_RT_PARKTRAFFIC_ONLY.value() ? kGrey : onYellow(par_INITIAL_LOAD_ONLY));
  label(par_MAX_FIT_FL, 506, "Max fit:", parking);
  label(par_RT_PARKTRAFFIC_ONLY, 662, "PT only");
}

void paintStatusPanel(PaintSurface& surface, const PanelState& s) {
  surface.fillRect({0, 0, 880, 28}, kBlack);
  surface.fillRect({0, 28, 880, 112}, kBlack);
  surface.fillRect({0, 112, 880, 392}, kLightBlue);
  surface.fillRect({0, 392, 880, 448}, kBlack);
  surface.fillRect({0, 448, 880, 476}, s.errorText.empty() ? kGreen : kRed);
  line(surface, {0, 28, 880, 28}, kWhite);
  line(surface, {0, 113, 880, 113}, kWhite);
  line(surface, {0, 449, 880, 449}, kWhite);
  line(surface, {0, 392, 880, 392}, kWhite);
  surface.textOut(3, 7, fmt::format("Version {}", kProgramVersionText), kGreen);
  surface.textOut(390, 7, std::string(kProgramName), kGreen);
  surface.textOut(632, 7, "Live traffic 30 s behind real time", kGreen);
  for (const platform::Rect& divider : kDividers) line(surface, divider, kBlack);
  line(surface, {642, 140, 642, 308}, kBlack);
  paintSimStatus(surface, s);
  paintQnh(surface, s);
  if (s.loggedIn && (s.trafficIndicator == 1 || s.trafficIndicator == 2)) {
    surface.textOut(642, 91, fmt::format("live: {:3}", s.liveInSim), kGreen);
  }
  paintSettingsLabels(surface, s);
  paintParkingStatus(surface, s);
  if (!s.errorText.empty()) {
    surface.textOut(3, 455, s.errorText, kYellow);
  } else if (!s.statusText.empty()) {
    surface.textOut(3, 455, s.statusText, kYellow);
  }
}

}  // namespace crv
