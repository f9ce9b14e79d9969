#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "feed/downloader.h"
#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "tests/support/log_capture.h"
#include "tools/download-standin/download_standin.h"
#include "tools/download-standin/site_builder.h"

namespace crv::testing {

// A program folder as the working folder (with input/ and airports/), the
// data folder for parameters.xml beside it, Log.txt, and the download-site
// stand-in serving a freshly built sample site. Restores the version
// settings and the simulator choice when it goes.
class DownloadWorld {
 public:
  DownloadWorld() : working_(makeProgramFolder()), savedDataFolder_(dataFolderPath()), savedMsfs2020_(isMsfs2020()) {
    setDataFolderPath(temp_ / "appdata");
    std::filesystem::create_directories(temp_ / "appdata");
    openLog(temp_ / "Log.txt");
    resetVersionSettings();
    standin::buildSampleSite(temp_ / "site", CRVN_DATA_FOLDER);
    standIn_ = std::make_unique<standin::DownloadStandIn>(temp_ / "site");
  }
  ~DownloadWorld() {
    standIn_.reset();
    closeLog();
    resetVersionSettings();
    setMsfs2020(savedMsfs2020_);
    setDataFolderPath(savedDataFolder_);
  }

  std::filesystem::path programFolder() const { return temp_ / "program"; }
  std::filesystem::path sitePath(std::string_view relative) const { return temp_ / "site" / relative; }
  standin::DownloadStandIn& standIn() { return *standIn_; }
  // Short timeouts, so that a test never waits long.
  DownloadSite site() const {
    DownloadSite site;
    site.baseUrl = standIn_->baseUrl();
    site.options.timeouts.connect = std::chrono::milliseconds(2000);
    site.options.timeouts.stall = std::chrono::milliseconds(1000);
    site.options.timeouts.whole = std::chrono::milliseconds(10000);
    return site;
  }
  std::string log() const { return readTextFile(temp_ / "Log.txt"); }
  bool logContains(std::string_view piece) const { return log().find(piece) != std::string::npos; }

 private:
  std::filesystem::path makeProgramFolder() const {
    std::filesystem::create_directories(programFolder() / "input");
    std::filesystem::create_directories(programFolder() / "airports");
    return programFolder();
  }
  static void resetVersionSettings() {
    par_AIG_VERSION.setValue("");
    par_DBASE_VERSION.setValue("");
    par_MYSIMADDON24_VERSION.setValue("");
  }

  TempFolder temp_;
  ScopedWorkingFolder working_;
  std::filesystem::path savedDataFolder_;
  bool savedMsfs2020_;
  std::unique_ptr<standin::DownloadStandIn> standIn_;
};

}  // namespace crv::testing
