#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace crv {

// An error that the user has to solve. Its message is "<code>: <text>", or the
// text alone for code 99.
class UserErrorException : public std::runtime_error {
 public:
  UserErrorException(int code, const std::string& text);
};

}  // namespace crv

namespace win32 {

enum class ConversionDirection : std::uint32_t { Utf8ToUtf16 = 0, Utf16ToUtf8 = 1 };

// A failed UTF-8 / UTF-16 conversion with the Windows error code.
class Utf8ConversionException : public std::runtime_error {
 public:
  Utf8ConversionException(const std::string& message, std::uint32_t errorCode,
                          ConversionDirection direction);

  std::uint32_t errorCode() const { return errorCode_; }
  ConversionDirection direction() const { return direction_; }

 private:
  std::uint32_t errorCode_;
  ConversionDirection direction_;
};

}  // namespace win32
