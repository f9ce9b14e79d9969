#include "liveryscan/fltsim_sections.h"

#include <charconv>
#include <filesystem>
#include <limits>
#include <optional>
#include <system_error>

#include <fmt/format.h>

#include "aircraftdata/aircraft_database.h"
#include "aircraftdata/type_lookups.h"
#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/text.h"
#include "liveryscan/cfg_lines.h"
#include "liveryscan/cfg_text.h"
#include "liveryscan/model_code.h"
#include "liveryscan/scan_reports.h"

namespace crv {
namespace {

constexpr std::size_t kFirstBracketOfOtherHeader = 6;  // a '[' before this column opens another section
constexpr std::size_t kMaxRegistrationPart = 12;

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

bool endsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// Cuts an airline value such as DLHX or DLHC (a cargo or extra variant) to
// its three-letter code.
void cutVariantLetter(std::string& airline) {
  constexpr std::size_t kVariantLength = 4;
  if (airline.size() == kVariantLength && (airline[3] == 'X' || airline[3] == 'C')) airline.resize(3);
}

// What one section's walk gathers.
struct SectionKeys {
  std::string title;
  std::string airline;
  std::string parkingTypes;
  std::string registration;
};

// Walks the key lines of the section; false when a line stops the section.
bool walkSection(const std::vector<std::string>& section, std::string_view folder, std::string_view path,
                 SectionKeys& keys) {
  const std::string& header = section.front();
  for (std::size_t index = 1; index < section.size(); ++index) {
    const std::string& line = section[index];
    if (isOverlong(line)) continue;
    std::string value;
    if (keys.title.empty()) {
      if (readTitleLine(line, value)) {
        keys.title = trim(value);
        if (contains(keys.title, "FenixA320") || contains(keys.title, "PMDG 737")) return false;
        if (par_SUPPRESS_STUB.value() && endsWith(keys.title, "-STUB")) return false;
        continue;
      }
    } else if (readTitleLine(line, value)) {
      addIncompleteSectionLine(fmt::format("{} {} has more than one title key", folder, header));
      return false;
    }
    if (!keys.airline.empty()) {
      if (contains(line, "icao_airline")) {
        addIncompleteSectionLine(fmt::format("{} {} has more than one icao_airline key", folder, header));
        return false;
      }
    } else if (readIcaoAirlineLine(line, value)) {
      normaliseCommaList(value);
      cutVariantLetter(value);
      if (isIcaoAirline(value)) {
        keys.airline = std::move(value);
        continue;
      }
      if (value == "RFO") {
        keys.airline = std::move(value);  // a maker's placeholder: left out without a report
        return false;
      }
      reportInvalidAirline(value, path, header);
      continue;
    }
    if (!keys.parkingTypes.empty()) {
      if (hasParkingTypesKey(line)) {
        addIncompleteSectionLine(fmt::format("{} {} has more than one atc_parking_types key", folder, header));
        return false;
      }
    } else if (readParkingTypesLine(line, value)) {
      normaliseCommaList(value);
      keys.parkingTypes = toUpper(value);
      continue;
    }
    if (keys.registration.empty()) {
      if (readAtcIdLine(line, value)) {
        const std::string atcId = value.substr(0, value.find(';'));
        if (!validateAtcId(atcId, keys.registration)) {
          addIncompleteSectionLine(fmt::format("invalid atc_id={} in: {}", atcId, keys.title));
          keys.registration.clear();
        }
        continue;
      }
    } else if (hasAtcIdKey(line)) {
      addIncompleteSectionLine(fmt::format("{}, {}, has more than one atc_id key", folder, header));
      return false;
    }
  }
  return true;
}

// An aircraft.cfg that names no airline: the airline of its registration, or
// a private aircraft; a heavy one without either is no livery (false).
bool fillMissingAirline(SectionKeys& keys, const std::string& model, std::string_view folder,
                        std::string_view header) {
  const bool heavy = aircraftCategory(model) == SizeCategory::Heavy;
  if (!keys.registration.empty()) {
    if (const auto known = findRegcode(keys.registration)) {
      keys.airline = known->airl;
      return true;
    }
    if (heavy) {
      addIncompleteSectionLine(fmt::format("'{}' '{}' has no airline and regcode not in dbase", folder, header));
      return false;
    }
    keys.airline = std::string(kPrivateAirline);
    return true;
  }
  if (heavy) {
    addIncompleteSectionLine(fmt::format("'{}' '{}' has no airline and no regcode info", folder, header));
    return false;
  }
  keys.airline = std::string(kPrivateAirline);
  keys.registration = findRegcodeInText(keys.title).value_or(std::string());
  return true;
}

LiveryList readSection(std::uint32_t folderNumber, std::vector<std::string>& section, const std::string& model,
                       std::string_view path, std::string_view folder) {
  LiveryList result;
  dropTrailingComments(section);
  if (section.empty()) return result;
  const std::string& header = section.front();
  SectionKeys keys;
  const bool complete = walkSection(section, folder, path, keys);
  if (keys.airline.empty()) {
    addIncompleteSectionLine(fmt::format("{} {} icao_airline is missing, or it has invalid info ", path, header));
  }
  if (!complete) return result;
  if (keys.title.empty()) {
    addIncompleteSectionLine(fmt::format("{} {} misses title", folder, header));
    return result;
  }
  if (isDontUseTitle(keys.title)) return result;
  if (keys.airline == kGenericAirline) keys.registration.clear();
  if (keys.airline.empty() && !fillMissingAirline(keys, model, folder, header)) return result;
  const bool cargo = contains(keys.parkingTypes, "CARGO") && !contains(keys.parkingTypes, "GATE");
  if (!scannedTitles().insert(keys.title)) {
    addIncompleteSectionLine(fmt::format("{} {} title '{}' already exists", folder, header, keys.title));
    return result;
  }
  LiveryData& livery = result.emplace_back();
  livery.airl = std::move(keys.airline);
  livery.type = model;
  livery.title = std::move(keys.title);
  livery.atcid = std::move(keys.registration);
  livery.folderIndex = folderNumber;
  livery.cargo = cargo;
  return result;
}

// The section number of a header's number text; none when it has no digit
// or does not fit 32 bits. A negative number turns into a large one.
std::optional<std::uint32_t> parseSectionNumber(std::string_view text) {
  std::int64_t value = 0;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end == first || value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(static_cast<std::int32_t>(value));
}

}  // namespace

std::string folderOfPath(std::string_view path) {
  const std::size_t last = path.find_last_of("\\/");
  return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last));
}

