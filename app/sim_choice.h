#pragma once

// The chosen simulator (MSFS 2020 or 2024) and its packages folder: the
// folder that holds Community and Official (2020) or Official2024 (2024).

#include <filesystem>
#include <string>
#include <string_view>

#include "foundation/settings.h"

namespace crv {

// isMsfs2020 and the simulator folder name from SIM_CHOICE; called right
// after the settings are read.
void applySimChoice();

std::string_view simPackageFamily();
std::string_view simSteamFolder();
// The packages-path setting of the chosen simulator.
StringParameter& simPathSetting();

// The local application-data folder; logs "Could not find the a Local
// Appdata path" and gives an empty path when there is none.
std::filesystem::path getLocalAppDataPath();

// The first of the Store, Steam1, Steam2 and Boxed places of UserCfg.opt that
// exists (each missing one logged); the Boxed place when none does.
std::filesystem::path findUserCfgOpt();
std::filesystem::path steamPackagesPath();
std::filesystem::path readInstalledPackagesPath();
bool isValidPackagesPath(const std::filesystem::path& path);
std::filesystem::path detectPackagesPath();
std::filesystem::path packagesPathForSim(const std::filesystem::path& subFolder);

// A stored path that ends in the folder Community loses that last component.
void stripCommunitySuffix(StringParameter& setting);

// What a path typed into the install-path box did.
enum class NewPathOutcome { emptied, missing, accepted, notCommunity };
// Stores a typed packages path (or its parent when it names the Community
// folder itself) and ends the session for a restart. Throws
// std::runtime_error "lf_newSimPath" when the Community folder named cannot
// be found under its parent.
NewPathOutcome lf_newSimPath(StringParameter& setting, const std::string& text);
void announceRestartForPath();

// The simulator choice changed (SIM_CHOICE already stored and isMsfs2020
// set): liveries and airports are rescanned and the session restarts.
void switchSimulator();

}  // namespace crv
