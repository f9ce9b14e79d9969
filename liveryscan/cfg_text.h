#pragma once

// The bytes of an aircraft.cfg as UTF-8 lines, whatever their encoding (the
// scan reads the files themselves through readTextFileByCharset, which
// follows the same rules for UTF-8, ANSI and line ends). These files were
// written by hand by many people over many years:
//   - UTF-8 with or without a byte-order mark;
//   - UTF-16, little- or big-endian, with a byte-order mark;
//   - Windows-1252 (no mark, not valid UTF-8), converted to UTF-8;
//   - lines ended by CR LF, LF or a lone CR (old Mac files).
// A file that holds NUL bytes without a UTF-16 mark is no text file.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/text_encoding.h"

namespace crv {

enum class CfgEncoding { Utf8, Utf8WithBom, Utf16LittleEndian, Utf16BigEndian, Windows1252 };

// Files larger than this are not aircraft.cfg files anyone wrote.
inline constexpr std::size_t kMaxCfgFileBytes = 64U * 1024U * 1024U;

// Splits the bytes into lines converted to UTF-8. False (with the reason)
// when the bytes are no text.
bool decodeCfgText(std::string_view bytes, std::vector<std::string>& lines, std::string& problem,
                   CfgEncoding* encoding = nullptr);

}  // namespace crv
