#include "foundation/settings.h"

#include <algorithm>
#include <cmath>

namespace crv {

IntListParameter::IntListParameter(std::string name, std::int32_t defaultValue,
                                   const std::vector<std::int32_t>& allowedValues, std::uint16_t controlId,
                                   std::uint32_t row)
    : IntControlParameter(std::move(name), defaultValue, allowedValues.front(), allowedValues.back(), controlId,
                          row),
      allowedValues_(allowedValues) {}

StringListParameter::StringListParameter(std::string name, std::string defaultValue,
                                         const std::vector<std::string>& choices, std::uint16_t controlId,
                                         std::uint32_t row)
    : StringControlParameter(std::move(name), std::move(defaultValue), controlId, row), choices_(choices) {}

// The lists come first: the settings below copy them while they are built.
const std::vector<std::int32_t> kRangeValues{2, 3, 4, 5, 6, 8, 10, 12, 14, 16, 18, 20, 25, 30, 35, 40, 50, 65, 80, 100};
const std::vector<std::int32_t> kAutoRangeHeightValues{18000, 21000, 24000, 27000, 30000, 33000,
                                                       36000, 39000, 42000, 45000, 48000};
const std::vector<std::int32_t> kMaxAircraftValues{10, 25, 50, 75, 100, 500};
const std::vector<std::int32_t> kMatchingDepthValues{1, 2, 3, 4};
const std::vector<std::int32_t> kAirportRangeValues{5, 10, 15, 20, 25, 30};
const std::vector<std::int32_t> kAirportHeightValues{2000,  4000,  6000,  8000,  10000, 12000,
                                                     14000, 16000, 18000, 36000, 48000};
const std::vector<std::string> kSimChoices{std::string(kSimChoiceMsfs2020), std::string(kSimChoiceMsfs2024)};
const std::vector<std::string> kAiPackageOrders{"AIG, FSLTL, JF", "AIG, JF, FSLTL", "FSLTL, AIG, JF",
                                                "FSLTL, JF, AIG", "JF, AIG, FSLTL", "JF, FSLTL, AIG"};

// Simulator, paths and versions
StringListParameter par_SIM_CHOICE("SIM_CHOICE", "MSFS 2020", kSimChoices, 32790, 119);
StringControlParameter par_ALL_INSTALL_PATH("ALL_INSTALL_PATH", "", 32788, 119);
StringParameter par_MSFS_INSTALL_PATH("MSFS_INSTALL_PATH", "");
StringParameter par_MSFS_2024_INSTALL_PATH("MSFS_2024_INSTALL_PATH", "");
StringParameter par_PROGRAM_INSTALL_PATH("PROGRAM_INSTALL_PATH", "");
StringParameter par_PROGRAM_VERSION("PROGRAM_VERSION", "");
StringParameter par_DBASE_VERSION("DBASE_VERSION", "");
StringParameter par_AIG_VERSION("AIG_VERSION", "");
StringParameter par_MYSIMADDON24_VERSION("MYSIMADDON24_VERSION", "");
std::array<StringParameter, kLfolderCount> par_lfolder{
    StringParameter{"lfolder0", ""}, StringParameter{"lfolder1", ""}, StringParameter{"lfolder2", ""},
    StringParameter{"lfolder3", ""}, StringParameter{"lfolder4", ""}, StringParameter{"lfolder5", ""},
    StringParameter{"lfolder6", ""}, StringParameter{"lfolder7", ""}, StringParameter{"lfolder8", ""},
    StringParameter{"lfolder9", ""}};
BoolParameter par_MSFS_2020("MSFS_2020", false);

// Window and log
BoolControlParameter par_LOG("LOG", true, 32779, 147);
BoolControlParameter par_ALWAYS_ON_TOP("ALWAYS_ON_TOP", false, 32771, 147);
IntParameter par_MAIN_WINDOW_X("MAIN_WINDOW_X", 400, -30000, 30000);
IntParameter par_MAIN_WINDOW_Y("MAIN_WINDOW_Y", 20, -30000, 30000);
IntParameter par_LAST_EPOCH_TIME("LAST_EPOCH_TIME:", 0, 0, 2147483647);

// Livery selection and matching
BoolControlParameter par_SCAN_LIVERIES("SCAN_LIVERIES", true, 32797, 147);
BoolControlParameter par_LIG_AUTOMATIC("LIG_AUTOMATIC", true, 32798, 147);
BoolControlParameter par_LIG_PRIORITIZE("LIG_PRIORITIZE", false, 32799, 147);
BoolControlParameter par_SUPPRESS_STUB("SUPPRESS_STUB", true, 32800, 147);
StringListParameter par_AI_PACKAGE_SELECTOR("AI_PACKAGE_SELECTOR", "AIG, FSLTL, JF", kAiPackageOrders, 32791, 147);
IntParameter par_AI_PACKAGE_ORDER("AI_PACKAGE_ORDER", 1, 1, 6);
IntListParameter par_MATCHING_DEPTH("MATCHING_DEPTH", 4, kMatchingDepthValues, 32808, 203);
BoolControlParameter par_LIGHT_AIRCRAFT("LIGHT_AIRCRAFT", true, 32809, 203);
BoolControlParameter par_HELICOPTERS("HELICOPTERS", true, 32810, 203);
BoolControlParameter par_HIGH_PERF_AIRCRAFT("HIGH_PERF_AIRCRAFT", true, 32811, 203);
BoolControlParameter par_GUID_CHANGES("GUID_CHANGES", true, 32773, 203);
BoolControlParameter par_CALLSIGN_OBJECTIDS("CALLSIGN_OBJECTIDS", false, 32822, 203);
StringControlParameter par_CALLSIGN_2_OBJECTID("CALLSIGN_2_OBJECTID", "", 32774, 259);
StringControlParameter par_BLOCK_CALLSIGN("BLOCK_CALLSIGN", "", 32828, 259);

// Traffic, range and airport scan
IntListParameter par_RANGE("RANGE", 40, kRangeValues, 32818, 231);
BoolControlParameter par_AUTO_RANGE("AUTO_RANGE", true, 32819, 231);
IntListParameter par_AR_ABOVE_HEIGHT("AR_ABOVE_HEIGHT", 48000, kAutoRangeHeightValues, 32820, 231);
IntListParameter par_MAX_LIVE_SEL("MAX_LIVE_SEL", 500, kMaxAircraftValues, 32847, 315);
IntParameter par_HOLDING_THRESHOLD_METERS("HOLDING_THRESHOLD_METERS", 250, 10, 4000);
IntParameter par_MAX_HOLDING_MINUTES("MAX_HOLDING_MINUTES", 20, 1, 60);
BoolControlParameter par_NAV_LIGHTS_WHILE_PARKED("NAV_LIGHTS_WHILE_PARKED", true, 32778, 175);
BoolControlParameter par_SCAN_AIRPORTS("SCAN_AIRPORTS", true, 32801, 175);
BoolControlParameter par_LEARN_SOFT("LEARN_SOFT", true, 32777, 175);
IntParameter par_LATERAL_RANGE("LATERAL_RANGE", 40, 2, 100);
IntParameter par_AUTO_RANGE_ABOVE_HEIGHT("AUTO_RANGE_ABOVE_HEIGHT", 49000, 18000, 49000);
IntParameter par_MAX_LIVE("MAX_LIVE", -1, -1, 300);

// Collisions
BoolControlParameter par_COLLISION_USER_AIR("COLLISION_USER_AIR", true, 32833, 287);
BoolControlParameter par_COLLISION_USER_GND("COLLISION_USER_GND", true, 32834, 287);
BoolControlParameter par_COLLISION_LIVE_PARKED_GND("COLLISION_LIVE_PARKED_GND", false, 32835, 287);

// Time shift
IntControlParameter par_TIME_SHIFT_DAYS("TIME_SHIFT_DAYS", 0, 0, 28, 32859, 259);
IntControlParameter par_TIME_SHIFT_HOURS("TIME_SHIFT_HOURS", 0, 0, 23, 32860, 231);
IntControlParameter par_TIME_SHIFT_MINS("TIME_SHIFT_MINS", 0, 0, 59, 32861, 287);
BoolControlParameter par_SIM_TIME("SIM_TIME", false, 32862, 231);
BoolControlParameter par_KEEP_SIM_TIME_PAR("KEEP_SIM_TIME_PAR", false, 32863, 287);

// Parking and static aircraft
BoolControlParameter par_PARK_SOFT("PARK_SOFT", true, 32851, 371);
BoolControlParameter par_WEEK("WEEK", false, 32854, 371);
BoolControlParameter par_PARK_FAKE("PARK_FAKE", false, 32852, 371);
BoolControlParameter par_RT_PARKTRAFFIC_ONLY("RT_PARKTRAFFIC_ONLY", false, 32857, 371);
BoolControlParameter par_INITIAL_LOAD_ONLY("INITIAL_LOAD_ONLY", false, 32850, 371);
BoolControlParameter par_STRAIGHT_PBS_ONLY("STRAIGHT_PBS_ONLY", false, 32856, 315);
IntControlParameter par_parking_percentage("parking_percentage", 30, 0, 100, 32848, 371);
IntControlParameter par_MAX_FIT("MAX_FIT", 47, 0, 47, 32853, 371);
FloatControlParameter par_MAX_FIT_FL("MAX_FIT_FL", 24.0F, 0.5F, 24.0F, 32855, 371);
IntListParameter par_MAX_PARK_SEL("MAX_PARK_SEL", 500, kMaxAircraftValues, 32846, 315);
IntListParameter par_AIRP_RANGE("AIRP_RANGE", 20, kAirportRangeValues, 32840, 343);
IntListParameter par_AIRP_HEIGHT("AIRP_HEIGHT", 18000, kAirportHeightValues, 32841, 343);
StringControlParameter par_DESTINATION("DESTINATION", "", 32839, 343);
IntParameter par_CUSTOM_PARKING_PERCENTAGE("CUSTOM_PARKING_PERCENTAGE", -1, -1, 100);
IntParameter par_CUSTOM_MAX_PARK("CUSTOM_MAX_PARK", -1, -1, 500);
IntParameter par_AIRPORT_RANGE("AIRPORT_RANGE", 20, 8, 30);
IntParameter par_AIRPORT_HEIGHT("AIRPORT_HEIGHT", 18000, 2000, 45000);

// Push buttons
ButtonControl button_Unblock("Unblock", 32829, 257);
ButtonControl button_Reread("Re-read", 32838, 341);
ButtonControl button_FlushStatic("Flush static", 32858, 369);

float maxFitHours(std::int32_t halfHours) { return static_cast<float>(halfHours) * 0.5F + 0.5F; }

std::int32_t maxFitHalfHours(float hours) {
  if (!std::isfinite(hours)) return par_MAX_FIT.defaultValue();
  const double halfHours = std::round(2.0 * static_cast<double>(hours)) - 1.0;
  return par_MAX_FIT.clamped(static_cast<std::int64_t>(std::clamp(halfHours, -1.0e9, 1.0e9)));
}

const std::vector<std::string>& airportOverrideKeys() {
  static const std::vector<std::string> keys{
      par_LATERAL_RANGE.name(), par_AUTO_RANGE.name(),          par_INITIAL_LOAD_ONLY.name(),
      par_PARK_SOFT.name(),     par_PARK_FAKE.name(),           par_parking_percentage.name(),
      par_MAX_FIT.name(),       par_WEEK.name(),                par_RT_PARKTRAFFIC_ONLY.name(),
      par_LEARN_SOFT.name(),    par_MAX_LIVE.name()};
  return keys;
}

namespace {

std::atomic<double> rangeNm{40.0};
std::atomic<std::int32_t> radiusMeters{40 * 1852 + 10000};
std::atomic<bool> msfs2020Chosen{true};

}  // namespace

double trafficRangeNm() { return rangeNm.load(); }
std::int32_t trafficRadiusMeters() { return radiusMeters.load(); }

void setTrafficRange(std::int32_t range) {
  rangeNm.store(static_cast<double>(range));
  const std::int64_t radius = static_cast<std::int64_t>(range) * 1852 + 10000;
  radiusMeters.store(static_cast<std::int32_t>(std::clamp<std::int64_t>(radius, INT32_MIN, INT32_MAX)));
}

bool isMsfs2020() { return msfs2020Chosen.load(); }
void setMsfs2020(bool chosen) { msfs2020Chosen.store(chosen); }

namespace {

// Guards the simulator folder name: set by the worker, read by scan tasks.
Mutex simFolderMutex;
std::string simFolder GUARDED_BY(simFolderMutex)(kSimFolderMsfs2020);

}  // namespace

std::string simFolderName() {
  MutexLock lock(simFolderMutex);
  return simFolder;
}

void setSimFolderName(std::string folderName) {
  MutexLock lock(simFolderMutex);
  simFolder = std::move(folderName);
}

std::string simFolderNameFor(std::string_view simChoice) {
  return std::string(simChoice == kSimChoiceMsfs2020 ? kSimFolderMsfs2020 : kSimFolderMsfs2024);
}

}  // namespace crv
