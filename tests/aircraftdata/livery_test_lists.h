#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>

#include "aircraftdata/livery_data.h"
#include "foundation/settings.h"

namespace crv::testing {

LiveryData livery(std::string airline, std::string type, std::string title, std::string registration = {},
                  bool cargo = false);

// The liveries in the order the livery scan hands them over.
LiveryList sortedLiveries(std::initializer_list<LiveryData> liveries);

// Loads the database the program ships (data/dbase.xml).
void installShippedDbase();

// Puts a setting back to its value when the test ends.
template <typename Setting>
class SettingGuard {
 public:
  explicit SettingGuard(Setting& setting) : setting_(setting), saved_(setting.value()) {}
  ~SettingGuard() { setting_.setValue(saved_); }
  SettingGuard(const SettingGuard&) = delete;
  SettingGuard& operator=(const SettingGuard&) = delete;

 private:
  Setting& setting_;
  decltype(std::declval<Setting&>().value()) saved_;
};
using BoolSettingGuard = SettingGuard<BoolParameter>;
using IntSettingGuard = SettingGuard<IntParameter>;

}  // namespace crv::testing
