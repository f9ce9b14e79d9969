#include "airports/airport_locations.h"

#include <fmt/format.h>

#include <array>
#include <fstream>

#include "airports/airport_downloads.h"
#include "airports/apf_record.h"
#include "foundation/paths.h"
#include "foundation/text.h"

namespace crv {
namespace {

// The longest name of one folder that every file system we run on takes.
constexpr std::size_t kMaxFolderNameBytes = 255;

bool redirectedName(const std::filesystem::path& folder, std::string_view icao, std::string& name) {
  return readAirportRedirect(folder / icaoTxtPath(icao), name);
}

bool isReservedDeviceName(std::string_view name) {
  const std::string upper = toUpper(name.substr(0, name.find('.')));
  static const std::array<std::string_view, 4> kDevices{"CON", "PRN", "AUX", "NUL"};
  for (std::string_view device : kDevices) {
    if (upper == device) return true;
  }
  return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) && upper[3] >= '0' &&
         upper[3] <= '9';
}

}  // namespace

std::string icaoXmlName(std::string_view icao) { return fmt::format("{}.xml", icao); }
std::filesystem::path icaoXmlPath(std::string_view icao) { return icaoXmlName(icao); }
std::filesystem::path icaoTxtPath(std::string_view icao) { return fmt::format("{}.txt", icao); }

bool readAirportRedirect(const std::filesystem::path& txtPath, std::string& name) {
  std::ifstream file(txtPath);
  std::string line;
  if (!file || !std::getline(file, line)) return false;
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r' || line.back() == '\n')) {
    line.pop_back();
  }
  const std::size_t xml = line.find(".xml");
  if (line.size() < 4 || xml == std::string::npos) return false;
  name = line.substr(0, xml + 4);
  return true;
}

std::string findAirportFilePath(std::string_view icao) {
  const ProgramPaths& paths = programPaths();
  std::string name;
  for (const auto* folder : {&paths.myThirdpartyFolder, &paths.mySimaddonFolder}) {
    if (redirectedName(*folder, icao, name)) return name;
    const std::filesystem::path xml = *folder / icaoXmlPath(icao);
    if (std::filesystem::exists(xml)) return xml.generic_string();
  }
  if (downloadArchivedAirport(icao)) return archivedAirportRemotePath(icao);
  return {};
}

bool ensureAirportFile(std::string_view icao) {
  const ProgramPaths& paths = programPaths();
  for (const auto* folder : {&paths.myThirdpartyFolder, &paths.mySimaddonFolder}) {
    if (std::filesystem::exists(*folder / icaoXmlPath(icao)) || std::filesystem::exists(*folder / icaoTxtPath(icao))) {
      return true;
    }
  }
  return downloadArchivedAirport(icao);
}

std::string publisherFolderName(std::string_view publisher) {
  std::string name;
  for (const char c : publisher) {
    const auto byte = static_cast<unsigned char>(c);
    const bool refused = byte < 0x20 || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' ||
                         c == '<' || c == '>' || c == '|' || byte == 0x7F;
    name += refused ? '_' : c;
  }
  if (name.size() > kMaxFolderNameBytes) {
    std::size_t cut = kMaxFolderNameBytes;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0U) == 0x80U) --cut;
    name.resize(cut);
  }
  // Windows drops trailing dots and blanks; "." and ".." become empty.
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  if (isReservedDeviceName(name)) name.insert(name.begin(), '_');
  return name;
}

std::filesystem::path learnedFolderFor(std::string_view publisher) {
  const ProgramPaths& paths = programPaths();
  if (publisher == "stock") return paths.learnedStockFolder;
  if (publisher == "simaddon") return paths.learnedSimaddonFolder;
  const std::string folder = publisherFolderName(publisher);
  if (folder.empty()) return paths.learnedThirdpartyFolder;
  return paths.learnedThirdpartyFolder / folder;
}

std::filesystem::path learnedPathFor(std::string_view icao, std::string_view publisher) {
  return learnedFolderFor(publisher) / icaoXmlPath(icao);
}

std::filesystem::path asideCopyPath(const std::filesystem::path& path) {
  const std::filesystem::path stem = path.parent_path() / path.stem();
  const std::string extension = path.extension().string();
  std::filesystem::path candidate = stem.string() + ".0" + extension;
  for (int number = 1; std::filesystem::exists(candidate); ++number) {
    candidate = fmt::format("{}.0.{}{}", stem.string(), number, extension);
  }
  return candidate;
}

}  // namespace crv
