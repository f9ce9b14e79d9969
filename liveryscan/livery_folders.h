#pragma once

// Which folders the livery scan walks: the user's lfolder0..lfolder9
// settings (manual mode), or the AI packages found in the simulator's
// Community folder (automatic mode, LIG_AUTOMATIC), in the order that
// AI_PACKAGE_SELECTOR gives. The position in the list is the folder number
// of its liveries, and with LIG_PRIORITIZE their priority.

#include <filesystem>
#include <string>
#include <vector>

namespace crv {

// Empties the list and fills it for the current mode. Throws
// UserErrorException 48 when manual mode has no folder set, and
// std::runtime_error "AI_PACKAGE_SELECTOR not set" for a value that is none
// of its choices. An empty Community folder path gives an empty list.
void checkLiveryFolders(std::vector<std::string>& folders, const std::filesystem::path& communityFolder);

// Each appends the first entry of the Community folder (in name order) whose
// name holds one of its words and not "_CVT_", and logs it; nothing when
// there is none. A folder that cannot be listed throws its filesystem error.
void detectAigFolders(const std::filesystem::path& communityFolder, std::vector<std::string>& folders);
void detectFsltlFolders(const std::filesystem::path& communityFolder, std::vector<std::string>& folders);
void detectJfFolders(const std::filesystem::path& communityFolder, std::vector<std::string>& folders);
void detectUserAiTrafficFolders(const std::filesystem::path& communityFolder, std::vector<std::string>& folders);

}  // namespace crv
