#include "foundation/errors.h"

#include <fmt/format.h>

namespace crv {
namespace {

std::string userErrorMessage(int code, const std::string& text) {
  return code == kTextOnlyError ? text : fmt::format("{}: {}", code, text);
}

}  // namespace

UserErrorException::UserErrorException(int code, const std::string& text)
    : std::runtime_error(userErrorMessage(code, text)) {}

}  // namespace crv

namespace win32 {

Utf8ConversionException::Utf8ConversionException(const std::string& message, std::uint32_t errorCode,
                                                 ConversionDirection direction)
    : std::runtime_error(message), errorCode_(errorCode), direction_(direction) {}

}  // namespace win32
