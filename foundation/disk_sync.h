#pragma once

// The flush of an open file or folder to the disk (fsync) that durable
// writes make, behind a seam: a power cut is the only thing that tells
// whether it happened, so tests put in a call of their own that counts the
// flushes or makes them fail.

#include <functional>

namespace crv {

enum class SyncedEntry { File, Folder };

// 0 on success, -1 with errno set on failure, as fsync.
using DiskSyncCall = std::function<int(int descriptor, SyncedEntry entry)>;

// Flushes the open file or folder to the disk through the call in place.
int syncToDisk(int descriptor, SyncedEntry entry);

// Puts a call in place of fsync for its lifetime, then the one before it.
class DiskSyncOverride {
 public:
  explicit DiskSyncOverride(DiskSyncCall call);
  ~DiskSyncOverride();
  DiskSyncOverride(const DiskSyncOverride&) = delete;
  DiskSyncOverride& operator=(const DiskSyncOverride&) = delete;

 private:
  DiskSyncCall previous_;
};

}  // namespace crv
