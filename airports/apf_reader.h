#pragma once

// Reading the park airport's stands: the base file gives the stands and
// their usage, the learned file of the same airport is merged in (changed
// radii and cargo kinds, hand-made stands, learned usage, the airport's own
// settings), or, when it is marked handmade, replaces every stand.

#include <filesystem>
#include <string>
#include <string_view>

#include "airports/apf_record.h"
#include "airports/stand_table.h"

namespace crv {

// The local copy of a base file from the download site.
std::filesystem::path parkAirportCopyPath();  // airports/park_airport.xml

// Reads the base file (a path that begins with "airports" where it lies, any
// other from the download site) into the table, merges the learned file,
// numbers the stands, lists their neighbours and fills the header and the
// quality factors. Empty on success; otherwise what went wrong:
// "gf_readApf: xml is empty", "gf_readApf: no park airport set", the
// download's failure, "<path>: could not load file: <file>",
// "<path>: refused to load (copyright)", or "no stands found". A base file
// without altitude (code 65) or with a repeated stand name (code 94) throws
// UserErrorException.
std::string gf_readApf(const std::string& path, std::string_view parkIcao, ParkAirportHeader& header,
                       QualityFactors& quality, StandTable& stands);

enum class LearnedFileOutcome {
  Merged,    // the learned file changed the base file's stands
  Handmade,  // its stands replaced the base file's
  SetAside,  // refused: renamed to its ".0" name, the base file's stands stand
};

// Merges the learned file into the table; never throws. A file that does
// not load, lacks its meta block or fails halfway is renamed aside (never
// overwritten later) and logged, and the table keeps the base file's stands,
// so that no later save writes a half-read file back.
LearnedFileOutcome lf_readLearned(const std::filesystem::path& learnedPath, const ParkAirportHeader& header,
                                  StandTable& stands);

}  // namespace crv
