#pragma once

// The publisher of an add-on airport, from its BGL file's path or from the
// manifest.json of its package. Every step explains itself in the scan log.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "airportscan/manifest_cache.h"

namespace crv {

class ScanLog;

struct PublisherInfo {
  std::string publisher = "unknown";
  std::string manufacturer;
  std::string creator;
  std::string extra;
};

inline constexpr const char* kSimaddonPublisher = "simaddon";
inline constexpr std::string_view kUnknownPublisherName = "unknown";

// The folder's own manifest.json (not its subfolders'); empty when none.
std::filesystem::path findManifest(const std::filesystem::path& folder);
// The manifest's manufacturer, creator and title; none when the file has no
// line or is no JSON object. Throws on bad JSON (blanks alone are no JSON)
// or a member that is no text.
std::optional<ManifestInfo> readManifestInfo(const std::filesystem::path& path);

// The nearest manifest of the package that holds the BGL file: the folders
// above the file are examined, up to but not above the packages root (and
// never above the filesystem root). Never throws. With the scan's cache for
// the packages root, each folder is searched once and later files of the
// folder get the same answer and the same scan-log lines.
std::optional<ManifestInfo> gf_searchManifest(const std::filesystem::path& bglPath,
                                              const std::filesystem::path& packagesRoot, ScanLog& log,
                                              ManifestSearchCache* cache = nullptr);

PublisherInfo findAirportPublisher(const std::filesystem::path& bglPath, const std::filesystem::path& packagesRoot,
                                   ScanLog& log, ManifestSearchCache* cache = nullptr);

}  // namespace crv
