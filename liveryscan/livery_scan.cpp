#include "liveryscan/livery_scan.h"

#include <algorithm>
#include <array>
#include <deque>
#include <functional>
#include <map>
#include <system_error>
#include <utility>

#include <fmt/format.h>

#include "aircraftdata/livery_database.h"
#include "foundation/errors.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/session_flags.h"
#include "foundation/setting_controls.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "foundation/text.h"
#include "foundation/workers.h"
#include "liveryscan/fltsim_sections.h"
#include "liveryscan/ivao_liveries.h"
#include "liveryscan/livery_folders.h"
#include "liveryscan/scan_reports.h"
#include "liveryscan/scan_task_pool.h"
#include "platform/window/control_model.h"

namespace fs = std::filesystem;

namespace crv {
namespace {

constexpr int kAutomaticNothingFound = 43;
constexpr int kManualNothingFound = 53;
constexpr std::uint32_t kMaxFolderNumber = 10;
constexpr std::size_t kMaxWalkedPathBytes = 250;
// Results waiting per worker thread: enough to keep every thread busy while
// the worker takes the oldest.
constexpr std::size_t kPendingPerThread = 16;
// Files handed to the threads at once.
constexpr std::size_t kTasksPerBatch = 16;
// The status line shows progress every so many files.
constexpr std::size_t kProgressStep = 64;

// Folders of other kinds of add-ons, never entered (case-sensitive).
constexpr std::array<std::string_view, 9> kSkippedFolderWords = {
    "airport", "lvfr", "mkstudios", "simwings", "fsdreamteam", "navigraph", "flytampa", "inibuilds", "_CVT_"};

bool isSkippedFolderPath(std::string_view path) {
  if (path.size() >= kMaxWalkedPathBytes) return true;
  return std::any_of(kSkippedFolderWords.begin(), kSkippedFolderWords.end(),
                     [&](std::string_view word) { return path.find(word) != std::string_view::npos; });
}

bool isAircraftCfgName(const fs::path& path) {
  return toUpper(path.extension().string()) == ".CFG" && toUpper(path.stem().string()) == "AIRCRAFT";
}

// True for an aircraft.cfg; throws the status error of an entry that is
// there but cannot be looked at (a link loop, for one), whatever its name.
bool isAircraftCfgEntry(const fs::directory_entry& entry) {
  std::error_code error;
  // The kind the folder listing gave, unless the entry is a link.
  const bool regularFile = entry.is_regular_file(error);
  if (error && error != std::errc::no_such_file_or_directory) {
    throw fs::filesystem_error("status", entry.path(), error);
  }
  return regularFile && isAircraftCfgName(entry.path());
}

bool isIvaoPackagePath(std::string_view path) {
  return path.find("ivao_x-csl") != std::string_view::npos || path.find("IVAO_MTL") != std::string_view::npos;
}

LiveryList runFileTask(std::uint32_t folderNumber, const fs::path& file) {
  return isIvaoPackagePath(file.string()) ? searchIvaoLiveriesInFile(folderNumber, file)
                                          : lf_searchLiveriesinFile(folderNumber, file);
}

bool isBrokenPromise(const std::future_error& error) {
  return error.code() == std::make_error_code(std::future_errc::broken_promise);
}

struct PendingTask {
  std::future<LiveryList> future;
  fs::path file;
};

// Takes the oldest pending result into scannedLiveries(). "inner" while
// tasks are still being started, "outer" after.
void collectOldest(std::deque<PendingTask>& pending, ScanTaskPool& pool, std::chrono::milliseconds waitLimit,
                   std::string_view stage, ScanProgress& progress) {
  PendingTask task = std::move(pending.front());
  pending.pop_front();
  try {
    if (auto liveries = waitForResult(task.future, waitLimit)) {
      scannedLiveries().splice(scannedLiveries().end(), *liveries);
    } else {
      gf_logWarning(fmt::format("liveries search aborted, futs {}, no result for {} within {} ms", stage,
                                task.file.string(), waitLimit.count()));
      pool.addThread();
    }
  } catch (const std::future_error& error) {
    if (!isBrokenPromise(error) || !isStopping()) {
      gf_logWarning(fmt::format("liveries search aborted, futs {}, {}", stage, error.what()));
    }
  } catch (const std::exception& error) {
    gf_logWarning(fmt::format("liveries search aborted, futs {}, {}", stage, error.what()));
  }
  progress.fileDone();
}

// For every airline and type, only the liveries of the lowest folder number
// that has that airline and type stay.
void keepPrioritizedFolders(LiveryList& liveries) {
  std::map<std::pair<std::string, std::string>, std::uint32_t> lowestFolder;
  for (const LiveryData& livery : liveries) {
    auto [it, added] = lowestFolder.try_emplace({livery.airl, livery.type}, livery.folderIndex);
    if (!added) it->second = std::min(it->second, livery.folderIndex);
  }
  liveries.remove_if([&](const LiveryData& livery) {
    return livery.folderIndex > lowestFolder.at({livery.airl, livery.type});
  });
}

std::string scanStatusPrefix() {
  const bool prioritized = par_LIG_PRIORITIZE.value() && !par_LIG_AUTOMATIC.value();
  return fmt::format("Scanning {} for liveries ...", prioritized ? "prioritized " : "");
}

// Opening the folder or moving to its next entry failed: the walk ends.
void logIteratorProblem(const fs::path& folder, const std::exception& problem) {
  gf_logWarning(fmt::format("liveries search in folder {} aborted because of iterator problem: {}", folder.string(),
                            problem.what()));
}

}  // namespace

ScanProgress::ScanProgress(std::string prefix) : prefix_(std::move(prefix)) {}

void ScanProgress::fileFound() { ++found_; }

void ScanProgress::fileDone() {
  ++done_;
  if (done_ % kProgressStep == 0 || done_ == found_) setStatusLine(text());
}

std::string ScanProgress::text() const {
  return fmt::format("{} {} of {} aircraft.cfg files", prefix_, done_, found_);
}

void walkAircraftCfgFiles(const fs::path& folder, const std::function<bool(const fs::path&)>& onFile) {
  fs::recursive_directory_iterator it;
  try {
    it = fs::recursive_directory_iterator(folder);
  } catch (const std::exception& problem) {
    logIteratorProblem(folder, problem);
    return;
  }
  for (const fs::recursive_directory_iterator end; it != end;) {
    const fs::directory_entry& entry = *it;
    const std::string path = entry.path().string();
    bool found = false;
    try {
      if (isSkippedFolderPath(path)) it.disable_recursion_pending();
      found = isAircraftCfgEntry(entry);
    } catch (const std::exception& problem) {
      gf_logWarning(fmt::format("liveries search in {} aborted, cause: {}", path, problem.what()));
    }
    if (found && !onFile(entry.path())) return;
    try {
      ++it;
    } catch (const std::exception& problem) {
      logIteratorProblem(folder, problem);
      return;
    }
  }
}

void scanLiveryFolder(std::uint32_t folderNumber, const fs::path& folder, const LiveryScanContext& context,
                      ScanProgress& progress) {
  ScanTaskPool pool(std::max(workerLimit(), 1));
  pool.setCloseWait(context.taskWaitLimit);
  const std::size_t maxPending = kPendingPerThread * static_cast<std::size_t>(pool.threadCount());
  std::deque<PendingTask> pending;
  std::vector<ScanTaskPool::Task> batch;
  std::vector<fs::path> batchFiles;
  const auto submitBatch = [&] {
    std::vector<std::future<LiveryList>> futures = pool.submit(batch);
    for (std::size_t i = 0; i < futures.size(); ++i) pending.push_back({std::move(futures[i]), batchFiles[i]});
    batchFiles.clear();
    while (pending.size() > maxPending) collectOldest(pending, pool, context.taskWaitLimit, "inner", progress);
  };
  walkAircraftCfgFiles(folder, [&](const fs::path& file) {
    if (isStopping()) return false;
    progress.fileFound();
    batch.emplace_back([folderNumber, file] { return runFileTask(folderNumber, file); });
    batchFiles.push_back(file);
    if (batch.size() >= kTasksPerBatch) submitBatch();
    return true;
  });
  submitBatch();
  while (!pending.empty()) {
    if (isStopping()) pool.dropWaitingTasks();
    collectOldest(pending, pool, context.taskWaitLimit, "outer", progress);
  }
}

FolderScanResult scanLiveryFolders(const std::vector<std::string>& folders, const LiveryScanContext& context) {
  clearScanReportLists();
  scannedLiveries().clear();
  removePreviousScanOutputs();
  writeRegcodeErrorFiles();
  rebuildDontUseLookup();

  ScanProgress progress(scanStatusPrefix());
  std::uint32_t folderNumber = 0;
  std::size_t total = 0;
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    std::error_code error;
    const fs::file_status status = fs::status(folder, error);
    if (!fs::exists(status)) {
      gf_logLine(folder + " does not exist, skipped!");
      continue;
    }
    if (!fs::is_directory(status)) {
      gf_logLine(folder + " is not a folder name, skipped!");
      continue;
    }
    folderNumber = std::min(folderNumber + 1, kMaxFolderNumber);
    if (isStopping()) continue;
    const std::size_t before = scannedLiveries().size();
    scanLiveryFolder(folderNumber, folder, context, progress);
    const std::size_t count = scannedLiveries().size() - before;
    const std::string where = fmt::format("found in {}", folder);
    if (count == 0) {
      gf_logLine(fmt::format("No liveries {}", where));
    } else {
      gf_logLine(fmt::format("{} liverie{} {}", count, pluralSuffixSize(count), where));
      total += count;
    }
  }
  if (isStopping()) return FolderScanResult::Stopped;
  LiveryList& liveries = scannedLiveries();
  if (liveries.empty()) {
    if (context.display.showLiveryCount) context.display.showLiveryCount(0);
    if (context.display.repaint) context.display.repaint();
    return FolderScanResult::NothingFound;
  }
  if (folders.size() > 1) gf_logLine(fmt::format("{} in total", total));
  applyDbaseRegistrations(liveries);
  if (par_LIG_PRIORITIZE.value()) keepPrioritizedFolders(liveries);
  sortScannedLiveries(liveries);
  writeLiveriesScannedXml();
  liveries.clear();
  writeLiveryScanReport();
  clearScanReportLists();
  clearStatusLine();
  return FolderScanResult::Found;
}

