#include "platform/os/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

std::FILE* openFile(const std::filesystem::path& path, const char* mode) { return std::fopen(path.c_str(), mode); }

bool copyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& error) {
  return std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, error);
}

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& error) {
  // A rename asks nothing of the file it replaces: a file this user may not
  // open for writing (its permission bits, a read-only mount) is refused here
  // as such an open is refused. Root, whom the bits do not bind, replaces it.
  if (::faccessat(AT_FDCWD, to.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT) {
    error.assign(errno, std::generic_category());
    return false;
  }
  std::filesystem::rename(from, to, error);
  return !error;
}

bool opensForWriting(const std::filesystem::path& path, std::error_code& error) {
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (descriptor < 0) {
    error.assign(errno, std::system_category());
    return false;
  }
  ::close(descriptor);
  error.clear();
  return true;
}

int openFileForReading(const std::filesystem::path& path) { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }

std::ptrdiff_t readFromFile(int descriptor, void* data, std::size_t size) { return ::read(descriptor, data, size); }

int openFileForWriting(const std::filesystem::path& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

int openFolderForFlush(const std::filesystem::path& folder) {
  return ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

std::ptrdiff_t writeToFile(int descriptor, const void* data, std::size_t size) {
  return ::write(descriptor, data, size);
}

int setFileMode(int descriptor, std::uint32_t mode) { return ::fchmod(descriptor, static_cast<mode_t>(mode)); }

int flushToDisk(int descriptor) { return ::fsync(descriptor); }

int closeFile(int descriptor) { return ::close(descriptor); }

bool readableByOthers(const std::filesystem::path& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && (status.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

}  // namespace platform
