#include "platform/os/single_instance.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/os/system_error_text.h"

namespace platform {
namespace {

std::filesystem::path runtimeFolder() {
  // getenv is safe here: the program never changes its environment after start.
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && runtime[0] == '/') {  // NOLINT
    return runtime;
  }
  return std::filesystem::temp_directory_path();
}

}  // namespace

std::string lockFileNameFor(std::string_view mutexName) {
  std::string name;
  for (const char c : mutexName) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    name += plain ? c : '_';
  }
  return name + ".lock";
}

SingleInstanceLock::SingleInstanceLock(std::string_view mutexName)
    : path_((runtimeFolder() / lockFileNameFor(mutexName)).string()) {
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    error_ = static_cast<std::uint32_t>(errno);
    return;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    error_ = errno == EWOULDBLOCK ? kErrorAlreadyExists : static_cast<std::uint32_t>(errno);
    ::close(fd);
    return;
  }
  handle_ = fd;
  held_ = true;
}

SingleInstanceLock::~SingleInstanceLock() {
  if (held_) {
    ::close(static_cast<int>(handle_));
  }
}

}  // namespace platform
