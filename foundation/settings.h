#pragma once

// The setting objects of the program.
//
// Every stored or user-changeable value is one global object whose name is
// its key in parameters.xml (and in airport files). The C++ name of each
// object is its key behind the prefix "par_": par_RANGE holds "RANGE",
// par_parking_percentage holds "parking_percentage", par_LAST_EPOCH_TIME
// holds "LAST_EPOCH_TIME:" (with the colon), par_lfolder[3] holds "lfolder3".
// The prefix keeps upper-case keys such as LOG or RANGE clear of macros of
// the same name.
//
// Values are read by every thread without further locking: integers,
// booleans and floats are atomics, texts are copied out and replaced whole
// under the setting's own lock. Whoever changes a value from user input
// clamps it first (clamped()); saving writes the value as it stands
// (foundation/parameters_file.h).
//
// A setting with a main-window control carries its control id and the y
// coordinate of its row. The control itself lives in the window's control
// model (platform/window/control_model.h), found by id.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/thread_annotations.h"

namespace crv {

class Parameter {
 public:
  explicit Parameter(std::string name) : name_(std::move(name)) {}
  virtual ~Parameter() = default;
  Parameter(const Parameter&) = delete;
  Parameter& operator=(const Parameter&) = delete;

  // The key in parameters.xml; for a push button its caption. Case matters.
  const std::string& name() const { return name_; }

 private:
  const std::string name_;
};

// The main-window part of a setting that has a control.
class ParameterControl {
 public:
  ParameterControl(std::uint16_t controlId, std::uint32_t row) : controlId_(controlId), row_(row) {}
  virtual ~ParameterControl() = default;
  ParameterControl(const ParameterControl&) = delete;
  ParameterControl& operator=(const ParameterControl&) = delete;

  std::uint16_t controlId() const { return controlId_; }
  // y of the control's row in client pixels: 119 + 28 k; push buttons 2 higher.
  std::uint32_t row() const { return row_; }

 private:
  const std::uint16_t controlId_;
  const std::uint32_t row_;
};

class IntParameter : public Parameter {
 public:
  IntParameter(std::string name, std::int32_t defaultValue, std::int32_t minimum, std::int32_t maximum)
      : Parameter(std::move(name)), default_(defaultValue), minimum_(minimum), maximum_(maximum),
        value_(defaultValue) {}

  std::int32_t defaultValue() const { return default_; }
  std::int32_t minimum() const { return minimum_; }
  std::int32_t maximum() const { return maximum_; }

  std::int32_t value() const { return value_.load(std::memory_order_relaxed); }
  void setValue(std::int32_t value) { value_.store(value, std::memory_order_relaxed); }

  // The value brought into minimum..maximum.
  std::int32_t clamped(std::int64_t value) const {
    if (value < minimum_) return minimum_;
    if (value > maximum_) return maximum_;
    return static_cast<std::int32_t>(value);
  }

 private:
  const std::int32_t default_;
  const std::int32_t minimum_;
  const std::int32_t maximum_;
  std::atomic<std::int32_t> value_;
};

class BoolParameter : public Parameter {
 public:
  BoolParameter(std::string name, bool defaultValue)
      : Parameter(std::move(name)), default_(defaultValue), value_(defaultValue) {}

  bool defaultValue() const { return default_; }
  bool value() const { return value_.load(std::memory_order_relaxed); }
  void setValue(bool value) { value_.store(value, std::memory_order_relaxed); }

 private:
  const bool default_;
  std::atomic<bool> value_;
};

class FloatParameter : public Parameter {
 public:
  FloatParameter(std::string name, float defaultValue, float minimum, float maximum)
      : Parameter(std::move(name)), default_(defaultValue), minimum_(minimum), maximum_(maximum),
        value_(defaultValue) {}

  float defaultValue() const { return default_; }
  float minimum() const { return minimum_; }
  float maximum() const { return maximum_; }
  float value() const { return value_.load(std::memory_order_relaxed); }
  void setValue(float value) { value_.store(value, std::memory_order_relaxed); }

