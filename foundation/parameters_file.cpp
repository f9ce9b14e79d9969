#include "foundation/parameters_file.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <mutex>
#include <pugixml.hpp>
#include <set>
#include <sstream>
#include <string_view>
#include <system_error>
#include <vector>

#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/setting_controls.h"
#include "foundation/text.h"
#include "foundation/version_update.h"

namespace crv {

namespace {

constexpr const char* kRootName = "parameters";
constexpr const char* kNodeName = "parameter";
constexpr const char* kNameAttribute = "name";
constexpr const char* kValueAttribute = "value";

// Every load and every read-modify-write of parameters.xml.
std::mutex fileMutex;

std::filesystem::path filePath() { return std::filesystem::path(parametersFilePath()); }

const char* boolText(bool value) { return value ? "true" : "false"; }

// The first node of the key: "/parameters/parameter[@name='<key>']".
pugi::xml_node findNode(const pugi::xml_document& document, const std::string& key) {
  for (pugi::xml_node root : document.children(kRootName)) {
    for (pugi::xml_node node : root.children(kNodeName)) {
      if (key == node.attribute(kNameAttribute).value()) return node;
    }
  }
  return {};
}

// The document's parameters element, appended when there is none.
pugi::xml_node rootOf(pugi::xml_document& document) {
  pugi::xml_node root = document.child(kRootName);
  if (!root) root = document.append_child(kRootName);
  return root;
}

pugi::xml_node appendNode(pugi::xml_document& document, const std::string& key, const std::string& value) {
  pugi::xml_node root = rootOf(document);
  if (!root) return {};
  pugi::xml_node node = root.append_child(kNodeName);
  if (!node) return {};
  if (!node.append_attribute(kNameAttribute).set_value(key.c_str())) return {};
  if (!node.append_attribute(kValueAttribute).set_value(value.c_str())) return {};
  return node;
}

enum class FileState {
  Loaded,    // the document holds the file
  Missing,   // there is no file
  SetAside,  // the file did not load and was renamed to parameters.xml.bad
  Unusable,  // the file did not load and could not be renamed: leave it alone
};

// Our file is two levels deep. A file nested much deeper is no settings file
// (its nodes are kept on every save, and the indentation of each save grows
// with the square of the depth): it is set aside like a file that does not
// parse.
constexpr int kMaximumNodeDepth = 32;

class DepthWalker : public pugi::xml_tree_walker {
 public:
  bool for_each(pugi::xml_node&) override {
    tooDeep = depth() >= kMaximumNodeDepth;
    return !tooDeep;
  }
  bool tooDeep = false;
};

bool isTooDeep(pugi::xml_document& document) {
  DepthWalker walker;
  document.traverse(walker);
  return walker.tooDeep;
}

// Loads the file into the document; the caller holds fileMutex. A file that
// exists but does not load is kept under a name of its own, so that writing
// a new file loses nothing.
FileState loadFile(pugi::xml_document& document, const std::filesystem::path& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) {
    return error && error != std::errc::no_such_file_or_directory ? FileState::Unusable : FileState::Missing;
  }
  if (!std::filesystem::is_regular_file(status)) {
    // Not ours to move: a folder (or device) the user made under our name.
    gf_logWarning(fmt::format("'{}' is {}, not a settings file; it is left as it is and nothing is saved",
                              path.string(), std::filesystem::is_directory(status) ? "a folder" : "no file"));
    return FileState::Unusable;
  }
  const pugi::xml_parse_result result = document.load_file(path.c_str());
  if (result && !isTooDeep(document)) return FileState::Loaded;
  const std::string cause =
      result ? fmt::format("nodes nested deeper than {} levels", kMaximumNodeDepth) : result.description();
  document.reset();

