#include "feed/versions_file.h"

#include <fmt/format.h>

#include <stdexcept>

#include "foundation/json_numbers.h"

namespace crv {

namespace {

// Deeper values cannot be a version; they are dropped while parsing so that
// no nesting reaches far.
constexpr int kMaximumDepth = 3;

int readPart(const nlohmann::json& member, std::string_view key, const char* name) {
  const nlohmann::json& part = member.at(name);
  if (!part.is_number()) {
    throw std::invalid_argument(fmt::format("{} {} in versions.json is no number", key, name));
  }
  // Cut down to an int, 2^32 + 1 would read as 1.
  if (!jsonFitsInInt(part)) {
    throw std::range_error(fmt::format("{} {} in versions.json is beyond the range of a version", key, name));
  }
  return part.get<int>();
}

}  // namespace

std::optional<nlohmann::json> parseVersionsText(std::string_view text, std::string& problem) {
  if (text.size() > kMaximumVersionsFileBytes) {
    problem = fmt::format("longer than {} bytes", kMaximumVersionsFileBytes);
    return std::nullopt;
  }
  const auto keepShallow = [](int depth, nlohmann::json::parse_event_t event, nlohmann::json&) {
    const bool opens = event == nlohmann::json::parse_event_t::object_start ||
                       event == nlohmann::json::parse_event_t::array_start;
    return !opens || depth < kMaximumDepth;
  };
  nlohmann::json document = nlohmann::json::parse(text, keepShallow, false);
  if (document.is_discarded()) {
    problem = "not valid JSON";
    return std::nullopt;
  }
  return document;
}

std::optional<VersionData> publishedVersion(const nlohmann::json& document, std::string_view key) {
  if (!document.is_object()) {
    return std::nullopt;
  }
  const auto member = document.find(key);
  if (member == document.end()) {
    return std::nullopt;
  }
  return VersionData(readPart(*member, key, "major"), readPart(*member, key, "minor"), readPart(*member, key, "patch"));
}

}  // namespace crv
