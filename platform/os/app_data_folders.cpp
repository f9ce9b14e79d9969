#include "platform/os/app_data_folders.h"

#include <cstdlib>

namespace platform {
namespace {

const char* environmentValue(const char* name) {
  // getenv is safe here: the program never changes its environment after start.
  return std::getenv(name);  // NOLINT(concurrency-mt-unsafe)
}

std::filesystem::path folderFromEnvironment(const char* overrideName, const char* xdgName,
                                            const char* homeRelative) {
  if (const char* value = environmentValue(overrideName)) {
    return std::filesystem::path(value);
  }
  if (const char* xdg = environmentValue(xdgName); xdg != nullptr && xdg[0] == '/') {
    return std::filesystem::path(xdg);
  }
  if (const char* home = environmentValue("HOME"); home != nullptr && home[0] != '\0') {
    return std::filesystem::path(home) / homeRelative;
  }
  return {};
}

}  // namespace

std::filesystem::path roamingAppDataFolder() {
  return folderFromEnvironment("CRVN_ROAMING_APPDATA", "XDG_CONFIG_HOME", ".config");
}

std::filesystem::path localAppDataFolder() {
  return folderFromEnvironment("CRVN_LOCAL_APPDATA", "XDG_DATA_HOME", ".local/share");
}

}  // namespace platform
