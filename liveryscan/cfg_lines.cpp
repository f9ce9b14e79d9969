#include "liveryscan/cfg_lines.h"

#include "foundation/text.h"

namespace crv {
namespace {

constexpr std::string_view kNoAirlineCode = "ZZZ";
constexpr std::string_view kFltsimLower = "[fltsim.";
constexpr std::string_view kFltsimUpper = "[FLTSIM.";
constexpr std::string_view kMalformedHeaderNumber = "10000";

std::size_t skipBlanks(std::string_view text, std::size_t index) {
  while (index < text.size() && isCfgBlank(text[index])) ++index;
  return index;
}

std::string_view trimBlanks(std::string_view text) {
  const std::size_t first = skipBlanks(text, 0);
  std::size_t last = text.size();
  while (last > first && isCfgBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool isCfgBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool isOverlong(std::string_view line) { return line.size() > kMaxKeyLineLength; }

std::string_view withoutComment(std::string_view line) {
  bool quoted = false;
  for (std::size_t index = 0; index < line.size(); ++index) {
    const char c = line[index];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && (c == ';' || (c == '/' && index + 1 < line.size() && line[index + 1] == '/'))) {
      return line.substr(0, index);
    }
  }
  return line;
}

std::optional<std::string_view> valueAsWritten(std::string_view line, std::string_view key) {
  if (isOverlong(line)) return std::nullopt;
  std::size_t index = skipBlanks(line, 0);
  if (!equalsIgnoringAsciiCase(line.substr(index, key.size()), key)) return std::nullopt;
  index = skipBlanks(line, index + key.size());
  if (index >= line.size() || line[index] != '=') return std::nullopt;
  const std::string_view value = trimBlanks(line.substr(index + 1));
  if (value.empty()) return std::nullopt;
  return value;
}

std::optional<std::string_view> keyLineValue(std::string_view line, std::string_view key) {
  const auto written = valueAsWritten(line, key);
  if (!written) return std::nullopt;
  // Nothing in front of the value can open a quote or a comment.
  const std::string_view value = trimBlanks(withoutComment(*written));
  if (value.empty()) return std::nullopt;
  return value;
}

std::string regexValue(std::string_view line, std::string_view key) {
  const auto value = keyLineValue(line, key);
  return value ? quotedText(*value) : std::string();
}

std::string fltsimSectionNumber(std::string_view line) {
  if (line.starts_with("//") || line.find('[') == std::string_view::npos || isOverlong(line)) return {};
  const std::string_view text = trimBlanks(line);
  if (text.size() > kFltsimLower.size() + 1 && equalsIgnoringAsciiCase(text.substr(0, kFltsimLower.size()), kFltsimLower) &&
      text.back() == ']') {
    const std::string_view number = text.substr(kFltsimLower.size(), text.size() - kFltsimLower.size() - 1);
    const std::size_t firstDigit = !number.empty() && number[0] == '-' ? 1 : 0;
    bool digits = number.size() > firstDigit;
    for (std::size_t i = firstDigit; digits && i < number.size(); ++i) digits = isDigit(number[i]);
    if (digits) return std::string(number);
  }
  if (line.find(kFltsimLower) != std::string_view::npos || line.find(kFltsimUpper) != std::string_view::npos) {
    return std::string(kMalformedHeaderNumber);
  }
  return {};
}

namespace {

bool readNonEmpty(std::string_view line, std::string_view key, std::string& value) {
  std::string text = regexValue(line, key);
  if (text.empty()) return false;
  value = std::move(text);
  return true;
}

}  // namespace

bool readTitleLine(std::string_view line, std::string& title) { return readNonEmpty(line, "title", title); }

bool readTextureLine(std::string_view line, std::string& texture) { return readNonEmpty(line, "texture", texture); }

bool readParkingTypesLine(std::string_view line, std::string& parkingTypes) {
  return readNonEmpty(line, "atc_parking_types", parkingTypes);
}

bool readAtcIdLine(std::string_view line, std::string& atcId) {
  constexpr std::size_t kMinAtcIdLength = 5;
  // The length counts what is written behind the '=', a comment included.
  const auto written = valueAsWritten(line, "atc_id");
  if (!written || quotedText(*written).size() < kMinAtcIdLength) return false;
  atcId = regexValue(line, "atc_id");
  return true;
}

bool readIcaoAirlineLine(std::string_view line, std::string& airline) {
  const auto value = keyLineValue(line, "icao_airline");
  if (!value) return false;
  const std::string text = quotedText(*value);
  airline = text.empty() || text == "ZZZZ" ? std::string(kNoAirlineCode) : toUpper(text);
  return true;
}

bool hasAtcIdKey(std::string_view line) {
  return !isOverlong(line) && line.find("atc_id=") != std::string_view::npos;
}

bool hasParkingTypesKey(std::string_view line) {
  return !isOverlong(line) && line.find("atc_parking_types") != std::string_view::npos;
}

}  // namespace crv