 private:
  const float default_;
  const float minimum_;
  const float maximum_;
  std::atomic<float> value_;
};

// A UTF-8 text setting. value() hands out a copy taken under the setting's
// lock, so a reader never sees a text half written.
class StringParameter : public Parameter {
 public:
  StringParameter(std::string name, std::string defaultValue)
      : Parameter(std::move(name)), default_(std::move(defaultValue)), value_(default_) {}

  const std::string& defaultValue() const { return default_; }

  std::string value() const {
    MutexLock lock(mutex_);
    return value_;
  }
  void setValue(std::string value) {
    MutexLock lock(mutex_);
    value_ = std::move(value);
  }
  bool isEmpty() const {
    MutexLock lock(mutex_);
    return value_.empty();
  }

 private:
  const std::string default_;
  // Guards the value: the window and the threads of the session read it.
  mutable Mutex mutex_;
  std::string value_ GUARDED_BY(mutex_);
};

// Edit box of an integer setting.
class IntControlParameter : public IntParameter, public ParameterControl {
 public:
  IntControlParameter(std::string name, std::int32_t defaultValue, std::int32_t minimum,
                      std::int32_t maximum, std::uint16_t controlId, std::uint32_t row)
      : IntParameter(std::move(name), defaultValue, minimum, maximum), ParameterControl(controlId, row) {}
};

// Drop-down list of an integer setting; the allowed values ascend, the first
// is the minimum and the last the maximum. Reading accepts every value in
// between, listed or not.
class IntListParameter : public IntControlParameter {
 public:
  IntListParameter(std::string name, std::int32_t defaultValue, const std::vector<std::int32_t>& allowedValues,
                   std::uint16_t controlId, std::uint32_t row);

  const std::vector<std::int32_t>& allowedValues() const { return allowedValues_; }

 private:
  const std::vector<std::int32_t> allowedValues_;
};

// Check box of a boolean setting.
class BoolControlParameter : public BoolParameter, public ParameterControl {
 public:
  BoolControlParameter(std::string name, bool defaultValue, std::uint16_t controlId, std::uint32_t row)
      : BoolParameter(std::move(name), defaultValue), ParameterControl(controlId, row) {}
};

// Edit box of the float setting.
class FloatControlParameter : public FloatParameter, public ParameterControl {
 public:
  FloatControlParameter(std::string name, float defaultValue, float minimum, float maximum,
                        std::uint16_t controlId, std::uint32_t row)
      : FloatParameter(std::move(name), defaultValue, minimum, maximum), ParameterControl(controlId, row) {}
};

// Edit box of a text setting.
class StringControlParameter : public StringParameter, public ParameterControl {
 public:
  StringControlParameter(std::string name, std::string defaultValue, std::uint16_t controlId, std::uint32_t row)
      : StringParameter(std::move(name), std::move(defaultValue)), ParameterControl(controlId, row) {}
};

// Drop-down list of a text setting; the choices in display order. A stored
// value that is none of the choices is read as the one it names apart from
// case and blanks, else as the default, with a warning.
class StringListParameter : public StringControlParameter {
 public:
  StringListParameter(std::string name, std::string defaultValue, const std::vector<std::string>& choices,
                      std::uint16_t controlId, std::uint32_t row);

  const std::vector<std::string>& choices() const { return choices_; }

