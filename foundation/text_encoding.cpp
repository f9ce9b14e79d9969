#include "foundation/text_encoding.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace crv {
namespace {

// Windows-1252 bytes 0x80 to 0x9F; the five bytes the code page leaves free
// keep their C1 control code, as Windows converts them.
constexpr char32_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

bool isValidUtf8(std::string_view bytes) {
  std::size_t index = 0;
  const std::size_t count = bytes.size();
  while (index < count) {
    // Most of an aircraft.cfg is ASCII: pass it eight bytes at a time.
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    std::uint64_t block = 0;
    while (count - index >= sizeof block) {
      std::memcpy(&block, bytes.data() + index, sizeof block);
      if ((block & kHighBits) != 0) break;
      index += sizeof block;
    }
    if (index >= count) break;
    const auto lead = static_cast<unsigned char>(bytes[index]);
    if (lead < 0x80U) {
      ++index;
      continue;
    }
    std::size_t length = 0;
    char32_t codePoint = 0;
    if (lead >= 0xC2U && lead <= 0xDFU) {
      length = 2;
      codePoint = lead & 0x1FU;
    } else if (lead >= 0xE0U && lead <= 0xEFU) {
      length = 3;
      codePoint = lead & 0x0FU;
    } else if (lead >= 0xF0U && lead <= 0xF4U) {
      length = 4;
      codePoint = lead & 0x07U;
    } else {
      return false;
    }
    if (count - index < length) return false;
    for (std::size_t i = 1; i < length; ++i) {
      const auto next = static_cast<unsigned char>(bytes[index + i]);
      if ((next & 0xC0U) != 0x80U) return false;
      codePoint = (codePoint << 6U) | (next & 0x3FU);
    }
    const bool overlong = (length == 3 && codePoint < 0x800U) || (length == 4 && codePoint < 0x10000U);
    if (overlong || (codePoint >= 0xD800U && codePoint <= 0xDFFFU) || codePoint > 0x10FFFFU) return false;
    index += length;
  }
  return true;
}

std::string windows1252ToUtf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 8);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80U) {
      text.push_back(c);
    } else if (byte < 0xA0U) {
      appendUtf8(text, kWindows1252High[byte - 0x80U]);
    } else {
      appendUtf8(text, byte);
    }
  }
  return text;
}

// Cuts the text into lines at CR LF, LF and lone CR.
void splitTextLines(std::string_view text, std::vector<std::string>& lines) {
  const auto lineEnds = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  lines.reserve(lines.size() + (lineEnds > 0 ? lineEnds + 1 : text.size() / 32 + 1));
  std::size_t start = 0;
  for (std::size_t index = 0; index < text.size(); ++index) {
    const char c = text[index];
    if (c != '\n' && c != '\r') continue;
    lines.emplace_back(text.substr(start, index - start));
    if (c == '\r' && index + 1 < text.size() && text[index + 1] == '\n') ++index;
    start = index + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
}

}  // namespace crv
