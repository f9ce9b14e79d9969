#include "platform/os/file_access.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

std::FILE* openFile(const std::filesystem::path& path, const char* mode) { return std::fopen(path.c_str(), mode); }

bool copyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& error) {
  return std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, error);
}

bool writeFileBytes(const std::filesystem::path& path, std::string_view bytes, bool flushToDisk) {
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (descriptor < 0) {
    return false;
  }
  bool written = true;
  std::size_t done = 0;
  while (written && done < bytes.size()) {
    const ssize_t count = ::write(descriptor, bytes.data() + done, bytes.size() - done);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    written = count > 0;
    done += written ? static_cast<std::size_t>(count) : 0;
  }
  written = written && (!flushToDisk || ::fsync(descriptor) == 0);
  return ::close(descriptor) == 0 && written;
}

void flushFolder(const std::filesystem::path& folder) {
  const int descriptor = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor >= 0) {
    ::fsync(descriptor);
    ::close(descriptor);
  }
}

bool readableByOthers(const std::filesystem::path& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && (status.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

}  // namespace platform
