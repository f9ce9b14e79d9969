#include "platform/os/ansi_code_page.h"

#include <windows.h>

#include <climits>

namespace platform {

std::optional<std::string> ansiTextOfPath(const std::filesystem::path& path) {
  const std::wstring wide = path.wstring();
  if (wide.empty()) {
    return std::string();
  }
  if (wide.size() > static_cast<std::size_t>(INT_MAX)) {
    return std::nullopt;
  }
  const int wideSize = static_cast<int>(wide.size());
  // A UTF-8 code page takes neither the flag nor the default-character test,
  // and holds every character anyway.
  const bool utf8CodePage = GetACP() == CP_UTF8;
  const DWORD flags = utf8CodePage ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultTest = utf8CodePage ? nullptr : &usedDefault;
  const int size = WideCharToMultiByte(CP_ACP, flags, wide.data(), wideSize, nullptr, 0, nullptr, usedDefaultTest);
  if (size <= 0 || usedDefault) {
    return std::nullopt;
  }
  std::string text(static_cast<std::size_t>(size), '\0');
  if (WideCharToMultiByte(CP_ACP, flags, wide.data(), wideSize, text.data(), size, nullptr, usedDefaultTest) !=
          size ||
      usedDefault) {
    return std::nullopt;
  }
  return text;
}

std::filesystem::path pathOfAnsiText(std::string_view text) {
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) {
    return {};
  }
  const int textSize = static_cast<int>(text.size());
  const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), textSize, nullptr, 0);
  if (size <= 0) {
    return {};
  }
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), textSize, wide.data(), size);
  return std::filesystem::path(wide);
}

}  // namespace platform
