#include "platform/os/app_data_folders.h"

#include <windows.h>
#include <shlobj.h>

#include <iterator>
#include <string>

#include "platform/os/utf16.h"

namespace platform {
namespace {

constexpr int kRoamingAppDataFolderId = 26;  // CSIDL_APPDATA
constexpr int kLocalAppDataFolderId = 28;    // CSIDL_LOCAL_APPDATA

// A path from a wide text, through UTF-8 as the program's paths are built;
// empty when the text is not valid UTF-16.
std::filesystem::path pathFromWide(const wchar_t* wide) {
  std::u16string utf16;
  for (const wchar_t* at = wide; *at != L'\0'; ++at) utf16.push_back(static_cast<char16_t>(*at));
  std::string utf8;
  if (convertUtf16ToUtf8(utf16, utf8) != 0) return {};
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// The shell's known folder with that number; empty when the call fails.
std::filesystem::path knownFolder(int folderId) {
  wchar_t buffer[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, folderId, nullptr, SHGFP_TYPE_CURRENT, buffer))) return {};
  return pathFromWide(buffer);
}

// The test override: the variable set (even to an empty text) replaces the
// shell's folder.
bool folderFromEnvironment(const wchar_t* overrideName, std::filesystem::path& folder) {
  wchar_t value[32768] = {};
  const DWORD length = ::GetEnvironmentVariableW(overrideName, value, static_cast<DWORD>(std::size(value)));
  if (length == 0 && ::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
  if (length >= std::size(value)) return false;
  folder = pathFromWide(value);
  return true;
}

}  // namespace

std::filesystem::path roamingAppDataFolder() {
  std::filesystem::path folder;
  if (folderFromEnvironment(L"CRVN_ROAMING_APPDATA", folder)) return folder;
  return knownFolder(kRoamingAppDataFolderId);
}

std::filesystem::path localAppDataFolder() {
  std::filesystem::path folder;
  if (folderFromEnvironment(L"CRVN_LOCAL_APPDATA", folder)) return folder;
  return knownFolder(kLocalAppDataFolderId);
}

}  // namespace platform