  const std::filesystem::path setAside = freeSetAsideName(path, kSetAsideSuffix);
  std::filesystem::rename(path, setAside, error);
  if (error) {
    gf_logWarning(fmt::format("'{}' cannot be read ({}) and could not be set aside as '{}': {}", path.string(),
                              cause, setAside.string(), error.message()));
    return FileState::Unusable;
  }
  gf_logWarning(
      fmt::format("'{}' cannot be read ({}); it is kept as '{}'", path.string(), cause, setAside.string()));
  return FileState::SetAside;
}

bool writeDocument(const pugi::xml_document& document, const std::filesystem::path& path) {
  std::ostringstream stream;
  document.save(stream, "\t", pugi::format_default, pugi::encoding_utf8);
  return writeFileAtomically(path, stream.str());
}

// Writes the value of one key into the file; logLine reports the setting.
void saveValue(const std::string& key, const std::string& value, const std::string& logLine) {
  std::lock_guard lock(fileMutex);
  const std::filesystem::path path = filePath();
  pugi::xml_document document;
  // A file that cannot be used is left as it is: the setting is logged, then
  // the failed save.
  bool stored = false;
  if (loadFile(document, path) != FileState::Unusable) {
    if (pugi::xml_node node = findNode(document, key)) {
      pugi::xml_attribute attribute = node.attribute(kValueAttribute);
      if (!attribute) attribute = node.append_attribute(kValueAttribute);
      stored = attribute.set_value(value.c_str());
    } else {
      stored = static_cast<bool>(appendNode(document, key, value));
    }
  }
  gf_logLineUnlessStopping(logLine);
  if (!stored || !writeDocument(document, path)) {
    gf_logLineUnlessStopping(fmt::format("Saving '{}' failed", path.string()));
  }
}

std::string intLine(const IntParameter& setting, std::int32_t value) {
  return fmt::format("{}={}", setting.name(), value);
}
std::string boolLine(const BoolParameter& setting, bool value) {
  return fmt::format("{}={}", setting.name(), boolText(value));
}
// The user's own text stands whole; only control bytes and bytes that are no
// UTF-8 are escaped.
std::string textLine(const StringParameter& setting, const std::string& value) {
  return fmt::format("{}=\"{}\"", setting.name(), escapedNonUtf8(value));
}

// The text as a whole number (blanks around it allowed); none for anything
// else, such as "forty", "1e9" or "12.5".
std::optional<std::int64_t> wholeNumber(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(" \t") + 1 - first);
  if (text.front() == '+') text.remove_prefix(1);
  std::int64_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return number;
}

bool isBoolText(std::string_view text) {
  static constexpr std::string_view kTexts[] = {"true", "false", "1", "0", "yes", "no"};
  return std::any_of(std::begin(kTexts), std::end(kTexts), [text](std::string_view known) {
    return text.size() == known.size() && std::equal(text.begin(), text.end(), known.begin(), [](char a, char b) {
             return std::tolower(static_cast<unsigned char>(a)) == b;
           });
  });
}

// A stored value that the setting cannot take as it stands.
void reportTakenValue(const Parameter& setting, std::string_view found, std::string_view why, std::string_view used) {
  gf_logWarning(fmt::format("Parameter '{}' has the value \"{}\", {}; {} is used", setting.name(), logExcerpt(found),
                            why, used));
}

void reportFailedInit(const std::string& key, const std::string& value) {
  gf_logLine(fmt::format("{}Adding Init XML parameter '{}' with value '{}' failed!", kWarningPrefix, key, value));
}

bool isLfolderKey(const std::string& key) { return key.find("lfolder") != std::string::npos; }

void readLists(const LoadLists& lists, pugi::xml_document& document) {
  for (BoolControlParameter* setting : lists.checkBoxes) {
    ensureBoolParameter(*setting, document);
    setCheckBox(*setting);
  }
  for (IntParameter* setting : lists.bareInts) ensureIntParameter(*setting, document);
  for (IntControlParameter* setting : lists.intControls) {
    ensureIntParameter(*setting, document);
    setControlInt(*setting);
  }
  for (StringParameter* setting : lists.texts) {
    if (!isLfolderKey(setting->name())) {
      ensureStringParameter(*setting, document);
      continue;
    }
    readLfolderParameter(*setting, document);
    if (!setting->isEmpty()) continue;
    // An empty livery folder is no livery folder: its node goes.
    if (pugi::xml_node node = findNode(document, setting->name())) {
      node.parent().remove_child(node);
      gf_logLine(fmt::format("Parameter '{}' removed", setting->name()));
    }
  }
  for (StringControlParameter* setting : lists.textControls) {
    ensureStringParameter(*setting, document);
    setControlText(*setting);
  }
}

