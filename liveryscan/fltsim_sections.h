#pragma once

// The per-file task of the livery scan: one aircraft.cfg of an AI package
// becomes the liveries of its [fltsim.N] sections. Every problem found in the
// file becomes a line of a report list (liveryscan/scan_reports.h); nothing
// here throws out of a task.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "aircraftdata/livery_data.h"

namespace crv {

// The task: the liveries of one aircraft.cfg found in livery folder number
// folderNumber. Unreadable, vanished, empty and junk files give none.
LiveryList lf_searchLiveriesinFile(std::uint32_t folderNumber, const std::filesystem::path& path);

// How reading an aircraft.cfg went.
enum class CfgFileRead {
  Read,
  NoCharset,  // empty, one byte long or unreadable: nothing to read, nothing reported
  Failed,     // not read; reported where the user can mend something
};

// Reads the file for a task in the charset detectCharset finds, through
// readTextFileByCharset.
CfgFileRead readAircraftCfgLines(const std::filesystem::path& path, std::vector<std::string>& lines);

// The path's text up to its last separator ('\' or '/'); empty without one.
std::string folderOfPath(std::string_view path);

// Splits an aircraft.cfg's lines into its [fltsim.N] sections and hands each
// (its header line first) to readSection; the lines of the sections are moved
// out of the vector. A line whose first '[' stands before column
// otherHeaderBracketBefore opens another section, which ends the current one.
void forEachFltsimSection(std::vector<std::string>& lines, std::size_t otherHeaderBracketBefore,
                          const std::function<void(std::vector<std::string>& section)>& readSection);

// Splits the lines into [fltsim.N] sections and reads each; the lines of the
// sections are moved out of the vector.
LiveryList processFltSimSections(std::uint32_t folderNumber, std::vector<std::string>& lines,
                                 const std::string& model, std::string_view path, std::string_view folder);

// One section (its header line first): zero or one livery.
LiveryList lf_procesFltSimSection(std::uint32_t folderNumber, std::vector<std::string>& section,
                                  const std::string& model, std::string_view path, std::string_view folder);

// The numbers of the header lines: false (file not used) for a number that
// cannot be read (logged) or one above 10000 (reported). A file without a
// header is recorded on the no-section list and gives true.
bool checkFltsimNumbering(const std::vector<std::string>& lines, std::string_view path);

// The registration of an atc_id value: valid with one part (the part) or
// several comma-separated parts (empty); invalid when a part is empty, longer
// than 12 characters or holds '*'.
bool validateAtcId(std::string_view value, std::string& registration);

// Adds "<code, 12 columns> in <path> <header line>" to the invalid-airline list.
void reportInvalidAirline(std::string_view airline, std::string_view path, std::string_view headerLine);

// Takes the title for the scan: the filled record when it was new, an empty
// record when it is taken. Cargo code 0 makes a cargo livery.
LiveryData makeLiveryData(std::uint32_t folderNumber, std::string airline, std::string type, int cargoCode,
                          std::string title, std::string registration);

// Drops the trailing lines of a section while the last one is empty or
// begins with "//". A line of blanks stops the dropping, and so does a
// trailing ';' line: the lines above it may hold a second atc_id.
void dropTrailingComments(std::vector<std::string>& section);

// Lines kept in reserve for a section. (A file's lines are reserved by
// counting its line ends: a fixed reserve of thousands of lines cost more
// than the reading itself.)
inline constexpr std::size_t kSectionLinesReserve = 48;
// The highest section number allowed.
inline constexpr std::uint32_t kMaxFltsimNumber = 10000;

}  // namespace crv
