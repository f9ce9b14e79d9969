#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// The named single-instance mutex of the program. On Windows the named mutex
// itself; elsewhere an exclusive lock on a file named after the mutex in the
// runtime folder ($XDG_RUNTIME_DIR, else the system's temporary folder). The
// name is held until the object goes or the process ends; a lock file stays,
// so a crashed holder never blocks the next start.
class SingleInstanceLock {
 public:
  explicit SingleInstanceLock(std::string_view mutexName);
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  // False when another process (or another lock of this one) holds the name:
  // the caller is a second instance.
  bool acquired() const { return held_; }
  // kErrorAlreadyExists when the name was taken, 0 when acquired, else the
  // system's error code of the failed lock file.
  std::uint32_t lastError() const { return error_; }
  // The lock file, empty where the system's named mutex is used.
  const std::string& lockFilePath() const { return path_; }

 private:
  bool held_ = false;
  std::intptr_t handle_ = -1;  // the lock file's descriptor or the mutex's handle
  std::uint32_t error_ = 0;
  std::string path_;
};

// The file name for a mutex name: characters other than letters, digits,
// '-' and '_' become '_' ("Local\$Corvane$" -> "Local__Corvane_.lock").
std::string lockFileNameFor(std::string_view mutexName);

}  // namespace platform