void takeDefaults(const LoadLists& lists, pugi::xml_document& document) {
  for (BoolControlParameter* setting : lists.checkBoxes) {
    addInitBoolParameter(*setting, document);
    setCheckBox(*setting);
  }
  for (IntParameter* setting : lists.bareInts) addInitIntParameter(*setting, document);
  for (IntControlParameter* setting : lists.intControls) {
    addInitIntParameter(*setting, document);
    setControlInt(*setting);
  }
  for (StringParameter* setting : lists.texts) {
    if (!isLfolderKey(setting->name())) addInitStringParameter(*setting, document);
  }
  for (StringControlParameter* setting : lists.textControls) {
    addInitStringParameter(*setting, document);
    setControlText(*setting);
  }
}

}  // namespace

LoadLists buildLoadLists() {
  LoadLists lists;
  lists.checkBoxes = {&par_SIM_TIME,
                      &par_KEEP_SIM_TIME_PAR,
                      &par_RT_PARKTRAFFIC_ONLY,
                      &par_CALLSIGN_OBJECTIDS,
                      &par_COLLISION_USER_AIR,
                      &par_COLLISION_USER_GND,
                      &par_COLLISION_LIVE_PARKED_GND,
                      &par_SUPPRESS_STUB,
                      &par_LOG,
                      &par_ALWAYS_ON_TOP,
                      &par_SCAN_LIVERIES,
                      &par_LIG_AUTOMATIC,
                      &par_LIG_PRIORITIZE,
                      &par_SCAN_AIRPORTS,
                      &par_LIGHT_AIRCRAFT,
                      &par_HELICOPTERS,
                      &par_HIGH_PERF_AIRCRAFT,
                      &par_NAV_LIGHTS_WHILE_PARKED,
                      &par_AUTO_RANGE,
                      &par_LEARN_SOFT,
                      &par_STRAIGHT_PBS_ONLY,
                      &par_PARK_SOFT,
                      &par_PARK_FAKE,
                      &par_WEEK,
                      &par_INITIAL_LOAD_ONLY,
                      &par_GUID_CHANGES};
  lists.bareInts = {&par_CUSTOM_PARKING_PERCENTAGE, &par_MAIN_WINDOW_X,           &par_MAIN_WINDOW_Y,
                    &par_LAST_EPOCH_TIME,           &par_HOLDING_THRESHOLD_METERS, &par_MAX_HOLDING_MINUTES};
  lists.intControls = {&par_MATCHING_DEPTH, &par_RANGE,     &par_MAX_FIT,         &par_AR_ABOVE_HEIGHT,
                       &par_MAX_PARK_SEL,   &par_MAX_LIVE_SEL, &par_AIRP_RANGE,   &par_AIRP_HEIGHT,
                       &par_TIME_SHIFT_DAYS, &par_TIME_SHIFT_HOURS, &par_TIME_SHIFT_MINS};
  lists.texts.push_back(&par_PROGRAM_VERSION);
  lists.texts.push_back(&par_MSFS_INSTALL_PATH);
  for (StringParameter& folder : par_lfolder) lists.texts.push_back(&folder);
  for (StringParameter* setting : {&par_PROGRAM_INSTALL_PATH, &par_DBASE_VERSION, &par_AIG_VERSION,
                                   &par_MYSIMADDON24_VERSION, &par_MSFS_2024_INSTALL_PATH}) {
    lists.texts.push_back(setting);
  }
  lists.texts.push_back(&par_AI_PACKAGE_SELECTOR);
  lists.texts.push_back(&par_DESTINATION);
  lists.textControls = {&par_BLOCK_CALLSIGN, &par_SIM_CHOICE};
  return lists;
}

