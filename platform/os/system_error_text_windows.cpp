#include "platform/os/system_error_text.h"

#include <windows.h>

namespace platform {

std::uint32_t lastErrorCode() { return ::GetLastError(); }

std::string systemErrorText(std::uint32_t code) {
  char* text = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result;
  if (length != 0 && text != nullptr) result.assign(text, length);
  ::LocalFree(text);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' ')) {
    result.pop_back();
  }
  if (result.empty() && code == kErrorNoUnicodeTranslation) {
    return "No mapping for the Unicode character exists in the target multi-byte code page.";
  }
  return result;
}

}  // namespace platform
