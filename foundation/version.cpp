#include "foundation/version.h"

#include <regex>
#include <utility>
#include <stdexcept>
#include <string>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "foundation/json_numbers.h"
#include "foundation/log.h"

namespace crv {
namespace {

// The pattern is only tried on texts of at most this many bytes: the standard
// regular-expression engine recurses once per character and overflows the
// stack on a text of some hundred thousand digits (a damaged PROGRAM_VERSION in
// parameters.xml). Three 32-bit numbers with their separators need far fewer.
constexpr std::size_t kLongestPatternText = 256;

int versionNumber(const std::string& digits) {
  try {
    return std::stoi(digits);
  } catch (const std::out_of_range&) {
    throw std::runtime_error("parse error in version string");
  }
}

// The member's integer value: a number written with a fraction (11.0) is
// taken without it.
int jsonMember(const nlohmann::json& object, const char* name) {
  const auto member = object.find(name);
  if (member == object.end()) {
    return 0;
  }
  if (!member->is_number()) {
    throw std::runtime_error(fmt::format("version member {} is not a number", name));
  }
  // Too large for the field: the same failure as in the text form.
  if (!jsonFitsInInt(*member)) {
    throw std::runtime_error("parse error in version string");
  }
  return member->get<int>();
}

}  // namespace

VersionData::VersionData(std::string_view text) {
  if (text.empty()) {
    return;
  }
  try {
    static const std::regex kPattern(R"((\d+).(\d+).(\d+))");
    const std::string textCopy(text);
    std::smatch match;
    if (textCopy.size() <= kLongestPatternText && std::regex_match(textCopy, match, kPattern)) {
      major = versionNumber(match[1]);
      minor = versionNumber(match[2]);
      patch = versionNumber(match[3]);
      return;
    }
    const nlohmann::json value = nlohmann::json::parse(textCopy);
    if (value.is_object()) {
      major = jsonMember(value, "major");
      minor = jsonMember(value, "minor");
      patch = jsonMember(value, "patch");
    }
  } catch (const std::exception& error) {
    gf_logLine(fmt::format("{} exception: {}", "VersionData", error.what()));
  }
}

std::string formatVersion(const VersionData& version) {
  return fmt::format("{}.{}.{}", version.major, version.minor, version.patch);
}

const VersionData& programVersionData() {
  static const VersionData kVersion(kProgramVersionText);
  return kVersion;
}

}  // namespace crv
