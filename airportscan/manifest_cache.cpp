#include "airportscan/manifest_cache.h"

#include <utility>

namespace crv {

ManifestSearch ManifestSearchCache::find(const std::string& bglFolder, const std::function<ManifestSearch()>& search) {
  {
    const std::lock_guard lock(mutex_);
    if (const auto known = searches_.find(bglFolder); known != searches_.end()) {
      return known->second;
    }
  }
  // Searched outside the lock: two tasks that meet a new folder at once both
  // search it, and the first answer is kept.
  ManifestSearch found = search();
  const std::lock_guard lock(mutex_);
  return searches_.try_emplace(bglFolder, std::move(found)).first->second;
}

}  // namespace crv