void dropTrailingComments(std::vector<std::string>& section) {
  while (!section.empty() && (section.back().empty() || section.back().starts_with("//"))) section.pop_back();
}

CfgFileRead readAircraftCfgLines(const std::filesystem::path& path, std::vector<std::string>& lines) {
  std::error_code error;
  const std::uintmax_t bytes = std::filesystem::file_size(path, error);
  if (!error && bytes > kMaxCfgFileBytes) {
    addInvalidAircraftCfgLine(fmt::format("{} cannot be read: it is larger than 64 MB", path.string()));
    return CfgFileRead::Failed;
  }
  // Empty, one byte long or unreadable.
  const Charset charset = detectCharset(path);
  if (charset == Charset::NoneFound) return CfgFileRead::NoCharset;
  constexpr std::size_t kExpectedLines = 4048;
  lines.reserve(kExpectedLines);
  if (!readTextFileByCharset(charset, path, lines)) return CfgFileRead::Failed;
  for (std::string& line : lines) {
    if (line.find('\0') != std::string::npos) {
      addInvalidAircraftCfgLine(
          fmt::format("{} cannot be read: it holds NUL bytes, it is no text file", path.string()));
      lines.clear();
      return CfgFileRead::Failed;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();  // CR LF of a UTF-16 file
  }
  return CfgFileRead::Read;
}

LiveryList lf_searchLiveriesinFile(std::uint32_t folderNumber, const std::filesystem::path& path) {
  LiveryList liveries;
  const std::string pathText = path.string();
  try {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return liveries;  // gone since the walk found it
    std::vector<std::string> lines;
    if (readAircraftCfgLines(path, lines) != CfgFileRead::Read) return liveries;
    if (!checkFltsimNumbering(lines, pathText)) return liveries;
    const std::string model = modelOfAircraftCfg(pathText, lines);
    if (model.empty()) return liveries;
    liveries = processFltSimSections(folderNumber, lines, model, pathText, folderOfPath(pathText));
  } catch (const std::exception& error) {
    gf_logLine(fmt::format("Exception in lf_searchLiveriesinFile {}: {}", pathText, error.what()));
  }
  return liveries;
}

bool checkFltsimNumbering(const std::vector<std::string>& lines, std::string_view path) {
  std::vector<std::uint32_t> numbers;
  for (const std::string& line : lines) {
    const std::string text = fltsimSectionNumber(line);
    if (text.empty()) continue;
    const auto number = parseSectionNumber(text);
    if (!number) {
      gf_logWarning(fmt::format("fltsim num {} incorrect", line));
      return false;
    }
    numbers.push_back(*number);
  }
  if (numbers.empty()) {
    scanReports().noFltsimSection.add(std::string(path));
    return true;
  }
  for (const std::uint32_t number : numbers) {
    if (number > kMaxFltsimNumber) {
      addInvalidAircraftCfgLine(fmt::format("{} contains a [fltsim.x] section with a number < 0 or > {}", path,
                                            kMaxFltsimNumber));
      return false;
    }
  }
  return true;
}

void forEachFltsimSection(std::vector<std::string>& lines, std::size_t otherHeaderBracketBefore,
                          const std::function<void(std::vector<std::string>& section)>& readSection) {
  std::vector<std::string> section;
  section.reserve(kSectionLinesReserve);
  bool inSection = false;
  const auto readBuffered = [&] {
    if (section.empty()) return;
    readSection(section);
    section.clear();
  };
  for (std::string& line : lines) {
    if (!fltsimSectionNumber(line).empty()) {
      readBuffered();
      inSection = true;
      section.push_back(std::move(line));
      continue;
    }
    const std::size_t bracket = isOverlong(line) ? std::string::npos : line.find('[');
    if (bracket == std::string::npos || bracket >= otherHeaderBracketBefore) {
      if (inSection) section.push_back(std::move(line));
    } else if (inSection) {
      readBuffered();
      inSection = false;
    }
  }
  readBuffered();
}

LiveryList processFltSimSections(std::uint32_t folderNumber, std::vector<std::string>& lines,
                                 const std::string& model, std::string_view path, std::string_view folder) {
  LiveryList liveries;
  forEachFltsimSection(lines, kFirstBracketOfOtherHeader, [&](std::vector<std::string>& section) {
    liveries.splice(liveries.end(), lf_procesFltSimSection(folderNumber, section, model, path, folder));
  });
  return liveries;
}

LiveryList lf_procesFltSimSection(std::uint32_t folderNumber, std::vector<std::string>& section,
                                  const std::string& model, std::string_view path, std::string_view folder) {
  try {
    return readSection(folderNumber, section, model, path, folder);
  } catch (const std::exception& error) {
    gf_logLine(fmt::format("Exception in lf_procesFltSimSection: {}, file: {}", error.what(), path));
    return {};
  }
}

bool validateAtcId(std::string_view value, std::string& registration) {
  const std::vector<std::string> parts = splitTrim(value, ',');
  if (parts.empty()) return false;
  for (const std::string& part : parts) {
    if (part.empty() || part == " " || part.size() > kMaxRegistrationPart || contains(part, "*")) return false;
  }
  registration = parts.size() == 1 ? parts.front() : std::string();
  return true;
}

void reportInvalidAirline(std::string_view airline, std::string_view path, std::string_view headerLine) {
  scanReports().invalidAirlines.add(fmt::format("{:12} in {} {}", airline, path, headerLine));
}

LiveryData makeLiveryData(std::uint32_t folderNumber, std::string airline, std::string type, int cargoCode,
                          std::string title, std::string registration) {
  LiveryData livery;
  if (!scannedTitles().insert(title)) return livery;
  livery.airl = std::move(airline);
  livery.type = std::move(type);
  livery.title = std::move(title);
  livery.atcid = std::move(registration);
  livery.folderIndex = folderNumber;
  livery.cargo = cargoCode == 0;
  return livery;
}

}  // namespace crv
