#pragma once

#include <gmock/gmock.h>

#include <regex>
#include <string>

namespace crv::testing {

// The whole text matches the regular expression (std::regex, ECMAScript), the
// same on every system: GoogleTest's own expressions are a small subset on
// Windows.
MATCHER_P(MatchesPattern, pattern, "") { return std::regex_match(std::string(arg), std::regex(std::string(pattern))); }

}  // namespace crv::testing
