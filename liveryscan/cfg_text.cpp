#include "liveryscan/cfg_text.h"

namespace crv {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// UTF-16 to UTF-8; a surrogate without its partner becomes U+FFFD, a last
// odd byte is dropped.
std::string utf16ToUtf8Lenient(std::string_view bytes, bool littleEndian) {
  std::string text;
  text.reserve(bytes.size() / 2);
  const auto unitAt = [&](std::size_t index) -> char32_t {
    const auto a = static_cast<unsigned char>(bytes[index]);
    const auto b = static_cast<unsigned char>(bytes[index + 1]);
    return littleEndian ? static_cast<char32_t>((b << 8U) | a) : static_cast<char32_t>((a << 8U) | b);
  };
  for (std::size_t index = 0; index + 1 < bytes.size(); index += 2) {
    const char32_t unit = unitAt(index);
    if (unit >= 0xD800U && unit <= 0xDBFFU && index + 3 < bytes.size()) {
      const char32_t low = unitAt(index + 2);
      if (low >= 0xDC00U && low <= 0xDFFFU) {
        appendUtf8(text, 0x10000U + ((unit - 0xD800U) << 10U) + (low - 0xDC00U));
        index += 2;
        continue;
      }
    }
    appendUtf8(text, unit >= 0xD800U && unit <= 0xDFFFU ? kReplacementCharacter : unit);
  }
  return text;
}

bool startsWith(std::string_view bytes, std::string_view mark) { return bytes.substr(0, mark.size()) == mark; }

}  // namespace

bool decodeCfgText(std::string_view bytes, std::vector<std::string>& lines, std::string& problem,
                   CfgEncoding* encoding) {
  CfgEncoding found = CfgEncoding::Utf8;
  std::string converted;
  std::string_view text = bytes;
  if (startsWith(bytes, "\xEF\xBB\xBF")) {
    found = CfgEncoding::Utf8WithBom;
    text = bytes.substr(3);
  } else if (startsWith(bytes, "\xFF\xFE") || startsWith(bytes, "\xFE\xFF")) {
    const bool littleEndian = bytes[0] == '\xFF';
    found = littleEndian ? CfgEncoding::Utf16LittleEndian : CfgEncoding::Utf16BigEndian;
    converted = utf16ToUtf8Lenient(bytes.substr(2), littleEndian);
    text = converted;
  }
  if (text.find('\0') != std::string_view::npos) {
    problem = "it holds NUL bytes, it is no text file";
    return false;
  }
  if (found != CfgEncoding::Utf16LittleEndian && found != CfgEncoding::Utf16BigEndian && !isValidUtf8(text)) {
    found = CfgEncoding::Windows1252;
    converted = windows1252ToUtf8(text);
    text = converted;
  }
  splitTextLines(text, lines);
  if (encoding != nullptr) *encoding = found;
  return true;
}

}  // namespace crv
