#include "tests/feed/download_test_support.h"

#include "foundation/log.h"
#include "foundation/paths.h"
#include "foundation/settings.h"
#include "tools/download-standin/site_builder.h"

namespace crv::testing {

namespace {

void resetVersionSettings() {
  par_AIG_VERSION.setValue("");
  par_DBASE_VERSION.setValue("");
  par_MYSIMADDON24_VERSION.setValue("");
}

std::filesystem::path makeProgramFolder(const TempFolder& temp) {
  const std::filesystem::path folder = temp / "program";
  std::filesystem::create_directories(folder / "input");
  std::filesystem::create_directories(folder / "airports");
  return folder;
}

}  // namespace

DownloadWorld::DownloadWorld()
    : program_(makeProgramFolder(temp_)),
      site_(temp_ / "site"),
      working_(program_),
      savedDataFolder_(dataFolderPath()),
      savedMsfs2020_(isMsfs2020()) {
  setDataFolderPath(temp_ / "appdata");
  std::filesystem::create_directories(temp_ / "appdata");
  openLog(temp_ / "Log.txt");
  resetVersionSettings();
  standin::buildSampleSite(site_, CRVN_DATA_FOLDER);
  standIn_ = std::make_unique<standin::DownloadStandIn>(site_);
}

DownloadWorld::~DownloadWorld() {
  standIn_.reset();
  closeLog();
  resetVersionSettings();
  setMsfs2020(savedMsfs2020_);
  setDataFolderPath(savedDataFolder_);
}

DownloadSite DownloadWorld::site() const {
  DownloadSite site;
  site.baseUrl = standIn_->baseUrl();
  site.options.timeouts.connect = std::chrono::milliseconds(2000);
  site.options.timeouts.stall = std::chrono::milliseconds(1000);
  site.options.timeouts.whole = std::chrono::milliseconds(10000);
  return site;
}

std::string DownloadWorld::log() const { return readFile(temp_ / "Log.txt"); }

}  // namespace crv::testing
