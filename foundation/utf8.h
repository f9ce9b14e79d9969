#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace crv {

// UTF-8 to UTF-16 for a platform call. Throws win32::Utf8ConversionException
// (error 1113 for invalid input) or std::overflow_error for a text longer
// than 2^31 - 1 bytes.
std::u16string utf8ToUtf16(std::string_view utf8);

// UTF-16 to UTF-8, the same rules the other way round.
std::string utf16ToUtf8(std::u16string_view utf16);

// Splits UTF-16 content at each line feed and appends every line converted to
// UTF-8. A carriage return before the line feed stays at the end of its line.
void wideLinesToUtf8(std::u16string_view content, std::vector<std::string>& lines);

[[noreturn]] void throwInputTooLong();

}  // namespace crv
