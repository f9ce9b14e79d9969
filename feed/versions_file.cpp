#include "feed/versions_file.h"

#include <fmt/format.h>

#include <limits>

namespace crv {

namespace {

// Deeper values cannot be a version; they are dropped while parsing so that
// no nesting reaches far.
constexpr int kMaximumDepth = 3;

bool readPart(const nlohmann::json& member, const char* name, int& part) {
  const auto found = member.find(name);
  if (found == member.end() || !found->is_number_integer()) {
    return false;
  }
  const auto value = found->get<std::int64_t>();
  if (found->is_number_unsigned() ? found->get<std::uint64_t>() > std::numeric_limits<int>::max()
                                  : (value < 0 || value > std::numeric_limits<int>::max())) {
    return false;
  }
  part = static_cast<int>(value);
  return true;
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
  if (!document.is_object()) {
    problem = "not a JSON object";
    return std::nullopt;
  }
  return document;
}

PublishedVersion publishedVersion(const nlohmann::json& document, std::string_view key) {
  PublishedVersion result;
  const auto member = document.find(key);
  if (member == document.end()) {
    return result;
  }
  if (member->is_object() && readPart(*member, "major", result.version.major) &&
      readPart(*member, "minor", result.version.minor) && readPart(*member, "patch", result.version.patch)) {
    result.state = PublishedVersion::State::Found;
    return result;
  }
  result.state = PublishedVersion::State::Invalid;
  result.problem = fmt::format("not three whole numbers major, minor and patch: {}", member->dump().substr(0, 200));
  return result;
}

}  // namespace crv
