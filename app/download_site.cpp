#include "app/download_site.h"

#include <cstdlib>

#include "foundation/session_flags.h"

namespace crv {

std::optional<DownloadSite> programDownloadSite() {
  const char* variable = std::getenv(kDownloadSiteVariable);
  if (variable == nullptr) {
    return std::nullopt;
  }
  std::string base = variable;
  if (base.rfind("http://", 0) != 0 && base.rfind("https://", 0) != 0) {
    return std::nullopt;
  }
  if (base.back() != '/') {
    base += '/';
  }
  DownloadSite site;
  site.baseUrl = base;
  site.options.stop = &stopRequestedFlag();
  return site;
}

}  // namespace crv
