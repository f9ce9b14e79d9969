#include "tests/airportscan/bgl_builder.h"

#include <bit>
#include <cmath>

namespace crv::testing {

namespace {

void putF32(std::string& bytes, std::size_t offset, float value) {
  putU32(bytes, offset, std::bit_cast<std::uint32_t>(value));
}

std::uint32_t packLatitude(double latitude) {
  return static_cast<std::uint32_t>(std::llround((90.0 - latitude) / 3.3527612686157227e-7));
}

std::uint32_t packLongitude(double longitude) {
  return static_cast<std::uint32_t>(std::llround((longitude + 180.0) / 4.470348358154297e-7));
}

}  // namespace

std::string bglRecord(std::uint16_t id, const std::string& body) {
  std::string bytes(6, '\0');
  putU16(bytes, 0, id);
  putU32(bytes, 2, static_cast<std::uint32_t>(6 + body.size()));
  return bytes + body;
}

void putU16(std::string& bytes, std::size_t offset, std::uint16_t value) {
  bytes[offset] = static_cast<char>(value & 0xFFU);
  bytes[offset + 1] = static_cast<char>(value >> 8U);
}

void putU32(std::string& bytes, std::size_t offset, std::uint32_t value) {
  putU16(bytes, offset, static_cast<std::uint16_t>(value & 0xFFFFU));
  putU16(bytes, offset + 2, static_cast<std::uint16_t>(value >> 16U));
}

// Base 38: blank 0, digits from 2, letters from 12; shifted left by 5.
std::uint32_t packBglIdentifier(std::string_view code) {
  std::uint32_t value = 0;
  for (const char c : code) {
    const unsigned digit = c == ' ' ? 0 : c <= '9' ? static_cast<unsigned>(c - '0') + 2 : static_cast<unsigned>(c) - 53;
    value = value * 38 + digit;
  }
  return value << 5U;
}

std::string bglHelipad(const BglHelipadSpec& helipad) {
  std::string body(26, '\0');
  putU32(body, 12 - 6, packLongitude(helipad.longitude));
  putU32(body, 16 - 6, packLatitude(helipad.latitude));
  putF32(body, 28 - 6, helipad.sizeMeters);
  return bglRecord(0x0026, body);
}

std::string bglParkingList(const std::vector<BglParkingSpec>& parkings) {
  std::string body(2, '\0');
  putU16(body, 0, static_cast<std::uint16_t>(parkings.size()));
  for (const BglParkingSpec& parking : parkings) {
    std::string entry(56 + 4 * parking.airlineCodes, '\0');
    putU32(entry, 0, (parking.nameCode & 0x3FU) | ((parking.type & 0xFU) << 8U) | ((parking.number & 0xFFFU) << 12U) |
                         (parking.airlineCodes << 24U));
    putF32(entry, 4, parking.radiusMeters);
    putF32(entry, 8, parking.headingDegrees);
    putU32(entry, 28, packLongitude(parking.longitude));
    putU32(entry, 32, packLatitude(parking.latitude));
    for (unsigned code = 0; code < parking.airlineCodes; ++code) {
      putU32(entry, 56 + 4 * code, 0x4B4C4D00U + code);
    }
    body += entry;
  }
  return bglRecord(0x00E7, body);
}

std::string bglAirport(const BglAirportSpec& airport) {
  std::string body(62, '\0');  // up to offset 68 with the header
  putU32(body, 20 - 6, static_cast<std::uint32_t>(airport.altitudeMillimetres));
  putU32(body, 40 - 6, packBglIdentifier(airport.icao));
  for (const std::string& subRecord : airport.subRecords) {
    body += subRecord;
  }
  return bglRecord(0x0056, body);
}

std::string bglFile(const std::vector<std::string>& records) {
  std::string bytes(kBglFirstRecordOffset, '\0');
  putU32(bytes, 0, 0x19920201);
  putU32(bytes, 4, 0x38);  // header size
  putU32(bytes, 20, 1);    // one section
  // At 56 the section table: the airport section (3) whose one subsection
  // entry (16 bytes, at 76) places the records at 92.
  const std::uint32_t tables[] = {3, 0x40001, 1, 76, 16, 0, 0, kBglFirstRecordOffset, 0};
  for (std::size_t index = 0; index < std::size(tables); ++index) {
    putU32(bytes, 56 + 4 * index, tables[index]);
  }
  for (const std::string& record : records) {
    bytes += record;
    bytes.resize((bytes.size() + 3) / 4 * 4, '\0');
  }
  return bytes;
}

}  // namespace crv::testing