 private:
  const std::vector<std::string> choices_;
};

// A push button of the main window; its name is its caption. Never stored.
class ButtonControl : public Parameter, public ParameterControl {
 public:
  ButtonControl(std::string caption, std::uint16_t controlId, std::uint32_t row)
      : Parameter(std::move(caption)), ParameterControl(controlId, row) {}
};

// ---------------------------------------------------------------------------
// Allowed values and choices of the list settings.

extern const std::vector<std::int32_t> kRangeValues;          // RANGE, nm
extern const std::vector<std::int32_t> kAutoRangeHeightValues;  // AR_ABOVE_HEIGHT, ft
extern const std::vector<std::int32_t> kMaxAircraftValues;    // MAX_LIVE_SEL, MAX_PARK_SEL
extern const std::vector<std::int32_t> kMatchingDepthValues;  // MATCHING_DEPTH
extern const std::vector<std::int32_t> kAirportRangeValues;   // AIRP_RANGE, nm
extern const std::vector<std::int32_t> kAirportHeightValues;  // AIRP_HEIGHT, ft
extern const std::vector<std::string> kSimChoices;            // SIM_CHOICE
extern const std::vector<std::string> kAiPackageOrders;       // AI_PACKAGE_SELECTOR

inline constexpr std::string_view kSimChoiceMsfs2020 = "MSFS 2020";
inline constexpr std::string_view kSimChoiceMsfs2024 = "MSFS 2024";

// Folder names of the simulator's package folders (not settings).
inline constexpr std::string_view kCommunityFolderName = "Community";
inline constexpr std::string_view kOfficialFolderName = "Official";
inline constexpr std::string_view kOfficial2024FolderName = "Official2024";

// ---------------------------------------------------------------------------
// Simulator, paths and versions

extern StringListParameter par_SIM_CHOICE;
extern StringControlParameter par_ALL_INSTALL_PATH;  // not stored
extern StringParameter par_MSFS_INSTALL_PATH;
extern StringParameter par_MSFS_2024_INSTALL_PATH;
extern StringParameter par_PROGRAM_INSTALL_PATH;
extern StringParameter par_PROGRAM_VERSION;
extern StringParameter par_DBASE_VERSION;
extern StringParameter par_AIG_VERSION;
extern StringParameter par_MYSIMADDON24_VERSION;
inline constexpr int kLfolderCount = 10;
extern std::array<StringParameter, kLfolderCount> par_lfolder;  // "lfolder0".."lfolder9"
extern BoolParameter par_MSFS_2020;  // old form of SIM_CHOICE

// Window and log

extern BoolControlParameter par_LOG;
extern BoolControlParameter par_ALWAYS_ON_TOP;
extern IntParameter par_MAIN_WINDOW_X;
extern IntParameter par_MAIN_WINDOW_Y;
extern IntParameter par_LAST_EPOCH_TIME;  // key "LAST_EPOCH_TIME:"

// Livery selection and matching

extern BoolControlParameter par_SCAN_LIVERIES;
extern BoolControlParameter par_LIG_AUTOMATIC;
extern BoolControlParameter par_LIG_PRIORITIZE;
extern BoolControlParameter par_SUPPRESS_STUB;
extern StringListParameter par_AI_PACKAGE_SELECTOR;
extern IntParameter par_AI_PACKAGE_ORDER;  // old form of AI_PACKAGE_SELECTOR
extern IntListParameter par_MATCHING_DEPTH;
extern BoolControlParameter par_LIGHT_AIRCRAFT;
extern BoolControlParameter par_HELICOPTERS;
extern BoolControlParameter par_HIGH_PERF_AIRCRAFT;
extern BoolControlParameter par_GUID_CHANGES;
extern BoolControlParameter par_CALLSIGN_OBJECTIDS;
extern StringControlParameter par_CALLSIGN_2_OBJECTID;  // not stored
extern StringControlParameter par_BLOCK_CALLSIGN;

// Traffic, range and airport scan

extern IntListParameter par_RANGE;
extern BoolControlParameter par_AUTO_RANGE;
extern IntListParameter par_AR_ABOVE_HEIGHT;
extern IntListParameter par_MAX_LIVE_SEL;
extern IntParameter par_HOLDING_THRESHOLD_METERS;
extern IntParameter par_MAX_HOLDING_MINUTES;
extern BoolControlParameter par_NAV_LIGHTS_WHILE_PARKED;
extern BoolControlParameter par_SCAN_AIRPORTS;
extern BoolControlParameter par_LEARN_SOFT;
extern IntParameter par_LATERAL_RANGE;            // old form of RANGE; per-airport override
extern IntParameter par_AUTO_RANGE_ABOVE_HEIGHT;  // old form of AR_ABOVE_HEIGHT
extern IntParameter par_MAX_LIVE;                 // old form of MAX_LIVE_SEL; per-airport override

// Collisions

extern BoolControlParameter par_COLLISION_USER_AIR;
extern BoolControlParameter par_COLLISION_USER_GND;
extern BoolControlParameter par_COLLISION_LIVE_PARKED_GND;

// Time shift: (days x 24 + hours) x 60 + minutes

extern IntControlParameter par_TIME_SHIFT_DAYS;
extern IntControlParameter par_TIME_SHIFT_HOURS;
extern IntControlParameter par_TIME_SHIFT_MINS;
extern BoolControlParameter par_SIM_TIME;
extern BoolControlParameter par_KEEP_SIM_TIME_PAR;

// Parking and static aircraft

extern BoolControlParameter par_PARK_SOFT;
extern BoolControlParameter par_WEEK;
extern BoolControlParameter par_PARK_FAKE;
extern BoolControlParameter par_RT_PARKTRAFFIC_ONLY;
extern BoolControlParameter par_INITIAL_LOAD_ONLY;
extern BoolControlParameter par_STRAIGHT_PBS_ONLY;
extern IntControlParameter par_parking_percentage;  // not stored; 30 at every session start
// Age in half hours. Its id has no control of its own: the Max fit box shows
// MAX_FIT_FL, the same age in hours.
extern IntControlParameter par_MAX_FIT;
extern FloatControlParameter par_MAX_FIT_FL;  // not stored
extern IntListParameter par_MAX_PARK_SEL;
extern IntListParameter par_AIRP_RANGE;
extern IntListParameter par_AIRP_HEIGHT;
extern StringControlParameter par_DESTINATION;
extern IntParameter par_CUSTOM_PARKING_PERCENTAGE;
extern IntParameter par_CUSTOM_MAX_PARK;  // old form of MAX_PARK_SEL
extern IntParameter par_AIRPORT_RANGE;    // old form of AIRP_RANGE
extern IntParameter par_AIRPORT_HEIGHT;   // old form of AIRP_HEIGHT

// Push buttons

extern ButtonControl button_Unblock;      // "Unblock"
extern ButtonControl button_Reread;       // "Re-read"
extern ButtonControl button_FlushStatic;  // "Flush static"

// ---------------------------------------------------------------------------
// The hours shown for a MAX_FIT age in half hours (47 -> 24.0) and the age
// stored for typed hours in steps of 0.5 (0.5 -> 0), clamped into 0..47.
float maxFitHours(std::int32_t halfHours);
std::int32_t maxFitHalfHours(float hours);

// The keys an airport file may carry its own value for, in file order.
const std::vector<std::string>& airportOverrideKeys();

// ---------------------------------------------------------------------------
// Applied traffic range (set by setRange, foundation/version_update.h).

// The range in nautical miles as given, unclamped.
double trafficRangeNm();
// Radius of the traffic area: range x 1852 + 10000.
std::int32_t trafficRadiusMeters();
void setTrafficRange(std::int32_t rangeNm);

// The chosen simulator: true for MSFS 2020.
bool isMsfs2020();
void setMsfs2020(bool chosen);

// The folder name of the chosen simulator family, "MSFS" (at start and for
// MSFS 2020) or "MSFS2024"; the meta block of written files names the
// simulator from it. Set it once from the chosen simulator before any scan
// task starts; tasks only read it.
std::string simFolderName();
void setSimFolderName(std::string folderName);
// "MSFS" for the choice "MSFS 2020", else "MSFS2024".
std::string simFolderNameFor(std::string_view simChoice);
inline constexpr std::string_view kSimFolderMsfs2020 = "MSFS";
inline constexpr std::string_view kSimFolderMsfs2024 = "MSFS2024";

}  // namespace crv
