#pragma once

#include <filesystem>

namespace platform {

// The user's roaming application-data folder ($XDG_CONFIG_HOME, else
// ~/.config). CRVN_ROAMING_APPDATA overrides it; set to an empty text it
// makes the folder unavailable. An empty path means "not found".
std::filesystem::path roamingAppDataFolder();

// The user's local application-data folder ($XDG_DATA_HOME, else
// ~/.local/share). CRVN_LOCAL_APPDATA overrides it the same way.
std::filesystem::path localAppDataFolder();

}  // namespace platform
