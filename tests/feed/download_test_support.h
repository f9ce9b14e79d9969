#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "feed/downloader.h"
#include "tests/support/log_capture.h"
#include "tools/download-standin/download_standin.h"

namespace crv::testing {

// A program folder as the working folder (with input/ and airports/), the
// data folder for parameters.xml beside it, Log.txt, and the download-site
// stand-in serving a freshly built sample site. Restores the version
// settings and the simulator choice when it goes.
class DownloadWorld {
 public:
  DownloadWorld();
  ~DownloadWorld();

  const std::filesystem::path& programFolder() const { return program_; }
  std::filesystem::path sitePath(std::string_view relative) const { return site_ / relative; }
  standin::DownloadStandIn& standIn() { return *standIn_; }
  // Short timeouts, so that a test never waits long.
  DownloadSite site() const;

  std::string log() const;
  bool logContains(std::string_view piece) const { return log().find(piece) != std::string::npos; }

 private:
  TempFolder temp_;
  std::filesystem::path program_;
  std::filesystem::path site_;
  ScopedWorkingFolder working_;
  std::filesystem::path savedDataFolder_;
  bool savedMsfs2020_;
  std::unique_ptr<standin::DownloadStandIn> standIn_;
};

}  // namespace crv::testing
