#include "foundation/text.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include <fmt/format.h>
#include <gsl/narrow>

#include "foundation/random.h"

namespace crv {
namespace {

constexpr std::string_view kBlanks = " \t\n\r";

}  // namespace

std::string trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) {
    return {};
  }
  const std::size_t last = text.find_last_not_of(kBlanks);
  return std::string(text.substr(first, last - first + 1));
}

std::vector<std::string> splitTrim(std::string_view text, char delimiter) {
  std::vector<std::string> pieces;
  if (text.empty()) {
    return pieces;
  }
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(delimiter, start);
    pieces.push_back(trim(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start)));
    if (end == std::string_view::npos) {
      break;
    }
    start = end + 1;
  }
  return pieces;
}

std::vector<std::string> splitComma(std::string_view text) { return splitTrim(text, ','); }

std::vector<std::string> splitCommaSortedUnique(std::string_view text) {
  std::vector<std::string> pieces = splitComma(text);
  std::sort(pieces.begin(), pieces.end());
  pieces.erase(std::unique(pieces.begin(), pieces.end()), pieces.end());
  return pieces;
}

std::string joinStrings(const std::vector<std::string>& texts) {
  std::string joined;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) {
      joined += ',';
    }
    joined += texts[i];
  }
  return joined;
}

void normaliseCommaList(std::string& text) {
  if (text.find_first_of(kBlanks) != std::string::npos) {
    text = joinStrings(splitComma(text));
  }
}

std::string quotedText(std::string_view text) {
  const std::size_t first = text.find('"');
  if (first == std::string_view::npos) {
    return std::string(text);
  }
  const std::size_t second = text.find('"', first + 1);
  if (second == std::string_view::npos || second == first + 1) {
    return {};
  }
  return std::string(text.substr(first + 1, second - first - 1));
}

bool isStarForm(std::string_view a, std::string_view b) {
  return b.size() == a.size() + 1 && b.back() == '*' && b.substr(0, a.size()) == a;
}

char toUpperChar(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

char toLowerChar(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

std::string toUpper(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), toUpperChar);
  return result;
}

std::string toLower(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(), toLowerChar);
  return result;
}

bool equalsUpper(std::string_view a, std::string_view b) { return a == toUpper(b); }

std::string formatNumber(float value) {
  if (std::floor(value) == value) {
    return fmt::format("{:.0f}", value);
  }
  return fmt::format("{:.1f}", value);
}

std::string bannerLine(int width, int extra, bool newlineBefore, bool newlineAfter, std::string_view text) {
  std::string line = newlineBefore ? "\n" : "";
  int total = width + extra;
  if (total % 2 != 0) {
    ++total;
  }
  if (text.empty()) {
    line.append(static_cast<std::size_t>(std::max(total, 0)), '*');
  } else if (static_cast<int>(text.size()) < total - 2) {
    const auto stars = static_cast<std::size_t>(total / 2 - 1);
    line.append(stars, '*');
    line += ' ';
    line += text;
    line += ' ';
    line.append(stars, '*');
  } else {
    line += text;
  }
  if (newlineAfter) {
    line += '\n';
  }
  return line;
}

int percentOf(std::int64_t part, std::int64_t total) {
  if (total < 1) {
    return 0;
  }
  const double percent = std::round(static_cast<double>(part) * 100.0 / static_cast<double>(total));
  return gsl::narrow<int>(percent);
}

const std::string& pluralSuffix(std::int64_t count) {
  static const std::string kNone;
  static const std::string kPlural = "s";
  return (count == 1 || count < 0) ? kNone : kPlural;
}

const std::string& pluralSuffixInt(std::int32_t count) { return pluralSuffix(count); }

const std::string& pluralSuffixSize(std::size_t count) { return pluralSuffix(count == 1 ? 1 : 2); }

void shuffleStrings(std::vector<std::string>& texts) {
  if (texts.size() > 1) {
    std::shuffle(texts.begin(), texts.end(), threadRandomEngine());
  }
}

double randomVariation(double value, double pct) {
  const std::uint32_t raw = threadRandomEngine()();
  const double sign = (raw & 1U) != 0 ? -1.0 : 1.0;
  if (pct > 0.0) {
    return value + sign * (value * pct / 100.0);
  }
  return value;
}

}  // namespace crv
