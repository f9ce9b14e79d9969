#include "platform/os/ansi_code_page.h"

#include <array>

#include "platform/os/utf16.h"

namespace platform {

namespace {

// The characters of Windows-1252's bytes 0x80 to 0x9F; 0 marks the five
// bytes that the code page leaves undefined. The other bytes are the code
// points of the same number.
constexpr std::array<char16_t, 32> kHighControlRange = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

constexpr char16_t kReplacementCharacter = 0xFFFD;

std::optional<char> byteOf(char16_t character) {
  if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) {
    return static_cast<char>(character);
  }
  for (std::size_t i = 0; i < kHighControlRange.size(); ++i) {
    if (kHighControlRange[i] != 0 && kHighControlRange[i] == character) {
      return static_cast<char>(0x80 + i);
    }
  }
  return std::nullopt;
}

char16_t characterOf(unsigned char byte) {
  if (byte < 0x80 || byte >= 0xA0) {
    return byte;
  }
  const char16_t character = kHighControlRange[byte - 0x80];
  return character == 0 ? kReplacementCharacter : character;
}

}  // namespace

std::optional<std::string> ansiTextOfPath(const std::filesystem::path& path) {
  std::u16string wide;
  if (convertUtf8ToUtf16(path.string(), wide) != 0) {
    return std::nullopt;
  }
  std::string text;
  text.reserve(wide.size());
  for (const char16_t character : wide) {
    const std::optional<char> byte = byteOf(character);
    if (!byte) {
      return std::nullopt;
    }
    text += *byte;
  }
  return text;
}

std::filesystem::path pathOfAnsiText(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (const char byte : text) {
    wide += characterOf(static_cast<unsigned char>(byte));
  }
  std::string utf8;
  convertUtf16ToUtf8(wide, utf8);
  return std::filesystem::path(utf8);
}

}  // namespace platform
