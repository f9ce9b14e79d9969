#include "liveryscan/cfg_text.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <system_error>

#include "platform/os/file_access.h"

namespace crv {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// Windows-1252 bytes 0x80 to 0x9F; the five bytes the code page leaves free
// keep their C1 control code, as Windows converts them.
constexpr char32_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Cuts the text into lines at CR LF, LF and lone CR.
void splitLines(std::string_view text, std::vector<std::string>& lines) {
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

void appendUtf8(std::string& text, char32_t codePoint) {
  if (codePoint < 0x80U) {
    text.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800U) {
    text.push_back(static_cast<char>(0xC0U | (codePoint >> 6U)));
    text.push_back(static_cast<char>(0x80U | (codePoint & 0x3FU)));
  } else if (codePoint < 0x10000U) {
    text.push_back(static_cast<char>(0xE0U | (codePoint >> 12U)));
    text.push_back(static_cast<char>(0x80U | ((codePoint >> 6U) & 0x3FU)));
    text.push_back(static_cast<char>(0x80U | (codePoint & 0x3FU)));
  } else {
    text.push_back(static_cast<char>(0xF0U | (codePoint >> 18U)));
    text.push_back(static_cast<char>(0x80U | ((codePoint >> 12U) & 0x3FU)));
    text.push_back(static_cast<char>(0x80U | ((codePoint >> 6U) & 0x3FU)));
    text.push_back(static_cast<char>(0x80U | (codePoint & 0x3FU)));
  }
}

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
  splitLines(text, lines);
  if (encoding != nullptr) *encoding = found;
  return true;
}

CfgReadResult readCfgFile(const std::filesystem::path& path, std::vector<std::string>& lines, std::string& problem) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(platform::openFile(path, "rb"), &std::fclose);
  if (!file) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) return CfgReadResult::Missing;
    problem = std::generic_category().message(error);
    return CfgReadResult::Failed;
  }
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const std::size_t count = std::fread(buffer, 1, sizeof buffer, file.get());
    bytes.append(buffer, count);
    if (bytes.size() > kMaxCfgFileBytes) {
      problem = "it is larger than 64 MB";
      return CfgReadResult::Failed;
    }
    if (count < sizeof buffer) break;
  }
  if (std::ferror(file.get()) != 0) {
    problem = std::generic_category().message(errno);
    return CfgReadResult::Failed;
  }
  return decodeCfgText(bytes, lines, problem) ? CfgReadResult::Read : CfgReadResult::Failed;
}

}  // namespace crv
