#include "platform/os/file_access.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace platform {

std::FILE* openFile(const std::filesystem::path& path, const char* mode) {
  const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
  return ::_wfopen(path.c_str(), wideMode.c_str());
}

bool copyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& error) {
  if (::CopyFileW(from.c_str(), to.c_str(), FALSE) == 0) {
    error.assign(static_cast<int>(::GetLastError()), std::system_category());
    return false;
  }
  error.clear();
  return true;
}

bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& error) {
  // A file marked read-only is refused with access denied, as an open for
  // writing refuses it.
  const DWORD attributes = ::GetFileAttributesW(to.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
      (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    error.assign(ERROR_ACCESS_DENIED, std::system_category());
    return false;
  }
  if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) == 0) {
    error.assign(static_cast<int>(::GetLastError()), std::system_category());
    return false;
  }
  error.clear();
  return true;
}

bool opensForWriting(const std::filesystem::path& path, std::error_code& error) {
  // As the C runtime's _wopen opens a file for writing: others may read and
  // write it meanwhile.
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error.assign(static_cast<int>(::GetLastError()), std::system_category());
    return false;
  }
  ::CloseHandle(file);
  error.clear();
  return true;
}

int openFileForReading(const std::filesystem::path& path) {
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return -1;  // GetLastError() tells why
  }
  const int descriptor = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
  if (descriptor < 0) {
    ::CloseHandle(file);
    ::SetLastError(ERROR_TOO_MANY_OPEN_FILES);
  }
  return descriptor;
}

std::ptrdiff_t readFromFile(int descriptor, void* data, std::size_t size) {
  constexpr std::size_t kLargestRead = 1U << 30U;
  return ::_read(descriptor, data, static_cast<unsigned int>(std::min(size, kLargestRead)));
}

int openFileForWriting(const std::filesystem::path& path) {
  return ::_wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}

int openFolderForFlush(const std::filesystem::path& /*folder*/) {
  errno = ENOTSUP;
  return -1;
}

std::ptrdiff_t writeToFile(int descriptor, const void* data, std::size_t size) {
  constexpr std::size_t kLargestWrite = 1U << 30U;
  return ::_write(descriptor, data, static_cast<unsigned int>(std::min(size, kLargestWrite)));
}

int setFileMode(int /*descriptor*/, std::uint32_t /*mode*/) { return 0; }

// _commit flushes the file's buffers to the disk (FlushFileBuffers).
int flushToDisk(int descriptor) { return ::_commit(descriptor); }

int closeFile(int descriptor) { return ::_close(descriptor); }

bool readableByOthers(const std::filesystem::path& /*path*/) { return false; }

}  // namespace platform
