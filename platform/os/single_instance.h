#pragma once

#include <string>
#include <string_view>

namespace platform {

// The named single-instance mutex of the program: an exclusive lock on a file
// named after the mutex in the runtime folder ($XDG_RUNTIME_DIR, else the
// system's temporary folder). The lock is held until the object goes or the
// process ends; the file itself stays, so a crashed holder never blocks the
// next start.
class SingleInstanceLock {
 public:
  explicit SingleInstanceLock(std::string_view mutexName);
  ~SingleInstanceLock();
  SingleInstanceLock(const SingleInstanceLock&) = delete;
  SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

  // False when another process (or another lock of this one) holds the name:
  // the caller is a second instance.
  bool acquired() const { return fd_ >= 0; }
  // kErrorAlreadyExists when the name was taken, 0 when acquired, else the
  // system's error code of the failed lock file.
  std::uint32_t lastError() const { return error_; }
  const std::string& lockFilePath() const { return path_; }

 private:
  int fd_ = -1;
  std::uint32_t error_ = 0;
  std::string path_;
};

// The file name for a mutex name: characters other than letters, digits,
// '-' and '_' become '_' ("Local\$Corvane$" -> "Local__Corvane_.lock").
std::string lockFileNameFor(std::string_view mutexName);

}  // namespace platform
