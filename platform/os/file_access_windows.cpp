#include "platform/os/file_access.h"

#include <windows.h>

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

bool writeFileBytes(const std::filesystem::path& path, std::string_view bytes, bool flushToDisk) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  bool written = true;
  std::size_t done = 0;
  while (written && done < bytes.size()) {
    constexpr std::size_t kLargestWrite = 1U << 30U;
    const DWORD wanted = static_cast<DWORD>(std::min(bytes.size() - done, kLargestWrite));
    DWORD count = 0;
    written = ::WriteFile(file, bytes.data() + done, wanted, &count, nullptr) != 0 && count > 0;
    done += count;
  }
  written = written && (!flushToDisk || ::FlushFileBuffers(file) != 0);
  return ::CloseHandle(file) != 0 && written;
}

// A rename on Windows is made durable by the file system's own journal.
void flushFolder(const std::filesystem::path& /*folder*/) {}

bool readableByOthers(const std::filesystem::path& /*path*/) { return false; }

}  // namespace platform
