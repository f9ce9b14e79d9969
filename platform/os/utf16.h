#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Strict conversions between UTF-8 and UTF-16. Invalid input (a malformed or
// overlong UTF-8 sequence, an encoded surrogate, an unpaired surrogate in
// UTF-16) is refused as a whole: the result is the error code 1113
// (kErrorNoUnicodeTranslation) and the output is left empty. 0 means success.
std::uint32_t convertUtf8ToUtf16(std::string_view utf8, std::u16string& utf16);
std::uint32_t convertUtf16ToUtf8(std::u16string_view utf16, std::string& utf8);

// Appends the code point as UTF-8 (1 to 4 bytes); no check of the value.
void appendUtf8(char32_t codePoint, std::string& out);

}  // namespace platform
