#pragma once

// Reading the parkpos and opt elements of an airport file into stands and
// usage entries.
//
//   <parkpositions>
//     <parkpos id="D7" latitude="52.308611" longitude="4.762500" heading="270.0"
//              radius="30.0" cargo="false" ramp="false">
//       <opt reg="PH-BXA" soft="true" day="3" hh="14,15,16" cs="KLM123:KLM12A"/>
//     </parkpos>
//   </parkpositions>

#include <cstdint>
#include <string>
#include <string_view>

#include "airports/stand_table.h"
#include "airports/usage_entry.h"

namespace pugi {
class xml_node;
}  // namespace pugi

namespace crv {

// The warnings of reading one file. At most a handful go to the log, then
// one line with the number of the others, so that a hostile file cannot
// flood it.
class ApfParseWarnings {
 public:
  explicit ApfParseWarnings(std::string fileName) : fileName_(std::move(fileName)) {}
  ~ApfParseWarnings();
  ApfParseWarnings(const ApfParseWarnings&) = delete;
  ApfParseWarnings& operator=(const ApfParseWarnings&) = delete;

  const std::string& fileName() const { return fileName_; }
  void warn(const std::string& line);
  int count() const { return count_; }

 private:
  std::string fileName_;
  int count_ = 0;
};

// The texts of one opt element that become cs, cs2, airl and type.
struct UsageTexts {
  std::string callsign;
  std::string secondCallsign;
  std::string airline;
  std::string type;
};

// cs "A:B:C" gives callsign A and second callsign B:C. A registration the
// aircraft database knows gives its operator (else its airline) and type;
// otherwise the airl and type attributes are taken.
UsageTexts parseUsageEntry(const pugi::xml_node& opt);

// One usage entry of an opt element, its weekday as read (0 when absent);
// a weekday outside 1..7 is kept as it is, with a warning. id is left 0 for
// the caller.
UsageEntry readUsageEntry(const pugi::xml_node& opt, std::uint32_t fromFile, bool signedDay,
                          ApfParseWarnings& warnings);

// Builds one stand from a parkpos element and appends it to the table; its
// usage entries are numbered 1.. and carry fromFile. A stand at latitude and
// longitude both 0.0 is skipped silently; one with coordinates or a radius
// out of range (or no number) is skipped with a warning. True when a stand
// was added.
bool parseParkPos(const pugi::xml_node& parkpos, const std::string& name, std::uint32_t fromFile,
                  StandTable& stands, ApfParseWarnings& warnings);

// The two entries describe the same use: weekday, kind, registration,
// airline and type are equal and the half-hour sets share a half hour.
bool sameUsage(const UsageEntry& a, const UsageEntry& b);

// Applies a learned parkpos element to the stand of its name: a changed
// radius or cargo kind, and every usage entry that is not the same use as
// one the stand has already (new entries take the next numbers). False when
// the stand has another name.
bool parseLearnedStand(const pugi::xml_node& parkpos, ParkingPosition& stand, ApfParseWarnings& warnings);

// Radii beyond this are no stand: the reader refuses them.
inline constexpr double kMaxStandRadiusMeters = 1000.0;

}  // namespace crv
