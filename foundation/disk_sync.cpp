#include "foundation/disk_sync.h"

#include <utility>

#include "foundation/thread_annotations.h"
#include "platform/os/file_access.h"

namespace crv {
namespace {

// Guards the call in place: writers on any thread read it while a test
// replaces it.
Mutex syncCallMutex;
DiskSyncCall syncCall GUARDED_BY(syncCallMutex);  // empty: fsync itself

DiskSyncCall exchangeSyncCall(DiskSyncCall call) {
  MutexLock lock(syncCallMutex);
  return std::exchange(syncCall, std::move(call));
}

}  // namespace

int syncToDisk(int descriptor, SyncedEntry entry) {
  DiskSyncCall call;
  {
    MutexLock lock(syncCallMutex);
    call = syncCall;
  }
  return call ? call(descriptor, entry) : platform::flushToDisk(descriptor);
}

DiskSyncOverride::DiskSyncOverride(DiskSyncCall call) : previous_(exchangeSyncCall(std::move(call))) {}

DiskSyncOverride::~DiskSyncOverride() { exchangeSyncCall(std::move(previous_)); }

}  // namespace crv
