#pragma once

// Once per process, before the data files are read: fetch the published
// versions and install what is newer than what was installed last.

#include <filesystem>

#include "feed/downloader.h"
#include "foundation/version.h"

namespace crv {

// Compares the published versions with AIG_VERSION, DBASE_VERSION and (MSFS
// 2024 only) MYSIMADDON24_VERSION, downloads what is newer or missing and
// stores each installed version at once. Never throws: every failure is a
// log line, and leaves the installed files and stored versions as they were.
// A version part that is no number ends the check at its key.
void checkVersions(const DownloadSite& site);

enum class AddonInstall {
  Installed,
  UpToDate,
  Failed,  // logged; the stored version is unchanged
};

// Downloads the add-on zip when the published version is newer or the add-on
// folder is empty, reads and checks the whole archive, and only then
// replaces the folder's content. The zip is removed afterwards, unless the
// add-on folder could not be created.
AddonInstall installSimAddon(const DownloadSite& site, const VersionData& published);

// True when the add-on folder is missing, is not a folder or has no entry.
bool simAddonFolderEmpty();

}  // namespace crv
