#include "tests/support/settings_fixture.h"

#include <pugixml.hpp>

#include "foundation/log.h"
#include "foundation/meta_info.h"
#include "foundation/parameters_file.h"
#include "foundation/paths.h"
#include "foundation/session_flags.h"
#include "foundation/version_update.h"
#include "platform/window/control_model.h"

namespace crv {

namespace {

template <typename Setting>
void reset(Setting& setting) {
  setting.setValue(setting.defaultValue());
}

platform::ControlRect rowRect(const ParameterControl& control) {
  return platform::ControlRect{0, static_cast<int>(control.row()), 100, 16};
}

}  // namespace

void resetAllSettings() {
  const LoadLists lists = buildLoadLists();
  for (auto* s : lists.checkBoxes) reset(*s);
  for (auto* s : lists.bareInts) reset(*s);
  for (auto* s : lists.intControls) reset(*s);
  for (auto* s : lists.texts) reset(*s);
  for (auto* s : lists.textControls) reset(*s);
  for (IntParameter* s : {&par_AI_PACKAGE_ORDER, &par_CUSTOM_MAX_PARK, &par_MAX_LIVE, &par_LATERAL_RANGE,
                          &par_AIRPORT_RANGE, &par_AUTO_RANGE_ABOVE_HEIGHT, &par_AIRPORT_HEIGHT}) {
    reset(*s);
  }
  reset(par_MSFS_2020);
  reset(par_parking_percentage);
  reset(par_MAX_FIT_FL);
  reset(par_CALLSIGN_2_OBJECTID);
  reset(par_ALL_INSTALL_PATH);
  for (StringParameter* s : {&metaAuthor, &metaDate, &metaVersion, &metaCopyright, &metaMsfs, &metaP3d}) reset(*s);
  setRange(par_RANGE.defaultValue());
  setSimFolderName(std::string(kSimFolderMsfs2020));
}

void createSettingControls() {
  auto& controls = platform::mainWindowControls();
  const LoadLists lists = buildLoadLists();
  for (BoolControlParameter* s : lists.checkBoxes) {
    controls.createControl(s->controlId(), platform::ControlKind::CheckBox, rowRect(*s));
  }
  for (IntControlParameter* s : lists.intControls) {
    if (s == &par_MAX_FIT) continue;
    const bool isList = dynamic_cast<IntListParameter*>(s) != nullptr;
    controls.createControl(s->controlId(),
                           isList ? platform::ControlKind::ComboBox : platform::ControlKind::EditBox, rowRect(*s));
  }
  for (StringListParameter* s : {&par_SIM_CHOICE, &par_AI_PACKAGE_SELECTOR}) {
    controls.createControl(s->controlId(), platform::ControlKind::ComboBox, rowRect(*s));
  }
  for (StringControlParameter* s : {&par_ALL_INSTALL_PATH, &par_BLOCK_CALLSIGN, &par_CALLSIGN_2_OBJECTID,
                                    &par_DESTINATION}) {
    controls.createControl(s->controlId(), platform::ControlKind::EditBox, rowRect(*s));
  }
  controls.createControl(par_parking_percentage.controlId(), platform::ControlKind::EditBox,
                         rowRect(par_parking_percentage));
  controls.createControl(par_MAX_FIT_FL.controlId(), platform::ControlKind::EditBox, rowRect(par_MAX_FIT_FL));
}

SettingsFixture::SettingsFixture() : previousDataFolder_(dataFolderPath()) {
  std::filesystem::create_directories(folder / "data");
  setDataFolderPath(folder / "data");
  clearStopRequest();
  setUserClosedWindow(false);
  resetAllSettings();
  platform::mainWindowControls().destroyAll();
  openLog(folder / "Log.txt");
}

SettingsFixture::~SettingsFixture() {
  closeLog();
  platform::mainWindowControls().destroyAll();
  resetAllSettings();
  setDataFolderPath(previousDataFolder_);
}

std::filesystem::path SettingsFixture::parametersPath() const { return parametersFilePath(); }

void SettingsFixture::writeParameters(const std::string& body) const {
  testing::writeFile(parametersPath(), "<?xml version=\"1.0\"?>\n<parameters>\n" + body + "</parameters>\n");
}

std::string SettingsFixture::parametersText() const { return testing::readFile(parametersPath()); }

std::string SettingsFixture::logText() const { return testing::readTextFile(folder / "Log.txt"); }

std::string parameterNodes(std::initializer_list<std::pair<std::string_view, std::string_view>> nodes) {
  std::string text;
  for (const auto& [key, value] : nodes) {
    text += "<parameter name=\"" + std::string(key) + "\" value=\"" + std::string(value) + "\"/>\n";
  }
  return text;
}

std::string storedValue(const std::filesystem::path& parametersFile, const std::string& key) {
  pugi::xml_document document;
  if (!document.load_file(parametersFile.c_str())) return "(unreadable)";
  for (pugi::xml_node node : document.child("parameters").children("parameter")) {
    if (key != node.attribute("name").value()) continue;
    const pugi::xml_attribute value = node.attribute("value");
    return value ? value.value() : "(no value)";
  }
  return "(absent)";
}

int storedCount(const std::filesystem::path& parametersFile, const std::string& key) {
  pugi::xml_document document;
  if (!document.load_file(parametersFile.c_str())) return -1;
  int count = 0;
  for (pugi::xml_node node : document.child("parameters").children("parameter")) {
    if (key == node.attribute("name").value()) ++count;
  }
  return count;
}

}  // namespace crv
