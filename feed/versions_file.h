#pragma once

// versions.json of the download site: one JSON object whose members, named
// by key ("simaddon", "aig", "dbase"), each hold the integers "major",
// "minor" and "patch".

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "foundation/version.h"

namespace crv {

// A longer versions.json is refused unread.
inline constexpr std::size_t kMaximumVersionsFileBytes = 1024 * 1024;

// The document when the text is one JSON object; otherwise nothing, and the
// problem says why.
std::optional<nlohmann::json> parseVersionsText(std::string_view text, std::string& problem);

struct PublishedVersion {
  enum class State { Found, Missing, Invalid };
  State state = State::Missing;
  VersionData version;
  std::string problem;  // for Invalid
};

// The key's version: Missing without the member; Invalid when the member is
// not an object of three whole numbers from 0 to 2147483647.
PublishedVersion publishedVersion(const nlohmann::json& document, std::string_view key);

}  // namespace crv
