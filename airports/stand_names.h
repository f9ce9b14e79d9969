#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "airports/stand_table.h"
#include "foundation/geodesy.h"
#include "foundation/thread_annotations.h"

namespace crv {

// The names and positions of the park airport's stands as the session worker
// last published them. The SimClient and Traffic Reader threads look stand
// names up here, never in the stand table itself.
class StandNameIndex {
 public:
  // Called by the worker whenever the stand table was read, replaced or
  // emptied; also forgets the cached answer.
  void publish(const StandTable& stands);
  void clear();

  // The name of the nearest published stand within 55 m of the position; the
  // empty text when there is none or the user's aircraft is not on the ground.
  // The last position asked for and its answer are cached. Safe from any
  // thread.
  std::string nameAt(const GeoPoint& position, bool userOnGround);

 private:
  struct StandPlace {
    std::string name;
    GeoPoint position;
  };
  using Snapshot = std::vector<StandPlace>;

  struct CachedAnswer {
    GeoPoint position;
    std::string name;
  };

  // Guards the published snapshot and the cached answer.
  Mutex mutex_;
  std::shared_ptr<const Snapshot> snapshot_ GUARDED_BY(mutex_);
  std::optional<CachedAnswer> cache_ GUARDED_BY(mutex_);
};

// The process-wide index that the worker publishes to.
StandNameIndex& standNameIndex();

// standNameIndex().publish(stands), for the worker after each reading.
void publishStandNames(const StandTable& stands);

// Empties the stand table together with its published names, so that no
// stand of a table that is gone is named any more.
void emptyStandTable(StandTable& stands);

// standNameIndex().nameAt(position, userOnGround).
std::string standNameAtPosition(const GeoPoint& position, bool userOnGround);

}  // namespace crv
