#include "platform/os/utf16.h"

#include "platform/os/system_error_text.h"

namespace platform {
namespace {

bool isContinuation(unsigned char byte) { return (byte & 0xC0U) == 0x80U; }

// Decodes one code point at utf8[index]; returns false for any invalid form.
bool decodeUtf8(std::string_view utf8, std::size_t& index, char32_t& codePoint) {
  const auto lead = static_cast<unsigned char>(utf8[index]);
  std::size_t length = 0;
  char32_t minimum = 0;
  if (lead < 0x80U) {
    codePoint = lead;
    ++index;
    return true;
  }
  if ((lead & 0xE0U) == 0xC0U) {
    length = 2;
    codePoint = lead & 0x1FU;
    minimum = 0x80;
  } else if ((lead & 0xF0U) == 0xE0U) {
    length = 3;
    codePoint = lead & 0x0FU;
    minimum = 0x800;
  } else if ((lead & 0xF8U) == 0xF0U) {
    length = 4;
    codePoint = lead & 0x07U;
    minimum = 0x10000;
  } else {
    return false;
  }
  if (utf8.size() - index < length) {
    return false;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(utf8[index + i]);
    if (!isContinuation(next)) {
      return false;
    }
    codePoint = (codePoint << 6U) | (next & 0x3FU);
  }
  if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    return false;
  }
  index += length;
  return true;
}

}  // namespace

void appendUtf8(char32_t codePoint, std::string& out) {
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<char>(0xC0U | (codePoint >> 6U)));
    out.push_back(static_cast<char>(0x80U | (codePoint & 0x3FU)));
  } else if (codePoint < 0x10000) {
    out.push_back(static_cast<char>(0xE0U | (codePoint >> 12U)));
    out.push_back(static_cast<char>(0x80U | ((codePoint >> 6U) & 0x3FU)));
    out.push_back(static_cast<char>(0x80U | (codePoint & 0x3FU)));
  } else {
    out.push_back(static_cast<char>(0xF0U | (codePoint >> 18U)));
    out.push_back(static_cast<char>(0x80U | ((codePoint >> 12U) & 0x3FU)));
    out.push_back(static_cast<char>(0x80U | ((codePoint >> 6U) & 0x3FU)));
    out.push_back(static_cast<char>(0x80U | (codePoint & 0x3FU)));
  }
}

std::uint32_t convertUtf8ToUtf16(std::string_view utf8, std::u16string& utf16) {
  utf16.clear();
  std::u16string result;
  result.reserve(utf8.size());
  std::size_t index = 0;
  while (index < utf8.size()) {
    char32_t codePoint = 0;
    if (!decodeUtf8(utf8, index, codePoint)) {
      return kErrorNoUnicodeTranslation;
    }
    if (codePoint < 0x10000) {
      result.push_back(static_cast<char16_t>(codePoint));
    } else {
      const char32_t offset = codePoint - 0x10000;
      result.push_back(static_cast<char16_t>(0xD800U + (offset >> 10U)));
      result.push_back(static_cast<char16_t>(0xDC00U + (offset & 0x3FFU)));
    }
  }
  utf16 = std::move(result);
  return 0;
}

std::uint32_t convertUtf16ToUtf8(std::u16string_view utf16, std::string& utf8) {
  utf8.clear();
  std::string result;
  result.reserve(utf16.size());
  for (std::size_t index = 0; index < utf16.size(); ++index) {
    const char16_t unit = utf16[index];
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (index + 1 >= utf16.size() || utf16[index + 1] < 0xDC00 || utf16[index + 1] > 0xDFFF) {
        return kErrorNoUnicodeTranslation;
      }
      const char32_t high = unit - 0xD800U;
      const char32_t low = utf16[index + 1] - 0xDC00U;
      appendUtf8(0x10000 + ((high << 10U) | low), result);
      ++index;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return kErrorNoUnicodeTranslation;
    } else {
      appendUtf8(unit, result);
    }
  }
  utf8 = std::move(result);
  return 0;
}

}  // namespace platform
