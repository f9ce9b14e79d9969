#include "airportscan/publisher_lookup.h"

#include <exception>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "aircraftdata/type_lookups.h"
#include "airportscan/scan_log.h"
#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/text.h"

namespace fs = std::filesystem;

namespace crv {

namespace {

std::string textMember(const nlohmann::json& object, const char* name) {
  const auto member = object.find(name);
  if (member == object.end() || member->is_null()) {
    return {};
  }
  return member->get<std::string>();  // throws for another type
}

bool isInsideRoot(const fs::path& folder, const fs::path& root) {
  if (root.empty()) {
    return true;
  }
  const fs::path relative = folder.lexically_relative(root);
  return !relative.empty() && relative != "." && *relative.begin() != "..";
}

std::optional<ManifestInfo> examineFolder(const fs::path& folder, ScanLog& log) {
  if (!fs::is_directory(folder)) {
    return std::nullopt;
  }
  const fs::path manifest = findManifest(folder);
  if (manifest.empty()) {
    return std::nullopt;
  }
  log.append(manifest.string() + " found");
  return readManifestInfo(manifest);
}

// The folder of the path's components up to the second one after
// "Community", or none.
std::optional<fs::path> communityPackageSubfolder(const fs::path& bglPath) {
  const std::string text = bglPath.string();
  if (text.size() <= 8 || text.find("Community") == std::string::npos) {
    return std::nullopt;
  }
  fs::path folder;
  int afterCommunity = -1;
  for (const fs::path& component : bglPath) {
    folder /= component;
    if (afterCommunity >= 0 && ++afterCommunity == 2) {
      return folder;
    }
    if (afterCommunity < 0 && component == "Community") {
      afterCommunity = 0;
    }
  }
  return afterCommunity >= 0 ? std::optional<fs::path>(bglPath.parent_path()) : std::nullopt;
}

}  // namespace

fs::path findManifest(const fs::path& folder) {
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.is_regular_file() && entry.path().stem() == "manifest" && entry.path().extension() == ".json") {
      return entry.path();
    }
  }
  return {};
}

std::optional<ManifestInfo> readManifestInfo(const fs::path& path) {
  std::string bytes;
  if (!readFileBytes(path, bytes) || bytes.empty()) {
    return std::nullopt;  // no line
  }
  std::string joined;
  joined.reserve(bytes.size());
  for (const char c : bytes) {
    if (c != '\n' && c != '\r') {
      joined.push_back(c);
    }
  }
  const nlohmann::json document = nlohmann::json::parse(joined);
  if (!document.is_object()) {
    return std::nullopt;
  }
  return ManifestInfo{textMember(document, "manufacturer"), textMember(document, "creator"),
                      textMember(document, "title")};
}

namespace {

std::optional<ManifestInfo> searchManifest(const fs::path& bglPath, const fs::path& packagesRoot, ScanLog& log) {
  try {
    if (const auto packageFolder = communityPackageSubfolder(bglPath);
        packageFolder && isInsideRoot(*packageFolder, packagesRoot)) {
      if (auto info = examineFolder(*packageFolder, log)) {
        return info;
      }
    }
    for (fs::path folder = bglPath.parent_path(); !folder.empty() && isInsideRoot(folder, packagesRoot);
         folder = folder.parent_path()) {
      if (auto info = examineFolder(folder, log)) {
        return info;
      }
      if (folder == folder.root_path() || folder.parent_path() == folder) {
        break;
      }
    }
  } catch (const std::exception& error) {
    log.append(fmt::format("exception in gf_searchManifest: {}", error.what()));
  }
  return std::nullopt;
}

}  // namespace

std::optional<ManifestInfo> gf_searchManifest(const fs::path& bglPath, const fs::path& packagesRoot, ScanLog& log,
                                              ManifestSearchCache* cache) {
  if (cache == nullptr) {
    return searchManifest(bglPath, packagesRoot, log);
  }
  const ManifestSearch search = cache->find(bglPath.parent_path().string(), [&] {
    ScanLog lines;
    ManifestSearch found;
    found.info = searchManifest(bglPath, packagesRoot, lines);
    found.logLines = lines.takeLines();
    return found;
  });
  for (const std::string& line : search.logLines) {
    log.append(line);
  }
  return search.info;
}

PublisherInfo findAirportPublisher(const fs::path& bglPath, const fs::path& packagesRoot, ScanLog& log,
                                   ManifestSearchCache* cache) {
  const std::string path = bglPath.string();
  log.append(fmt::format("\nTry find publisher in: {}", path));
  PublisherInfo result;
  const std::string lowerPath = toLower(path);
  if (lowerPath.find("microsoft-airport") != std::string::npos || lowerPath.find("asobo-airport") != std::string::npos) {
    result.publisher = kSimaddonPublisher;
    log.append(fmt::format("from filename => publisher {}", result.publisher));
    return result;
  }
  if (std::string publisher = findPublisher(path); publisher != kUnknownPublisherName) {
    log.append(fmt::format("publisher '{}' found", publisher));
    result.publisher = std::move(publisher);
    return result;
  }
  const auto manifest = gf_searchManifest(bglPath, packagesRoot, log, cache);
  if (!manifest) {
    log.append(fmt::format("{}No publisher found", kWarningPrefix));
    return result;
  }
  result.manufacturer = manifest->manufacturer;
  result.creator = manifest->creator;
  if (!manifest->manufacturer.empty()) {
    if (std::string publisher = findPublisher(manifest->manufacturer); publisher != kUnknownPublisherName) {
      log.append(fmt::format("from manifest.json: manufacturer '{}' => publisher '{}'", manifest->manufacturer, publisher));
      result.publisher = std::move(publisher);
      return result;
    }
  }
  if (!manifest->creator.empty()) {
    if (std::string publisher = findPublisher(manifest->creator); publisher != kUnknownPublisherName) {
      log.append(fmt::format("from manifest.json: creator '{}' => publisher '{}'", manifest->creator, publisher));
      result.publisher = std::move(publisher);
      return result;
    }
  }
  log.append(fmt::format("no valid info found in manifest about publisher, manufacturer:'{}', creator:'{}' {}",
                         manifest->manufacturer, manifest->creator, path));
  return result;
}

}  // namespace crv
