// The session worker's body and the preparation of a session.

#include <algorithm>
#include <climits>
#include <filesystem>
#include <new>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "aircraftdata/aircraft_database.h"
#include "airports/airports_database.h"
#include "airports/park_airports.h"
#include "app/control_handlers.h"
#include "app/session.h"
#include "app/sim_choice.h"
#include "app/status_panel.h"
#include "app/window_controls.h"
#include "foundation/clock.h"
#include "foundation/errors.h"
#include "foundation/files.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/paths.h"
#include "foundation/setting_controls.h"
#include "foundation/session_flags.h"
#include "foundation/status_line.h"
#include "foundation/version.h"
#include "foundation/version_update.h"
#include "foundation/workers.h"
#include "platform/window/control_model.h"
#include "simlink/flight_plans.h"

namespace crv {

namespace fs = std::filesystem;

namespace {

// RealTraffic refuses a new login within this many seconds of the last visit.
constexpr std::int64_t kRevisitHoldSeconds = 2;

bool isDirectory(const fs::path& path) {
  std::error_code error;
  const bool directory = fs::is_directory(path, error);
  if (error && error != std::errc::no_such_file_or_directory) {
    throw fs::filesystem_error("status", path, error);
  }
  return directory;
}

void createDirectories(const fs::path& folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) {
    throw fs::filesystem_error("create_directories", folder, error);
  }
}

std::string mustRunFromFolderText() {
  return fmt::format("{} must be run from the {} folder!", kProgramName, kProgramName);
}

}  // namespace

void Session::sessionWorker() {
  workerThreadId_.store(std::this_thread::get_id());
  display_.phase.store(SessionDisplay::Phase::starting);
  try {
    if (!isDirectory(programPaths().docsFolder)) {
      throw UserErrorException(41, mustRunFromFolderText());
    }
    prepareSession();
    const std::int64_t elapsedSeconds = systemTimeSeconds() - par_LAST_EPOCH_TIME.value();
    setWorkerLimit(hardwareThreadCount());  // also forgets every running scan task
    if (!pathExists(programPaths().liveriesScannedXml) && !par_SCAN_LIVERIES.value()) {
      setStatusLine(fmt::format("File {} is gone, rescan liveries", programPaths().liveriesScannedXml.string()), true);
      par_SCAN_LIVERIES.setValue(true);
      saveBoolParameter(par_SCAN_LIVERIES);
      setCheckBox(par_SCAN_LIVERIES);
      repaint();
    }
    if (options_.scanLiveries) {
      options_.scanLiveries();
    }
    if (!stopping()) {
      if (par_SCAN_AIRPORTS.value() && options_.scanAddonAirports) {
        panelCounts().simaddonAirports.store(0);
        panelCounts().thirdpartyAirports.store(0);
        repaint();
        options_.scanAddonAirports();
      }
      revisitHold(elapsedSeconds);
      countAirportFolders();
      repaint();
      if (stopping()) {
        setUserClosedWindow(true);
        raiseStop();
        sessionEnd().setReasonIfUnset(ExitReason::userClosedSim);
      } else {
        createFlightPlanFolder();
        if (!parkAirportList().readMyParkAirports(airportsDb())) {
          gf_logWarning("my_park_airports.txt names an airport the airports database does not know");
        }
        platform::mainWindowControls().setEnabled(button_Reread.controlId(), true);
        applyStoredDestination();
        applyAlwaysOnTop();
        if (par_AUTO_RANGE.value()) {
          updateAutoRange();
        }
        runSession();
      }
    }
  } catch (const UserErrorException& error) {
    // The reason is set before the error shows: a user who answers it at
    // once (a packages path typed) turns it into a restart, which a reason
    // set after the error line would overwrite.
    sessionEnd().forceSystemError();
    setErrorLine(error.what());
  } catch (const fmt::format_error& error) {
    // The log keeps where it came from; the error line shows the text alone.
    setErrorLine(fmt::format("std::format error: {}", error.what()));
    setErrorLine(error.what());
    sessionEnd().endSession(ExitReason::systemError);
  } catch (const std::bad_alloc& error) {
    setErrorLine(error.what());
    sessionEnd().endSession(ExitReason::systemError);
  } catch (const std::exception& error) {
    setErrorLine(error.what());
    sessionEnd().endSession(ExitReason::systemError);
  } catch (...) {
    sessionEnd().forceSystemError();
    setErrorLine("Unknown exception");
  }
  lf_closingDown();
  workerThreadId_.store(std::thread::id());
}

void Session::prepareSession() {
  gf_readParameters();
  rememberUserMaxLive(par_MAX_LIVE_SEL.value());
  applySimChoice();
  repaint();
  stripCommunitySuffix(simPathSetting());
  removeStaleDataFiles();
  if (!sessionEnd().restartPending.load() && options_.checkVersions) {
    options_.checkVersions();
  }
  initControlStates();
  platform::mainWindowControls().setEnabled(par_KEEP_SIM_TIME_PAR.controlId(), true);
  applyStoredTimeShift();
  std::error_code error;
  const fs::path current = fs::current_path(error);
  if (error) {
    throw fs::filesystem_error("current_path", error);
  }
  setStringParameterAndSave(par_PROGRAM_INSTALL_PATH, current.string());
  if (!databasesLoaded_) {
    readDbase();
    databasesLoaded_ = true;
  }
  readAirports(programPaths().airportsDatabaseName.string());
  // The box takes a typed path in every session: the answer to a path that
  // cannot be found below.
  par_ALL_INSTALL_PATH.setValue(simPathSetting().value());
  platform::mainWindowControls().setEnabled(par_ALL_INSTALL_PATH.controlId(), true);
  setControlText(par_ALL_INSTALL_PATH);
  if (par_ALL_INSTALL_PATH.isEmpty()) {
    const fs::path detected = detectPackagesPath();
    if (detected.empty()) {
      throw UserErrorException(
          150, "No install path detected, type full path to your Community folder above, and press Enter");
    }
    setStringParameterAndSave(simPathSetting(), detected.string());
    par_ALL_INSTALL_PATH.setValue(detected.string());
    setControlText(par_ALL_INSTALL_PATH);
  }
  repaint();
  // A radius between two listed ones is kept as it was stored.
  manualRange_ = par_RANGE.value();
  setRange(manualRange_);
}

