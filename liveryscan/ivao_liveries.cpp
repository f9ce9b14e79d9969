#include "liveryscan/ivao_liveries.h"

#include <array>
#include <system_error>

#include <fmt/format.h>

#include "aircraftdata/type_lookups.h"
#include "foundation/log.h"
#include "foundation/text.h"
#include "liveryscan/cfg_lines.h"
#include "liveryscan/fltsim_sections.h"
#include "liveryscan/model_code.h"
#include "liveryscan/scan_reports.h"

namespace fs = std::filesystem;

namespace crv {
namespace {

constexpr std::string_view kIvaoFolderPrefix = "IVAO_";
constexpr std::size_t kModelCodeLength = 4;
constexpr int kNotCargo = 1;

bool isWordChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// The path's components from the last one backwards, at most count of them;
// rest is what stands in front of the first one taken.
std::vector<std::string_view> lastComponents(std::string_view path, std::size_t count, std::string_view& rest) {
  std::vector<std::string_view> components;
  std::size_t end = path.size();
  while (components.size() < count) {
    std::size_t start = end;
    while (start > 0 && !isSeparator(path[start - 1])) --start;
    components.push_back(path.substr(start, end - start));
    if (start == 0) {
      rest = {};
      return components;
    }
    end = start - 1;
  }
  rest = path.substr(0, end);
  return components;
}

bool matchesIvaoLayout(std::string_view path, std::string_view package, std::string& name) {
  std::string_view rest;
  const auto parts = lastComponents(path, 5, rest);
  if (parts.size() < 5 || rest.empty()) return false;
  if (!equalsIgnoringAsciiCase(parts[0], "aircraft.cfg") || !equalsIgnoringAsciiCase(parts[2], "Airplanes") ||
      !equalsIgnoringAsciiCase(parts[3], "SimObjects") || !equalsIgnoringAsciiCase(parts[4], package)) {
    return false;
  }
  const std::string_view folder = parts[1];
  if (folder.size() <= kIvaoFolderPrefix.size() ||
      !equalsIgnoringAsciiCase(folder.substr(0, kIvaoFolderPrefix.size()), kIvaoFolderPrefix)) {
    return false;
  }
  const std::string_view word = folder.substr(kIvaoFolderPrefix.size());
  for (const char c : word) {
    if (!isWordChar(c)) return false;
  }
  name = std::string(word);
  return true;
}

bool hasTextureFolder(const fs::path& folder) {
  std::error_code error;
  const fs::file_status status = fs::status(folder, error);
  if (error && error != std::errc::no_such_file_or_directory && error != std::errc::not_a_directory) {
    throw fs::filesystem_error("status", folder, error);
  }
  return fs::is_directory(status);
}

// What one section's walk gathers; false when a line stops the section.
struct IvaoKeys {
  std::string title;
  std::string parkingTypes;
  std::string registration;
  std::string texture;
};

bool walkIvaoSection(const std::vector<std::string>& section, std::string_view folder, IvaoKeys& keys) {
  const std::string& header = section.front();
  for (std::size_t index = 1; index < section.size(); ++index) {
    const std::string& line = section[index];
    if (isOverlong(line)) continue;
    std::string value;
    if (keys.title.empty()) {
      if (readTitleLine(line, value)) {
        keys.title = trim(value);
        if (keys.title.size() < value.size()) {
          gf_logLine(fmt::format("removed spaces around title '{}' --> '{}'", value, keys.title));
        }
        continue;
      }
    } else if (readTitleLine(line, value)) {
      addIncompleteSectionLine(fmt::format("{} {} has more than one title key", folder, header));
      return false;
    }
    if (keys.parkingTypes.empty()) {
      if (readParkingTypesLine(line, value)) {
        normaliseCommaList(value);
        keys.parkingTypes = toUpper(value);
        continue;
      }
    } else if (hasParkingTypesKey(line)) {
      addIncompleteSectionLine(fmt::format("{} {} has more than one atc_parking_types key", folder, header));
      return false;
    }
    if (keys.registration.empty()) {
      if (readAtcIdLine(line, value)) {
        if (!validateAtcId(value, keys.registration)) {
          addIncompleteSectionLine(fmt::format("invalid atc_id={} in {}", value, keys.title));
          keys.registration.clear();
        }
        continue;
      }
    } else if (hasAtcIdKey(line)) {
      addIncompleteSectionLine(fmt::format("{}, {}, has more than one atc_id key", folder, header));
      return false;
    }
    if (keys.texture.empty()) readTextureLine(line, keys.texture);
  }
  return true;
}

}  // namespace

bool isIvaoWingletFolder(std::string_view folder) {
  constexpr std::array<std::string_view, 5> kWingletFolders = {"IVAO_B738WLfa", "IVAO_B739WLfa", "IVAO_A320wCFM",
                                                               "IVAO_A320wIAE", "IVAO_A319fIAEw"};
  for (const std::string_view name : kWingletFolders) {
    if (folder.find(name) != std::string_view::npos) return true;
  }
  return false;
}

std::string ivaoModelFromPath(std::string_view path) {
  std::string name;
  if (!matchesIvaoLayout(path, "IVAO_MTL", name) && !matchesIvaoLayout(path, "ivao_x-csl", name)) {
    reportInvalidModel("  ", path);
    return {};
  }
  if (name.size() > kModelCodeLength) name.resize(kModelCodeLength);
  return checkModelCode(name, path);
}

std::string airlineInIvaoTitle(std::string_view title, std::string_view model, bool winglets) {
  if (title.size() < model.size() || !equalsIgnoringAsciiCase(title.substr(0, model.size()), model)) return {};
  std::size_t index = model.size();
  if (winglets) {
    if (index >= title.size() || toUpperChar(title[index]) != 'W') return {};
    ++index;
  }
  while (index < title.size() && isCfgBlank(title[index])) ++index;
  constexpr std::size_t kAirlineLength = 3;
  if (title.size() - index < kAirlineLength) return {};
  for (std::size_t i = index; i < index + kAirlineLength; ++i) {
    if (!isWordChar(title[i])) return {};
  }
  return std::string(title.substr(index, kAirlineLength));
}

LiveryList searchIvaoLiveriesInFile(std::uint32_t folderNumber, const std::filesystem::path& path) {
  LiveryList liveries;
  const std::string pathText = path.string();
  try {
    const std::string model = ivaoModelFromPath(pathText);
    if (model.empty()) return liveries;
    std::vector<std::string> lines;
    const CfgFileRead read = readAircraftCfgLines(path, lines);
    if (read == CfgFileRead::NoCharset) gf_logWarning(fmt::format("No character set found for {}", pathText));
    if (read != CfgFileRead::Read) return liveries;
    if (!checkFltsimNumbering(lines, pathText)) return liveries;
    liveries = processIvaoSections(folderNumber, lines, model, pathText, folderOfPath(pathText));
  } catch (const std::exception& error) {
    gf_logLine(fmt::format("Exception in searchIvaoLiveriesInFile {}: {}", pathText, error.what()));
    liveries.clear();
  }
  return liveries;
}

LiveryList processIvaoSections(std::uint32_t folderNumber, std::vector<std::string>& lines,
                               const std::string& model, std::string_view path, std::string_view folder) {
  LiveryList liveries;
  // Here a '[' anywhere in a line opens another section.
  forEachFltsimSection(lines, std::string_view::npos, [&](std::vector<std::string>& section) {
    LiveryData livery = processIvaoSection(folderNumber, section, model, path, folder);
    if (!livery.airl.empty()) liveries.push_back(std::move(livery));
  });
  return liveries;
}

LiveryData processIvaoSection(std::uint32_t folderNumber, std::vector<std::string>& section,
                              const std::string& model, std::string_view path, std::string_view folder) {
  dropTrailingComments(section);
  if (section.empty()) return {};
  const std::string& header = section.front();
  IvaoKeys keys;
  if (!walkIvaoSection(section, folder, keys)) return {};
  const fs::path textureFolder = fs::path(std::string(folder)) / ("texture." + keys.texture);
  if (!hasTextureFolder(textureFolder)) {
    addIncompleteSectionLine(fmt::format("{} {} does not exist", textureFolder.string(), header));
    return {};
  }
  if (keys.title.empty()) {
    addIncompleteSectionLine(fmt::format("{} {} misses title", folder, header));
    return {};
  }
  if (isDontUseTitle(keys.title)) return {};
  std::string airline = airlineInIvaoTitle(keys.title, model, isIvaoWingletFolder(folder));
  if (airline.empty()) {
    if (keys.registration.empty()) {
      addIncompleteSectionLine(
          fmt::format("{} {} misses airlinecode in title: {}, and no regcode", folder, header, keys.title));
      return {};
    }
    const auto known = findRegcode(keys.registration);
    if (!known) {
      addIncompleteSectionLine(fmt::format("{} {} misses airlinecode in title: {}, and regcode unknown {}", folder,
                                           header, keys.title, keys.registration));
      return {};
    }
    airline = known->airl;
  } else if (!isIcaoAirline(airline)) {
    reportInvalidAirline(airline, path, header);
    return {};
  }
  if (airline == kGenericAirline) keys.registration.clear();
  LiveryData livery = makeLiveryData(folderNumber, airline, model, kNotCargo, keys.title, keys.registration);
  if (livery.airl.empty()) {
    addIncompleteSectionLine(fmt::format("{} {} title already exists: {}", folder, header, keys.title));
  }
  return livery;
}

}  // namespace crv
