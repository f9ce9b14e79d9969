#include "liveryscan/livery_folders.h"

#include <array>
#include <initializer_list>
#include <stdexcept>
#include <string_view>

#include <fmt/format.h>

#include "foundation/errors.h"
#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/settings.h"

namespace fs = std::filesystem;

namespace crv {
namespace {

constexpr int kNoLiveryFolderSet = 48;
constexpr std::size_t kMaxLiveryFolders = 10;
constexpr std::string_view kConvertedMarker = "_CVT_";

void detectPackage(const fs::path& communityFolder, std::initializer_list<std::string_view> words,
                   std::string_view logFormat, std::vector<std::string>& folders) {
  for (const fs::directory_entry& entry : sortedFolderEntries(communityFolder)) {
    const std::string name = entry.path().filename().string();
    if (name.find(kConvertedMarker) != std::string::npos) continue;
    for (const std::string_view word : words) {
      if (name.find(word) == std::string::npos) continue;
      const std::string path = entry.path().string();
      gf_logLine(fmt::format(fmt::runtime(logFormat), path));
      folders.push_back(path);
      return;
    }
  }
}

// A folder typed with Windows separators names the same folder here.
std::string withPlatformSeparators(std::string path) {
  if constexpr (fs::path::preferred_separator == '/') {
    for (char& c : path) {
      if (c == '\\') c = '/';
    }
  }
  return path;
}

using Detector = void (*)(const fs::path&, std::vector<std::string>&);

// The detectors in the order of each AI_PACKAGE_SELECTOR choice.
std::array<Detector, 3> detectorOrder(const std::string& choice) {
  if (choice == "AIG, FSLTL, JF") return {detectAigFolders, detectFsltlFolders, detectJfFolders};
  if (choice == "AIG, JF, FSLTL") return {detectAigFolders, detectJfFolders, detectFsltlFolders};
  if (choice == "FSLTL, AIG, JF") return {detectFsltlFolders, detectAigFolders, detectJfFolders};
  if (choice == "FSLTL, JF, AIG") return {detectFsltlFolders, detectJfFolders, detectAigFolders};
  if (choice == "JF, AIG, FSLTL") return {detectJfFolders, detectAigFolders, detectFsltlFolders};
  if (choice == "JF, FSLTL, AIG") return {detectJfFolders, detectFsltlFolders, detectAigFolders};
  throw std::runtime_error(fmt::format("{} not set", par_AI_PACKAGE_SELECTOR.name()));
}

}  // namespace

void detectAigFolders(const fs::path& communityFolder, std::vector<std::string>& folders) {
  detectPackage(communityFolder, {"aig-aitraffic-oci"}, "Automatic AIG scan found folder: '{}'", folders);
}

void detectFsltlFolders(const fs::path& communityFolder, std::vector<std::string>& folders) {
  detectPackage(communityFolder, {"fsltl-traffic-base"}, "Automatic FSLTL scan found folder: '{}'", folders);
}

void detectJfFolders(const fs::path& communityFolder, std::vector<std::string>& folders) {
  detectPackage(communityFolder, {"justflight-aircraft-traffic-fleet", "justflight-fstraffic-module"},
                "Automatic JF scan found folder: '{}'", folders);
}

void detectUserAiTrafficFolders(const fs::path& communityFolder, std::vector<std::string>& folders) {
  detectPackage(communityFolder, {"user-aitraffic"}, "Automatic user-aitraffic scan found folder: '{}'", folders);
}

void checkLiveryFolders(std::vector<std::string>& folders, const fs::path& communityFolder) {
  folders.clear();
  folders.reserve(kMaxLiveryFolders);
  if (!par_LIG_AUTOMATIC.value()) {
    for (const StringParameter& setting : par_lfolder) {
      std::string folder = setting.value();
      if (!folder.empty()) folders.push_back(withPlatformSeparators(std::move(folder)));
    }
    if (folders.empty()) {
      throw UserErrorException(
          kNoLiveryFolderSet,
          "Set lfolder parameter(-s) to your liveries first, see Manual 5.1 (or check Liveries automatic)");
    }
    return;
  }
  if (communityFolder.empty()) return;
  for (const Detector detector : detectorOrder(par_AI_PACKAGE_SELECTOR.value())) detector(communityFolder, folders);
  detectUserAiTrafficFolders(communityFolder, folders);
}

}  // namespace crv
