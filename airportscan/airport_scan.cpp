#include "airportscan/airport_scan.h"

#include <array>
#include <deque>
#include <exception>
#include <future>
#include <system_error>

#include <fmt/format.h>

#include "airports/airport_names.h"
#include "airportscan/airport_generation.h"
#include "airportscan/bgl_file.h"
#include "airportscan/bgl_task_pool.h"
#include "airportscan/manifest_cache.h"
#include "airportscan/scan_log.h"
#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/paths.h"
#include "foundation/session_flags.h"
#include "foundation/setting_controls.h"
#include "foundation/settings.h"
#include "foundation/status_line.h"
#include "foundation/workers.h"
#include "platform/window/control_model.h"

namespace fs = std::filesystem;

namespace crv {

namespace {

constexpr std::size_t kScanLogReservedLines = 2048;
constexpr std::size_t kMaxPathChars = 250;
constexpr std::size_t kProgressStep = 16;
constexpr std::string_view kScanStatusPrefix = "Scanning for addon airports ...";

constexpr std::array<std::string_view, 14> kSkippedWords = {
    "fs-base",     "tutorials",    "aircraft",      "bushtrip",           "discovery",
    "point-of-interest", "simobjects", "vcockpits", "aig-aitraffic", "justflight-aicraft",
    "fsltl",       "gsx-pro",      "gsx-world",     "landingchallenge"};
constexpr std::array<std::string_view, 3> kNotAirportWords = {"statics", "AFCAD Updates", "_heliports"};

// The length of a UTF-8 text as Windows counts a path: in UTF-16 units, one
// for each character, two for one beyond the Basic Multilingual Plane.
std::size_t utf16Length(std::string_view utf8) {
  std::size_t units = 0;
  for (const char byte : utf8) {
    const auto value = static_cast<unsigned char>(byte);
    if ((value & 0xC0U) != 0x80U) {
      units += (value & 0xF8U) == 0xF0U ? 2 : 1;
    }
  }
  return units;
}

bool containsAny(std::string_view text, const auto& words) {
  for (const std::string_view word : words) {
    if (text.find(word) != std::string_view::npos) {
      return true;
    }
  }
  return false;
}

// The BGL files found and read in one scan, shown on the status line.
class BglProgress {
 public:
  void fileFound() { ++found_; }
  void fileDone() {
    ++done_;
    if (done_ % kProgressStep == 0 || done_ == found_) {
      setStatusLine(fmt::format("{} {} of {} BGL files", kScanStatusPrefix, done_, found_));
    }
  }

 private:
  std::size_t found_ = 0;
  std::size_t done_ = 0;
};

// The tasks of one folder walk, oldest first, run by a pool of as many
// threads as the worker limit allows.
class BglTasks {
 public:
  BglTasks(const fs::path& folder, const AirportScanTaskContext& context, BglProgress& progress)
      : folder_(folder), handlers_(handlersFor(context)), progress_(progress), pool_(workerLimit()) {}

  void start(const fs::path& path) {
    waitForWorkerSlot();
    workerStarted();  // lf_processBGLfile lowers the count however it ends
    // The handlers outlive every task: the pool goes first.
    BglTaskPool::Task task([file = path.string(), &handlers = handlers_] { lf_processBGLfile(file, handlers); });
    std::future<void> future;
    try {
      future = pool_.submit(std::move(task));
    } catch (...) {
      workerDone();  // the task will never run
      throw;
    }
    futures_.push_back(future.share());
    progress_.fileFound();
  }

  // Collects the oldest when more are held than the worker limit.
  void collectOverLimit(const fs::path& entryPath) {
    if (futures_.size() <= static_cast<std::size_t>(pool_.threadCount())) {
      return;
    }
    try {
      takeOldest();
    } catch (const std::exception& error) {
      // The failed task's future is still in the list and counted.
      appendScanLog(fmt::format("{} airports search aborted, futs inner, \n{}\n{}\n{}", kWarningPrefix, error.what(),
                                futures_.size(), entryPath.string()));
    }
    futures_.pop_front();
  }

  // Waits for every task still held; none is left running on shared data.
  void collectAll() {
    while (!futures_.empty()) {
      try {
        takeOldest();
      } catch (const std::exception& error) {
        appendScanLog(fmt::format("{} airports search in {} aborted, futs outer error: {}", kWarningPrefix,
                                  folder_.string(), error.what()));
      }
      futures_.pop_front();
    }
  }

 private:
  static BglFileHandlers handlersFor(const AirportScanTaskContext& context) {
    BglFileHandlers handlers;
    handlers.msfs2020 = context.msfs2020;
    handlers.onAirport = [context](const BglAirportRecordRef& ref, const BglWords& words, const std::string& bgl) {
      processBglAirportRecord(ref, words, bgl, context);
    };
    handlers.onUnrecognisedAirport = [context](const std::string& bgl) { reportUnrecognisedAirport(bgl, context); };
    return handlers;
  }

  // Waits for the oldest task and raises the exception it stored. Its
  // future stays in the list, holding the task's result, until the caller
  // has handled that exception and drops it.
  void takeOldest() {
    progress_.fileDone();
    futures_.front().get();
  }

