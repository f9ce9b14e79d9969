#include "tests/airportscan/bgl_builder.h"

#include <bit>
#include <cmath>

namespace crv::testing {

namespace {

void appendU16(std::string& bytes, std::uint16_t value) {
  bytes.push_back(static_cast<char>(value & 0xFFU));
  bytes.push_back(static_cast<char>(value >> 8U));
}

void appendU32(std::string& bytes, std::uint32_t value) {
  for (unsigned shift = 0; shift < 32; shift += 8) {
    bytes.push_back(static_cast<char>((value >> shift) & 0xFFU));
  }
}

void appendF32(std::string& bytes, float value) { appendU32(bytes, std::bit_cast<std::uint32_t>(value)); }

void padTo(std::string& bytes, std::size_t size) { bytes.resize(size, '\0'); }

// The record header: u16 id, u32 size of the whole record.
std::string recordWithBody(std::uint16_t id, const std::string& bodyAfterHeader) {
  std::string bytes;
  appendU16(bytes, id);
  appendU32(bytes, static_cast<std::uint32_t>(6 + bodyAfterHeader.size()));
  return bytes + bodyAfterHeader;
}

unsigned base38Digit(char c) {
  if (c == ' ') {
    return 0;
  }
  if (c >= '0' && c <= '9') {
    return static_cast<unsigned>(c - '0') + 2;
  }
  return static_cast<unsigned>(c) - 53;
}

}  // namespace

void putU16(std::string& bytes, std::size_t offset, std::uint16_t value) {
  bytes[offset] = static_cast<char>(value & 0xFFU);
  bytes[offset + 1] = static_cast<char>(value >> 8U);
}

void putU32(std::string& bytes, std::size_t offset, std::uint32_t value) {
  for (unsigned index = 0; index < 4; ++index) {
    bytes[offset + index] = static_cast<char>((value >> (8 * index)) & 0xFFU);
  }
}

std::uint32_t packBglIdentifier(std::string_view code) {
  std::uint32_t value = 0;
  for (const char c : code) {
    value = value * 38 + base38Digit(c);
  }
  return value << 5U;
}

std::uint32_t packBglLatitude(double latitude) {
  return static_cast<std::uint32_t>(std::llround((90.0 - latitude) / 3.3527612686157227e-7));
}

std::uint32_t packBglLongitude(double longitude) {
  return static_cast<std::uint32_t>(std::llround((longitude + 180.0) / 4.470348358154297e-7));
}

std::string bglHelipad(const BglHelipadSpec& helipad) {
  std::string bytes;
  appendU16(bytes, 0x0026);
  appendU32(bytes, 32);
  padTo(bytes, 12);
  appendU32(bytes, packBglLongitude(helipad.longitude));
  appendU32(bytes, packBglLatitude(helipad.latitude));
  padTo(bytes, 28);
  appendF32(bytes, helipad.sizeMeters);
  return bytes;
}

std::string bglParkingList(const std::vector<BglParkingSpec>& parkings, int count) {
  std::string entries;
  for (const BglParkingSpec& parking : parkings) {
    appendU32(entries, (parking.nameCode & 0x3FU) | ((parking.type & 0xFU) << 8U) | ((parking.number & 0xFFFU) << 12U) |
                           (parking.airlineCodes << 24U));
    appendF32(entries, parking.radiusMeters);
    appendF32(entries, parking.headingDegrees);
    for (int unused = 3; unused < 7; ++unused) {
      appendU32(entries, 0);
    }
    appendU32(entries, packBglLongitude(parking.longitude));
    appendU32(entries, packBglLatitude(parking.latitude));
    for (int unused = 9; unused < 14; ++unused) {
      appendU32(entries, 0);
    }
    for (unsigned code = 0; code < parking.airlineCodes; ++code) {
      appendU32(entries, 0x4B4C4D00U + code);
    }
  }
  std::string body;
  appendU16(body, static_cast<std::uint16_t>(count < 0 ? parkings.size() : static_cast<std::size_t>(count)));
  return recordWithBody(0x00E7, body + entries);
}

std::string bglAirport(const BglAirportSpec& airport) {
  std::string body(62, '\0');  // up to offset 68 with the 6-byte header
  putU32(body, 20 - 6, static_cast<std::uint32_t>(airport.altitudeMillimetres));
  putU32(body, 40 - 6, packBglIdentifier(airport.icao));
  for (const std::string& subRecord : airport.subRecords) {
    body += subRecord;
  }
  return recordWithBody(0x0056, body);
}

std::string bglRecord(std::uint16_t id, std::uint32_t sizeBytes) {
  std::string bytes;
  appendU16(bytes, id);
  appendU32(bytes, sizeBytes);
  padTo(bytes, std::max<std::size_t>(sizeBytes, 8));
  return bytes;
}

std::string bglFile(const std::vector<std::string>& records, std::uint32_t headerSize) {
  std::string bytes;
  appendU32(bytes, 0x19920201);
  appendU32(bytes, headerSize);
  padTo(bytes, 20);
  appendU32(bytes, 1);  // one section
  padTo(bytes, 56);
  // Section table: the airport section with 16-byte subsection entries.
  appendU32(bytes, 3);
  appendU32(bytes, 0x40001);
  appendU32(bytes, 1);
  appendU32(bytes, 76);  // subsection table
  appendU32(bytes, 16);
  // Subsection entry: the records start at 92.
  appendU32(bytes, 0);
  appendU32(bytes, 0);
  appendU32(bytes, static_cast<std::uint32_t>(kBglFirstRecordOffset));
  appendU32(bytes, 0);
  for (const std::string& record : records) {
    std::string aligned = record;
    padTo(aligned, (aligned.size() + 3) / 4 * 4);
    bytes += aligned;
  }
  return bytes;
}

}  // namespace crv::testing
