#include "foundation/utf8.h"

#include <limits>
#include <stdexcept>

#include "foundation/errors.h"
#include "platform/os/system_error_text.h"
#include "platform/os/utf16.h"

namespace crv {
namespace {

constexpr std::size_t kMaxConvertibleLength = std::numeric_limits<int>::max();

}  // namespace

void throwInputTooLong() {
  throw std::overflow_error("Input string too long: size_t-length doesn't fit into int.");
}

namespace {

// Runs one strict platform conversion and turns its error code into the
// exception the callers expect.
template <typename Output, typename Input, typename Converter>
Output convertOrThrow(Input input, Converter convert, const char* invalidMessage, const char* failedMessage,
                      win32::ConversionDirection direction) {
  if (input.empty()) {
    return {};
  }
  if (input.size() > kMaxConvertibleLength) {
    throwInputTooLong();
  }
  Output result;
  const std::uint32_t error = convert(input, result);
  if (error != 0) {
    throw win32::Utf8ConversionException(
        error == platform::kErrorNoUnicodeTranslation ? invalidMessage : failedMessage, error, direction);
  }
  return result;
}

}  // namespace

std::u16string utf8ToUtf16(std::string_view utf8) {
  return convertOrThrow<std::u16string>(utf8, platform::convertUtf8ToUtf16,
                                        "Invalid UTF-8 sequence found in input string.",
                                        "Cannot convert from UTF-8 to UTF-16 (MultiByteToWideChar failed).",
                                        win32::ConversionDirection::Utf8ToUtf16);
}

std::string utf16ToUtf8(std::u16string_view utf16) {
  return convertOrThrow<std::string>(utf16, platform::convertUtf16ToUtf8,
                                     "Invalid UTF-16 sequence found in input string.",
                                     "Cannot convert from UTF-16 to UTF-8 (WideCharToMultiByte failed).",
                                     win32::ConversionDirection::Utf16ToUtf8);
}

void wideLinesToUtf8(std::u16string_view content, std::vector<std::string>& lines) {
  while (!content.empty()) {
    const std::size_t end = content.find(u'\n');
    const std::u16string_view line = content.substr(0, end);
    lines.push_back(utf16ToUtf8(line));
    if (end == std::u16string_view::npos) {
      break;
    }
    content.remove_prefix(end + 1);
  }
}

}  // namespace crv
