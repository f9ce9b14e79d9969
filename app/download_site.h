#pragma once

// The program's download site (versions.json, the data files, the simulator
// add-on, archived airport files). CRVN_DOWNLOAD_SITE names its base address;
// without it the program checks no versions and fetches no archived airport
// files, and says so in the log.

#include <optional>
#include <string>

#include "feed/downloader.h"

namespace crv {

inline constexpr const char* kDownloadSiteVariable = "CRVN_DOWNLOAD_SITE";

// The site from CRVN_DOWNLOAD_SITE (an http or https address, given a final
// "/"), with the session's stop flag; none when unset or not such an address.
std::optional<DownloadSite> programDownloadSite();

}  // namespace crv