void Session::applyStoredTimeShift() {
  ControlHandlers handlers(*this);
  readerTimeOffsetMinutes_.store(0);  // a shift of the last session is not kept unless stored
  if (par_SIM_TIME.value()) {
    handlers.applySimTimeOption();
  } else if (par_TIME_SHIFT_DAYS.value() == 0 && par_TIME_SHIFT_HOURS.value() == 0 &&
             par_TIME_SHIFT_MINS.value() == 0) {
    for (const IntControlParameter* box : {&par_TIME_SHIFT_DAYS, &par_TIME_SHIFT_HOURS, &par_TIME_SHIFT_MINS}) {
      clearControlText(box->controlId());
    }
  } else {
    const std::int64_t minutes =
        (std::int64_t{par_TIME_SHIFT_DAYS.value()} * 24 + par_TIME_SHIFT_HOURS.value()) * 60 + par_TIME_SHIFT_MINS.value();
    handlers.applyTimeShift(static_cast<std::int32_t>(std::min<std::int64_t>(minutes, INT32_MAX)), false);
  }
  // Time shift is available in every session, Sim Time on or off.
  enableTimeShiftControls(true);
}

void Session::applyStoredDestination() {
  if (par_DESTINATION.isEmpty()) {
    return;
  }
  const std::string code = par_DESTINATION.value();
  const std::optional<AirportRecord> airport = findReadAirport(code);
  if (!airport) {
    return;
  }
  ControlHandlers(*this).setDestination(code, {airport->lat, airport->lon});
  // On the worker already: the park airport list is in order before the
  // first park-airport update of the main loop.
  parkAirportList().applyRequests();
}

void Session::removeStaleDataFiles() {
  const ProgramPaths& paths = programPaths();
  for (const fs::path& folder :
       {paths.outputFolder, paths.infoFolder, paths.errorsFolder, paths.airportsFolder, paths.learnedFolder,
        paths.learnedStockFolder, paths.learnedSimaddonFolder, paths.learnedThirdpartyFolder,
        paths.mySimaddonFolder, paths.myThirdpartyFolder, paths.myRegcodesFolder}) {
    if (!isDirectory(folder)) {
      createDirectories(folder);
    }
  }
  removeStaleTemporariesOnce();
  for (const fs::path& stale : {paths.inputFolder / "AIG-regcodes0.xml", paths.inputFolder / "AIG-regcodes00.xml"}) {
    std::error_code error;
    fs::remove(stale, error);
    if (error && error != std::errc::no_such_file_or_directory) {
      throw fs::filesystem_error("remove", stale, error);
    }
  }
}

void Session::removeStaleTemporariesOnce() {
  // Once a process, before anything of it saves: a temporary file now is one
  // that a killed save left behind. (parameters.xml's folder is cleaned by
  // the settings' own load.)
  if (staleTemporariesRemoved_) {
    return;
  }
  staleTemporariesRemoved_ = true;
  const ProgramPaths& paths = programPaths();
  std::vector<fs::path> folders = {paths.inputFolder,         paths.outputFolder,          paths.infoFolder,
                                   paths.errorsFolder,        paths.airportsFolder,        paths.mySimaddonFolder,
                                   paths.myThirdpartyFolder,  paths.learnedStockFolder,    paths.learnedSimaddonFolder,
                                   paths.learnedThirdpartyFolder, paths.myRegcodesFolder};
  // The learned files of third-party airports lie in a folder per publisher.
  std::error_code error;
  for (fs::directory_iterator entry(paths.learnedThirdpartyFolder, error), end; !error && entry != end;
       entry.increment(error)) {
    std::error_code kindError;
    if (entry->is_directory(kindError)) {
      folders.push_back(entry->path());
    }
  }
  for (const fs::path& folder : folders) {
    removeStaleTemporaries(folder);
  }
}

std::int64_t revisitHoldSeconds(std::int64_t elapsedSinceLastVisit) {
  if (elapsedSinceLastVisit >= kRevisitHoldSeconds) {
    return 0;
  }
  // A stored time in the future (a clock set back) holds no longer than the
  // hold exists for.
  if (elapsedSinceLastVisit <= 0) {
    return kRevisitHoldSeconds;
  }
  return kRevisitHoldSeconds - elapsedSinceLastVisit;
}

void Session::revisitHold(std::int64_t elapsedSeconds) {
  const std::int64_t hold = revisitHoldSeconds(elapsedSeconds);
  if (hold <= 0) {
    return;
  }
  setStatusLine(fmt::format("Holding for {} seconds... (RT API cannot be revisited within {} seconds)", hold,
                            kRevisitHoldSeconds),
                true);
  wait(std::chrono::seconds(hold));
}

}  // namespace crv
