#pragma once

#include <compare>
#include <string>
#include <string_view>

namespace crv {

// A three-part version; compared field by field as signed numbers.
struct VersionData {
  int major = 0;
  int minor = 0;
  int patch = 0;

  VersionData() = default;
  VersionData(int majorPart, int minorPart, int patchPart)
      : major(majorPart), minor(minorPart), patch(patchPart) {}
  // Reads "(\d+).(\d+).(\d+)" (texts of up to 256 bytes) or, failing that, a
  // JSON object with the members major, minor and patch. A failure is logged;
  // the parts read so far stay.
  explicit VersionData(std::string_view text);

  friend auto operator<=>(const VersionData&, const VersionData&) = default;
};

// "{}.{}.{}".
std::string formatVersion(const VersionData& version);

inline constexpr std::string_view kProgramVersionText = "11.0.2";
const VersionData& programVersionData();

inline constexpr std::string_view kProgramName = "CRVN";

}  // namespace crv
