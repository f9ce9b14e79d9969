#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace crv {

// The codes of the errors the user has to solve.
inline constexpr int kFolderNotEmptiedError = 5;        // a folder could not be emptied
inline constexpr int kDatabaseParseError = 60;          // dbase.xml does not parse
inline constexpr int kDatabaseSectionEmptyError = 61;   // a section of dbase.xml is empty
inline constexpr int kWrongSimulatorError = 71;         // the other MSFS than the chosen one answered
inline constexpr int kNoUserAircraftError = 73;         // no aircraft selected as user vehicle
inline constexpr int kUnknownSimulatorError = 77;       // a simulator that is no MSFS 2020 or 2024 answered
inline constexpr int kLiveriesNotCreatedError = 81;     // too many liveries the simulator could not create
inline constexpr int kAirportsDatabaseError = 88;       // the airports database does not read
inline constexpr int kSimConnectVersionError = 95;      // SimConnect version mismatch
inline constexpr int kTextOnlyError = 99;               // the message is the text alone

// An error that the user has to solve. Its message is "<code>: <text>", or the
// text alone for kTextOnlyError.
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