void scanLiveries(const LiveryScanContext& context) {
  if (!par_SCAN_LIVERIES.value()) {
    // The reader's errors end the session; the file stays for the user to
    // mend or to replace by a scan.
    processScannedLiveries(context.display);
    return;
  }
  // A new scan: the indexes of an earlier one are rebuilt from its result.
  clearLiveryDatabase();
  setSimFolderName(std::string(isMsfs2020() ? kSimFolderMsfs2020 : kSimFolderMsfs2024));
  setStatusLine(scanStatusPrefix());
  gf_logLine(fmt::format("\n++++++++++++++++++++++++ liveries scan {} starts ++++++++++++++++++++++++++++++++",
                         par_LIG_AUTOMATIC.value() ? "automatic" : "manual"));
  std::vector<std::string> folders;
  checkLiveryFolders(folders, context.communityFolder);
  switch (scanLiveryFolders(folders, context)) {
    case FolderScanResult::Stopped:
      gf_logLine("Livery scan stopped, LiveriesScanned.xml is left as it was");
      clearStatusLine();
      return;
    case FolderScanResult::NothingFound:
      clearStatusLine();
      if (par_LIG_AUTOMATIC.value()) {
        throw UserErrorException(kAutomaticNothingFound,
                                 "Automatic scan has not found any liveries, switch off automatic and set lfolder "
                                 "parameter(-s), Manual 5.1");
      }
      throw UserErrorException(kManualNothingFound, "no liveries found");
    case FolderScanResult::Found:
      break;
  }
  par_SCAN_LIVERIES.setValue(false);
  saveBoolParameter(par_SCAN_LIVERIES);
  if (platform::mainWindowControls().exists(par_SCAN_LIVERIES.controlId())) setCheckBox(par_SCAN_LIVERIES);
  if (context.display.repaint) context.display.repaint();
  gf_logLine("\n++++++++++++++++++++++++ liveries scan ends ++++++++++++++++++++++++++++++++\n");
  processScannedLiveries(context.display);
}

}  // namespace crv
