#pragma once

// Text as it lies in files written by hand: UTF-8 checks, the Windows code
// page of ANSI files, and the line ends of any system.

#include <string>
#include <string_view>
#include <vector>

#include "platform/os/utf16.h"

namespace crv {

// Appends the code point as UTF-8.
inline void appendUtf8(std::string& text, char32_t codePoint) { platform::appendUtf8(codePoint, text); }

// True when the bytes are well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF).
bool isValidUtf8(std::string_view bytes);

// The bytes of the Windows code page 1252 (the ANSI code page of western
// systems) as UTF-8.
std::string windows1252ToUtf8(std::string_view bytes);

// Appends the lines of the text, cut at CR LF, LF and a lone CR (old Mac
// files); the line ends are dropped.
void splitTextLines(std::string_view text, std::vector<std::string>& lines);

}  // namespace crv
