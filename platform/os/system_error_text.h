#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Error codes that the program tests for by number, with the values that the
// Windows functions report for them.
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;
inline constexpr std::uint32_t kErrorAlreadyExists = 183;
inline constexpr std::uint32_t kErrorNoUnicodeTranslation = 1113;

// The last error of the calling thread, as the platform functions of this
// layer leave it (errno for the file functions).
std::uint32_t lastErrorCode();

// The system's text for an error code, without a trailing line end.
std::string systemErrorText(std::uint32_t code);

}  // namespace platform
