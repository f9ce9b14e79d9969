#pragma once

// The simulator add-on zip: every file entry becomes "<stem>.txt" in one
// folder. The whole archive is read and checked before anything is written.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "feed/zip_archive.h"

namespace crv {

struct AddonFile {
  std::string fileName;  // stem of the entry's name + ".txt"
  std::string text;
};

struct AddonLimits {
  std::uint64_t maximumTotalBytes = 256u * 1024u * 1024u;
  std::uint64_t maximumEntries = 100000;
};

// Why an entry name may not be unpacked ("an absolute path", "a '..' part"),
// or an empty text when it may. Both '/' and '\' separate parts.
std::string entryNameProblem(std::string_view name);

// "<stem>.txt" of the last part of the name; empty for a folder entry (a
// name ending in a separator).
std::string addonFileName(std::string_view entryName);

// The files of the archive in archive order, folder entries skipped. Throws
// ZipError naming the entry when one is unsafe (absolute, with "..", a
// link), unreadable or damaged, or when the archive is beyond the limits.
std::vector<AddonFile> readAddonFiles(const ZipArchive& archive, const AddonLimits& limits = {});

}  // namespace crv
