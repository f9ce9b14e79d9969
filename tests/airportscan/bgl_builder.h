#pragma once

// Writes BGL files byte by byte in the layout the airport scan reads: the
// header, one airport section, and airport records with helipads and a
// taxiway parking list.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace crv::testing {

struct BglParkingSpec {
  unsigned nameCode = 10;  // "g"
  unsigned number = 1;
  unsigned type = 1;
  float radiusMeters = 20.0F;
  float headingDegrees = 90.0F;
  double latitude = 52.3;
  double longitude = 4.76;
  unsigned airlineCodes = 0;
};

struct BglHelipadSpec {
  double latitude = 52.31;
  double longitude = 4.77;
  float sizeMeters = 30.0F;
};

// A sub-record as raw bytes (its header included), placed in order.
struct BglAirportSpec {
  std::string icao = "EHAM";
  std::int32_t altitudeMillimetres = 0;
  std::vector<std::string> subRecords;
};

std::uint32_t packBglIdentifier(std::string_view code);

// A record: the 6-byte header (u16 id, u32 size of the whole record), then
// the body.
std::string bglRecord(std::uint16_t id, const std::string& body);
std::string bglHelipad(const BglHelipadSpec& helipad);
std::string bglParkingList(const std::vector<BglParkingSpec>& parkings);
std::string bglAirport(const BglAirportSpec& airport);

// A whole file: header (size 0x38), one airport section whose records are
// the given ones, back to back.
std::string bglFile(const std::vector<std::string>& records);

// Writes a little-endian number over the bytes at the offset (also to
// damage a file by hand).
void putU16(std::string& bytes, std::size_t offset, std::uint16_t value);
void putU32(std::string& bytes, std::size_t offset, std::uint32_t value);

// Byte offset of the first record in a file from bglFile.
inline constexpr std::size_t kBglFirstRecordOffset = 92;

}  // namespace crv::testing
