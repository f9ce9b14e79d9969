#pragma once

// The manifest searches of one scan, by the folder that holds the BGL file.
// The search's answer depends only on that folder, and a package holds many
// BGL files: each folder's search lists the folders above it and parses the
// manifest once per scan instead of once per file.

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace crv {

struct ManifestInfo {
  std::string manufacturer;
  std::string creator;
  std::string title;
};

// One search's answer and the scan-log lines it wrote, in order.
struct ManifestSearch {
  std::optional<ManifestInfo> info;
  std::vector<std::string> logLines;
};

// For the scan of one packages root; safe from every scan task. Lives for
// one scan: an add-on installed between scans is seen by the next one.
class ManifestSearchCache {
 public:
  // The search made before for the folder, or the one that search makes now.
  ManifestSearch find(const std::string& bglFolder, const std::function<ManifestSearch()>& search);

 private:
  std::mutex mutex_;  // guards searches_
  std::unordered_map<std::string, ManifestSearch> searches_;
};

}  // namespace crv
