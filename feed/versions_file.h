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

// The document when the text is valid JSON of any kind; otherwise nothing,
// and the problem says why.
std::optional<nlohmann::json> parseVersionsText(std::string_view text, std::string& problem);

// The key's version; nothing when the document is no object or has no such
// member. The three parts are read as integers: a negative part stays
// negative and a fraction is cut toward zero. A member that is no object, a
// missing part or a part that is no number throws (nlohmann's exceptions or
// std::invalid_argument), a number that no int holds std::range_error.
std::optional<VersionData> publishedVersion(const nlohmann::json& document, std::string_view key);

}  // namespace crv
