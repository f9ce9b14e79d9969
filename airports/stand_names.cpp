#include "airports/stand_names.h"

#include <cmath>

#include "airports/stand_distances.h"

namespace crv {

namespace {
constexpr double kNoDistance = 900.0;
constexpr double kSamePositionDegrees = 1e-8;

bool isSamePosition(const GeoPoint& a, const GeoPoint& b) {
  return std::fabs(a.latitude - b.latitude) < kSamePositionDegrees &&
         std::fabs(a.longitude - b.longitude) < kSamePositionDegrees;
}
}  // namespace

void StandNameIndex::publish(const StandTable& stands) {
  auto snapshot = std::make_shared<Snapshot>();
  snapshot->reserve(stands.size());
  for (const ParkingPosition& stand : stands) {
    snapshot->push_back({stand.name, stand.position()});
  }
  MutexLock lock(mutex_);
  snapshot_ = std::move(snapshot);
  cache_.reset();
}

void StandNameIndex::clear() {
  MutexLock lock(mutex_);
  snapshot_.reset();
  cache_.reset();
}

std::string StandNameIndex::nameAt(const GeoPoint& position, bool userOnGround) {
  if (!userOnGround) {
    return {};
  }
  std::shared_ptr<const Snapshot> snapshot;
  {
    MutexLock lock(mutex_);
    if (!snapshot_ || snapshot_->empty()) {
      return {};
    }
    if (cache_ && isSamePosition(cache_->position, position)) {
      return cache_->name;
    }
    snapshot = snapshot_;
  }

  double bestNm = kNoDistance;
  const std::string* nearest = nullptr;
  for (const StandPlace& stand : *snapshot) {
    const double distanceNm = gf_distanceNm(position, stand.position);
    if (distanceNm <= kStandNameDistanceNm && distanceNm < bestNm) {
      bestNm = distanceNm;
      nearest = &stand.name;
    }
  }
  std::string name = nearest != nullptr ? *nearest : std::string();

  MutexLock lock(mutex_);
  // An answer from a table that has been replaced meanwhile is not cached.
  if (snapshot_ == snapshot) {
    cache_ = CachedAnswer{position, name};
  }
  return name;
}

StandNameIndex& standNameIndex() {
  static StandNameIndex index;
  return index;
}

void publishStandNames(const StandTable& stands) { standNameIndex().publish(stands); }

void emptyStandTable(StandTable& stands) {
  stands.clear();
  standNameIndex().clear();
}

std::string standNameAtPosition(const GeoPoint& position, bool userOnGround) {
  return standNameIndex().nameAt(position, userOnGround);
}

}  // namespace crv