std::vector<const Parameter*> obsoleteParameters() {
  return {&par_MSFS_2020,     &par_AI_PACKAGE_ORDER, &par_CUSTOM_MAX_PARK,         &par_MAX_LIVE,
          &par_LATERAL_RANGE, &par_AIRPORT_RANGE,    &par_AUTO_RANGE_ABOVE_HEIGHT, &par_AIRPORT_HEIGHT};
}

void gf_readParameters() {
  loadParameters(buildLoadLists());
  updateFromOlderVersion();
  setRange(par_RANGE.value());
}

void loadParameters(const LoadLists& lists) {
  std::unique_lock lock(fileMutex);
  const std::filesystem::path path = filePath();
  gf_logLine(bannerLine(70, 0, true, false, "parameters"));
  // Once per folder and process. Every save holds fileMutex, so a
  // temporary file now is one that a killed save left behind.
  static std::set<std::filesystem::path> cleanedFolders;  // guarded by fileMutex
  if (cleanedFolders.insert(path.parent_path()).second) {
    removeStaleTemporaries(path.parent_path());
  }
  pugi::xml_document document;
  const FileState state = loadFile(document, path);
  if (state == FileState::Loaded) {
    gf_logLine(fmt::format("from '{}'", path.string()));
    if (rootOf(document)) readLists(lists, document);
    saveXml(document, path);
  } else {
    gf_logLine(fmt::format("{} not found, default values taken:", path.string()));
    pugi::xml_document defaults;
    if (defaults.append_child(kRootName)) {
      takeDefaults(lists, defaults);
      // A file that cannot be used (a damaged one that could not be set
      // aside among them) is never overwritten; the log says it was not saved.
      if (state == FileState::Unusable) {
        logNotSaved(path);
      } else {
        saveXml(defaults, path);
      }
    }
  }
  lock.unlock();
  gf_logLine(bannerLine(70, 10, false, true, ""));
}

bool loadParametersDocument(pugi::xml_document& document) {
  std::lock_guard lock(fileMutex);
  return static_cast<bool>(document.load_file(filePath().c_str()));
}

bool readIntParameter(IntParameter& setting, const pugi::xml_document& document, bool logIt) {
  const pugi::xml_node node = findNode(document, setting.name());
  const bool found = static_cast<bool>(node);
  if (!found) {
    setting.setValue(setting.defaultValue());
  } else {
    const pugi::xml_attribute value = node.attribute(kValueAttribute);
    setting.setValue(setting.clamped(value.as_int()));
    // Taken as ever, but never silently: the user learns what became of a
    // value that was no number or out of bounds.
    const std::string_view text = value.value();
    const std::optional<std::int64_t> number = wholeNumber(text);
    if (logIt && !number) {
      reportTakenValue(setting, text, "which is no whole number", std::to_string(setting.value()));
    } else if (logIt && setting.value() != *number) {
      reportTakenValue(setting, text,
                       fmt::format("outside {}..{}", setting.clamped(INT64_MIN), setting.clamped(INT64_MAX)),
                       std::to_string(setting.value()));
    }
  }
  if (logIt) logIntParameter(setting);
  return found;
}

bool readBoolParameter(BoolParameter& setting, const pugi::xml_document& document) {
  const pugi::xml_node node = findNode(document, setting.name());
  const bool found = static_cast<bool>(node);
  if (found) {
    const std::string_view text = node.attribute(kValueAttribute).value();
    setting.setValue(!text.empty() && std::string_view("1tTyY").find(text.front()) != std::string_view::npos);
    if (!isBoolText(text)) reportTakenValue(setting, text, "which is neither true nor false", boolText(setting.value()));
  } else {
    setting.setValue(setting.defaultValue());
  }
  logBoolParameter(setting);
  return found;
}

namespace {

bool readText(StringParameter& setting, const pugi::xml_document& document) {
  const pugi::xml_node node = findNode(document, setting.name());
  setting.setValue(node ? std::string(node.attribute(kValueAttribute).value()) : setting.defaultValue());
  return static_cast<bool>(node);
}

// A stored value of a drop-down list that is none of its choices is kept as
// read (each user of it decides what such a text means), but never silently.
void warnOfUnlistedChoice(const StringListParameter& setting) {
  const std::string& stored = setting.value();
  const auto& choices = setting.choices();
  if (std::find(choices.begin(), choices.end(), stored) != choices.end()) return;
  std::string allowed;
  for (const std::string& each : choices) allowed += fmt::format("{}\"{}\"", allowed.empty() ? "" : " or ", each);
  reportTakenValue(setting, stored, fmt::format("which is none of {}", allowed), fmt::format("\"{}\"", stored));
}

}  // namespace

