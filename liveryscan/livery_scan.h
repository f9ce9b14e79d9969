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

// The aircraft.cfg files below the folder, in walk order. Folders whose
// path names another kind of add-on, and paths of 250 bytes or more, are
// not entered. Entry and listing problems are logged; the walk goes on
// where it can.
std::vector<std::filesystem::path> findAircraftCfgFiles(const std::filesystem::path& folder);

// Files done of files found, shown on the status line.
class ScanProgress {
 public:
  ScanProgress(std::string prefix, std::size_t filesFound);
  void fileDone();
  std::string text() const;

 private:
  std::string prefix_;
  std::size_t found_;
  std::size_t done_ = 0;
};

// Runs the tasks of one folder's files and appends their liveries to
// scannedLiveries().
void scanLiveryFolder(std::uint32_t folderNumber, const std::vector<std::filesystem::path>& files,
                      const LiveryScanContext& context, ScanProgress& progress);

}  // namespace crv