  fs::path folder_;
  const BglFileHandlers handlers_;
  BglProgress& progress_;
  std::deque<std::shared_future<void>> futures_;  // shared: get() keeps the result
  BglTaskPool pool_;
};

bool scanFolderForAirports(const fs::path& folder, const AirportScanTaskContext& context, BglProgress& progress) {
  appendScanLog("Scanning for addon airports in " + folder.string());
  BglTasks tasks(folder, context, progress);
  bool stopped = false;
  try {
    for (auto entry = fs::recursive_directory_iterator(folder); entry != fs::recursive_directory_iterator();
         ++entry) {
      const fs::path& path = entry->path();
      try {
        const std::string fullPath = path.string();
        const std::string below = path.lexically_relative(folder).generic_string();
        if (isSkippedScanFolder(fullPath, below) || !entry->is_regular_file() ||
            !isBglFile(path.extension().string()) || containsAny(below, kNotAirportWords) ||
            !bglHasAirportSection(path)) {
          continue;
        }
        if (isStopping()) {
          stopped = true;
          break;
        }
        tasks.start(path);
      } catch (const std::exception& error) {
        appendScanLog(fmt::format("{} airports search in folder {} aborted, cause: {}", kWarningPrefix,
                                  folder.string(), error.what()));
      }
      tasks.collectOverLimit(path);
    }
  } catch (const std::exception& error) {
    appendScanLog(fmt::format("{} airports search in folder {} aborted because of iterator problem: {}",
                              kWarningPrefix, folder.string(), error.what()));
  }
  tasks.collectAll();
  return !stopped;
}

// False when a stop cut the walk short.
bool scanAirportFolders(const std::vector<fs::path>& folders, bool msfs2020, const AirportNameMap& names,
                        BglProgress& progress) {
  for (const fs::path& folder : folders) {
    if (folder.empty()) {
      continue;
    }
    if (!fs::exists(folder)) {
      setStatusLine(folder.string() + " does not exist, skipped!", true);
    } else if (!fs::is_directory(folder)) {
      setStatusLine(folder.string() + " is not a folder name, skipped!", true);
    } else {
      ManifestSearchCache manifests;
      const AirportScanTaskContext context{msfs2020, folder, &names, &airportScanLog(), &manifests};
      if (!scanFolderForAirports(folder, context, progress) || isStopping()) {
        return false;
      }
    }
  }
  return true;
}

bool runScan(const AirportScanOptions& options, const AirportNameMap& names, bool& completed) {
  const ProgramPaths& paths = programPaths();
  std::error_code removeError;
  fs::remove(paths.airportsScanLog, removeError);
  if (removeError) {
    gf_logLine("problems with removing previous files (maybe still open?)");
  }
  collectedAirportFileCount().store(0);
  airportScanLog().reserve(kScanLogReservedLines);
  const bool msfs2020 = isMsfs2020();
  BglProgress progress;
  completed = scanAirportFolders(options.folders, msfs2020, names, progress);
  fs::create_directories(paths.airportsScanLog.parent_path());
  writeLinesToFile(airportScanLog().takeLines(), paths.airportsScanLog);
  gf_logLine(paths.airportsScanLog.string() + " written");
  clearStatusLine();
  finishAirportArchive(listXmlFiles(paths.myThirdpartyFolder), options.isSuitableForOfflineLearning);
  const bool found = airportFoundFlag().load();
  if (found) {
    gf_logLine("Airports scan successful");
  }
  return found;
}

}  // namespace

bool isBglFile(std::string_view extension) { return extension == ".BGL" || extension == ".bgl"; }

bool isSkippedScanFolder(std::string_view fullPath, std::string_view pathBelowScanFolder) {
  // No text of fewer bytes can hold as many characters.
  const bool tooLong = fullPath.size() >= kMaxPathChars && utf16Length(fullPath) >= kMaxPathChars;
  return tooLong || containsAny(pathBelowScanFolder, kSkippedWords);
}

bool runAirportsScan(const AirportScanOptions& options, const AirportNameMap& names) {
  bool completed = false;
  return runScan(options, names, completed);
}

void scanAddonAirports(const AirportScanOptions& options) {
  const ProgramPaths& paths = programPaths();
  setStatusLine(kScanStatusPrefix);
  gf_logLine(fmt::format("\n++++++++++++++++++++++++ airports scan {} starts +++++++++++++++++++++++++++++", ""));
  // An entry that cannot be removed (a file open in another program) throws
  // user error 5, which ends the session before anything is scanned.
  if (fs::exists(paths.tbloFolder)) {
    emptyFolder(paths.tbloFolder);
  } else {
    fs::create_directories(paths.tbloFolder);
  }
  const bool msfs2020 = isMsfs2020();
  // The simulator named by every generated file; the tasks only read it.
  setSimFolderName(simFolderNameFor(msfs2020 ? kSimChoiceMsfs2020 : kSimChoiceMsfs2024));
  // Read before the folders are emptied, so that its log line stands also
  // when a folder cannot be emptied.
  const AirportNameMap names = readAirportNames();
  if (msfs2020) {
    emptyFolder(paths.mySimaddonFolder);
  }
  emptyFolder(paths.myThirdpartyFolder);
  airportFoundFlag().store(false);

  bool completed = false;
  if (!runScan(options, names, completed) && completed) {
    setStatusLine("Warning: Scan has not found any add-on airports", true);
  }
  if (completed) {
    par_SCAN_AIRPORTS.setValue(false);
    saveBoolParameter(par_SCAN_AIRPORTS);
    if (platform::mainWindowControls().exists(par_SCAN_AIRPORTS.controlId())) {
      setCheckBox(par_SCAN_AIRPORTS);
    }
  }
  if (fs::exists(paths.tbloFolder) && folderEntryCount(paths.tbloFolder) == 0) {
    fs::remove(paths.tbloFolder);
  }
  gf_logLine("-------------------------- airports scan ends    ----------------------------\n");
}

}  // namespace crv