bool readStringParameter(StringParameter& setting, const pugi::xml_document& document) {
  const bool found = readText(setting, document);
  if (auto* list = dynamic_cast<const StringListParameter*>(&setting); list != nullptr && found) {
    warnOfUnlistedChoice(*list);
  }
  logStringParameter(setting);
  return found;
}

bool readLfolderParameter(StringParameter& setting, const pugi::xml_document& document) {
  const bool found = readText(setting, document);
  if (!setting.isEmpty()) logStringParameter(setting);
  return found;
}

void ensureBoolParameter(BoolParameter& setting, pugi::xml_document& document) {
  if (!readBoolParameter(setting, document)) appendNode(document, setting.name(), boolText(setting.value()));
}

void ensureIntParameter(IntParameter& setting, pugi::xml_document& document) {
  if (!readIntParameter(setting, document, true)) {
    appendNode(document, setting.name(), std::to_string(setting.value()));
  }
}

void ensureStringParameter(StringParameter& setting, pugi::xml_document& document) {
  if (!readStringParameter(setting, document)) appendNode(document, setting.name(), setting.value());
}

void addInitBoolParameter(BoolParameter& setting, pugi::xml_document& document) {
  setting.setValue(setting.defaultValue());
  const std::string value = boolText(setting.value());
  if (!appendNode(document, setting.name(), value)) reportFailedInit(setting.name(), value);
  logBoolParameter(setting);
}

void addInitIntParameter(IntParameter& setting, pugi::xml_document& document) {
  setting.setValue(setting.defaultValue());
  const std::string value = std::to_string(setting.value());
  if (!appendNode(document, setting.name(), value)) reportFailedInit(setting.name(), value);
  logIntParameter(setting);
}

void addInitStringParameter(StringParameter& setting, pugi::xml_document& document) {
  setting.setValue(setting.defaultValue());
  if (!appendNode(document, setting.name(), setting.defaultValue())) {
    reportFailedInit(setting.name(), setting.defaultValue());
  }
  logStringParameter(setting);
}

void saveIntParameter(const IntParameter& setting) {
  const std::int32_t value = setting.value();
  saveValue(setting.name(), std::to_string(value), intLine(setting, value));
}

void saveBoolParameter(const BoolParameter& setting) {
  const bool value = setting.value();
  saveValue(setting.name(), boolText(value), boolLine(setting, value));
}

void saveStringParameter(const StringParameter& setting) {
  const std::string value = setting.value();
  saveValue(setting.name(), value, textLine(setting, value));
}

void setStringParameterAndSave(StringParameter& setting, std::string value) {
  setting.setValue(std::move(value));
  saveStringParameter(setting);
}

bool removeParameter(const Parameter& setting) {
  std::lock_guard lock(fileMutex);
  const std::filesystem::path path = filePath();
  pugi::xml_document document;
  if (loadFile(document, path) != FileState::Loaded) return false;
  pugi::xml_node node = findNode(document, setting.name());
  if (!node) return false;
  node.parent().remove_child(node);
  gf_logLineUnlessStopping(fmt::format("Parameter '{}' removed", setting.name()));
  if (!writeDocument(document, path)) gf_logLineUnlessStopping(fmt::format("Saving '{}' failed", path.string()));
  return true;
}

void logIntParameter(const IntParameter& setting) {
  gf_logLineUnlessStopping(intLine(setting, setting.value()));
}

void logBoolParameter(const BoolParameter& setting) {
  gf_logLineUnlessStopping(boolLine(setting, setting.value()));
}

void logStringParameter(const StringParameter& setting) {
  gf_logLineUnlessStopping(textLine(setting, setting.value()));
}

}  // namespace crv
