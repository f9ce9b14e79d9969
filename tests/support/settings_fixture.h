#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "foundation/settings.h"
#include "tests/support/log_capture.h"

namespace crv {

// Every setting back at its default, the applied range and the simulator
// folder name as at program start.
void resetAllSettings();

// The main window's controls of the settings, as the window creates them
// (MAX_FIT has none of its own).
void createSettingControls();

// A test with its own data folder, working folder and Log.txt; the settings
// and the control model are reset before and after.
class SettingsFixture : public ::testing::Test {
 protected:
  SettingsFixture();
  ~SettingsFixture() override;

  std::filesystem::path parametersPath() const;
  void writeParameters(const std::string& body) const;  // the parameter elements
  std::string parametersText() const;
  std::string logText() const;

  testing::TempFolder folder;

 private:
  testing::ScopedWorkingFolder workingFolder_{folder.path()};
  std::filesystem::path previousDataFolder_;
};

// Parameter elements, one a line, of the keys and their values:
//   parameterNodes({{"RANGE", "25"}, {"LOG", "true"}})
std::string parameterNodes(std::initializer_list<std::pair<std::string_view, std::string_view>> nodes);

// The value attribute of the key's node; "(absent)" without a node,
// "(no value)" for a node without the attribute.
std::string storedValue(const std::filesystem::path& parametersFile, const std::string& key);
// How many nodes the file holds for the key.
int storedCount(const std::filesystem::path& parametersFile, const std::string& key);

}  // namespace crv
