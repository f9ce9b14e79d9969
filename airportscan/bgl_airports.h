#pragma once

// The airport records of a BGL scenery file: the airport sections, each
// airport's identifier and altitude, its helipads and its first list of
// taxiway parkings, read into the stands of an airport file.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "airports/apf_record.h"
#include "airportscan/bgl_words.h"

namespace crv {

class ScanLog;

inline constexpr std::uint16_t kBglAirportRecordId = 0x0056;
inline constexpr std::uint16_t kBglHelipadRecordId = 0x0026;
inline constexpr std::uint16_t kBglTaxiwayParkingsRecordId = 0x00E7;
inline constexpr std::uint16_t kBglUnrecognisedAirportRecordId = 0x0113;

// One airport record found by the walk, with its identifier.
struct BglAirportRecordRef {
  std::uint64_t startWord = 0;
  std::uint64_t sizeWords = 0;
  std::string icao;
};

// The packed identifier as text; valid only for 4 characters without a blank.
std::string lf_decodeIdentifierOrRegionCode(std::uint32_t value, bool& valid);

// The airport altitude in whole feet, 0 outside -20..10000 ft.
std::int32_t readBglAirportAltitude(std::uint64_t startWord, const BglWords& words);

// The name text of a parking name code: "g" for 10, "A".."Z" for 12..37.
std::string bglParkingNameText(unsigned nameCode);

// What reading one airport's stands keeps; started afresh for every airport
// record and owned by the task that reads the file.
struct BglAirportReading {
  BglAirportReading(std::string path, ScanLog& scanLog) : bglPath(std::move(path)), log(scanLog) {}

  std::string bglPath;
  ScanLog& log;
  std::set<std::string> standIds;
  bool duplicates = false;
  int helipadCounter = 1;
  std::vector<std::pair<double, double>> helipadPositions;  // latitude, longitude
  // Per stand of the record: its id was given a letter suffix while reading.
  std::vector<bool> suffixMarks;
};

void readBglHelipad(std::uint64_t startWord, const BglWords& words, ApfRecord& airport, BglAirportReading& reading);
void readBglTaxiwayParkings(std::uint64_t startWord, const BglWords& words, ApfRecord& airport,
                            BglAirportReading& reading);
// Renames every group of stands that share a name: the largest keeps the
// name, the smaller ones take the letters a, b, ... by decreasing radius.
void assignGeneratedStandIds(ApfRecord& airport, std::vector<bool>& suffixMarks);

// The sub-record walk of one airport record: helipads, the first parking list
// and the renaming of duplicate ids.
void readBglAirportStands(const BglAirportRecordRef& ref, const BglWords& words, ApfRecord& airport,
                          BglAirportReading& reading);

enum class BglWalkEnd {
  NotAirportFile,  // header size not 56, or shorter than the header
  Done,
  UnrecognisedAirport,  // record 0x0113 in MSFS 2024 mode ended the file
};

using BglAirportVisitor = std::function<void(const BglAirportRecordRef&, const BglWords&)>;

// Walks the airport sections of the file and hands every airport record with
// a valid identifier to the visitor. A read past the end of the file raises
// std::out_of_range.
BglWalkEnd walkBglAirports(const BglWords& words, bool msfs2020, const BglAirportVisitor& visitor);

// True when the file has an airport section; reads only the header and the
// section table.
bool bglHasAirportSection(const std::filesystem::path& path);

}  // namespace crv
