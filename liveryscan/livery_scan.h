#pragma once

// The livery scan: finds the AI liveries installed for the simulator, writes
// them to output/LiveriesScanned.xml with the scan's report files, and hands
// the file to the livery indexes. It runs on the session worker while a
// session is prepared, when SCAN_LIVERIES asks for it; one task per
// aircraft.cfg runs on the scan's worker threads.
//
// The session gives what the scan cannot know itself: the chosen
// simulator's Community folder and the main window's livery count.

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "liveryscan/liveries_scanned_xml.h"

namespace crv {

struct LiveryScanContext {
  // The Community folder of the chosen simulator; empty when unknown.
  std::filesystem::path communityFolder;
  LiveryCountDisplay display;
  // How long the scan waits for one task before it gives up on it.
  std::chrono::milliseconds taskWaitLimit{std::chrono::seconds(10)};
};

enum class FolderScanResult { Found, NothingFound, Stopped };

// The entry, once per session preparation. With SCAN_LIVERIES clear it only
// processes the stored result. Throws UserErrorException 43 (automatic) or
// 53 (manual) when nothing was found, 48 and the errors of
// checkLiveryFolders and readLiveriesScannedXml. A scan cut short by a stop
// writes nothing, reads nothing and keeps SCAN_LIVERIES set.
void scanLiveries(const LiveryScanContext& context);

// Scans the folders into LiveriesScanned.xml and the reports.
FolderScanResult scanLiveryFolders(const std::vector<std::string>& folders, const LiveryScanContext& context);

// Walks the folder and calls onFile for each aircraft.cfg in walk order,
// until it gives false. Folders whose path names another kind of add-on, and
// paths of 250 bytes or more, are not entered; links to folders are not
// followed. Entry and listing problems are logged and passed over.
void walkAircraftCfgFiles(const std::filesystem::path& folder,
                          const std::function<bool(const std::filesystem::path&)>& onFile);

// Files done of files found so far, shown on the status line.
class ScanProgress {
 public:
  explicit ScanProgress(std::string prefix);
  void fileFound();
  void fileDone();
  std::string text() const;

 private:
  std::string prefix_;
  std::size_t found_ = 0;
  std::size_t done_ = 0;
};

// Walks one livery folder and runs a task for each aircraft.cfg while it
// walks; appends their liveries to scannedLiveries().
void scanLiveryFolder(std::uint32_t folderNumber, const std::filesystem::path& folder,
                      const LiveryScanContext& context, ScanProgress& progress);

}  // namespace crv
