#include "feed/json_reading.h"

#include <fmt/format.h>

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "foundation/json_numbers.h"

namespace crv {

namespace {

const std::string kEmptyText;
const nlohmann::json kNull;

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::size_t jsonNestingDepth(std::string_view text, std::size_t limit) {
  std::size_t depth = 0;
  std::size_t deepest = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') {
        ++i;  // the escaped character
      } else if (c == '"') {
        inString = false;
      }
      continue;
    }
    if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      deepest = std::max(deepest, ++depth);
      if (deepest > limit) {
        break;
      }
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return deepest;
}

nlohmann::json parseAnswer(std::string_view text) {
  if (jsonNestingDepth(text) > kMaximumAnswerDepth) {
    throw AnswerTooDeep(fmt::format("the answer nests deeper than {} levels", kMaximumAnswerDepth));
  }
  return nlohmann::json::parse(text.begin(), text.end());
}

nlohmann::json parseAnswerOrDiscarded(std::string_view text) {
  if (jsonNestingDepth(text) > kMaximumAnswerDepth) {
    return nlohmann::json(nlohmann::json::value_t::discarded);
  }
  return nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
}

double jsonNumber(const nlohmann::json& value) {
  switch (value.type()) {
    case nlohmann::json::value_t::number_integer:
      return static_cast<double>(value.get<std::int64_t>());
    case nlohmann::json::value_t::number_unsigned:
      return static_cast<double>(static_cast<std::int64_t>(value.get<std::uint64_t>()));
    case nlohmann::json::value_t::number_float:
      return value.get<double>();
    default:
      return 0.0;
  }
}

const std::string& jsonText(const nlohmann::json& value) {
  return value.is_string() ? value.get_ref<const std::string&>() : kEmptyText;
}

const nlohmann::json& jsonAt(const nlohmann::json& array, std::size_t index) {
  if (!array.is_array() || index >= array.size()) {
    return kNull;
  }
  return array[index];
}

bool jsonHasKey(const nlohmann::json& value, std::string_view key) {
  return value.is_object() && value.find(key) != value.end();
}

std::string jsonStringValue(const nlohmann::json& value, std::string_view key, std::string_view fallback) {
  if (value.is_object()) {
    const auto found = value.find(key);
    if (found != value.end() && found->is_string()) {
      return found->get<std::string>();
    }
  }
  return std::string(fallback);
}

std::optional<std::uint32_t> parseHexId(std::string_view text) {
  std::uint64_t value = 0;
  std::size_t digits = 0;
  for (char c : text) {
    const int digit = hexDigit(c);
    if (digit < 0) {
      break;
    }
    value = value * 16 + static_cast<std::uint64_t>(digit);
    if (value > std::numeric_limits<std::uint32_t>::max()) {
      return std::nullopt;
    }
    ++digits;
  }
  if (digits == 0) {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

int answerStatus(const nlohmann::json& answer) {
  // Cut down to an int, a lying 2^32 + 200 would read as 200.
  if (answer.is_object()) {
    const auto found = answer.find("status");
    if (found != answer.end() && !jsonFitsInInt(*found)) {
      throw std::range_error("the answer's status is no status");
    }
  }
  return answer.value("status", kStatusAbsent);
}

std::string answerMessage(const nlohmann::json& answer) { return answer.value("message", std::string()); }

int answerPace(const nlohmann::json& answer, std::string_view key) {
  // Cut down to an int, a lying 2^32 + 20 would read as 20, and a float
  // beyond the range of int has no int value at all.
  if (answer.is_object()) {
    const auto found = answer.find(key);
    if (found != answer.end() && !jsonFitsInInt(*found)) {
      throw std::range_error(fmt::format("the answer's {} is no pace", key));
    }
  }
  return answer.value(key, kDefaultPaceMilliseconds);
}

}  // namespace crv
