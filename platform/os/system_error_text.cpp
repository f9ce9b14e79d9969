#include "platform/os/system_error_text.h"

#include <cerrno>
#include <cstring>

namespace platform {

std::uint32_t lastErrorCode() { return static_cast<std::uint32_t>(errno); }

std::string systemErrorText(std::uint32_t code) {
  if (code == kErrorNoUnicodeTranslation) {
    return "No mapping for the Unicode character exists in the target multi-byte code page.";
  }
  char buffer[256] = {};
  // The GNU strerror_r returns a pointer that may or may not be the buffer.
  const char* text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
  return text != nullptr ? std::string(text) : std::string();
}

}  // namespace platform
