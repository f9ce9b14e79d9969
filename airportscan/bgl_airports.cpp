#include "airportscan/bgl_airports.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>

#include <fmt/format.h>

#include "airportscan/scan_log.h"
#include "foundation/log.h"

namespace crv {

namespace {

constexpr std::uint32_t kBglHeaderSizeBytes = 0x38;
constexpr std::uint64_t kBglHeaderWords = 14;
constexpr std::uint64_t kSectionEntryWords = 5;
constexpr std::uint32_t kAirportSectionType = 3;
// A record header is a u16 id and a u32 size: a smaller size cannot be real.
constexpr std::uint32_t kRecordHeaderBytes = 6;

constexpr std::uint64_t kAltitudeWord = 5;
constexpr std::uint64_t kIdentifierWord = 10;
constexpr std::uint64_t kFirstSubRecordWord = 17;

constexpr std::uint64_t kParkingEntryWords = 14;
constexpr int kMaxDuplicateSuffixes = 6;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kHeadingDegreesToRadians = 0.017453292519943295;
constexpr double kNoPositionDegrees = 0.0001;
constexpr double kSameHelipadDegrees = 1e-8;

double unpackLongitude(std::uint32_t value) { return value * 4.470348358154297e-7 - 180.0; }
double unpackLatitude(std::uint32_t value) { return 90.0 - value * 3.3527612686157227e-7; }

bool isUsablePosition(double latitude, double longitude) {
  if (!(latitude >= -90.0 && latitude <= 90.0 && longitude >= -180.0 && longitude <= 180.0)) {
    return false;
  }
  return !(std::fabs(latitude) <= kNoPositionDegrees && std::fabs(longitude) <= kNoPositionDegrees);
}

std::string positionText(double latitude, double longitude) { return fmt::format("{:.6f},{:.6f}", latitude, longitude); }

// End of a sub-record inside its parent, never past the parent's end.
std::uint64_t subRecordEnd(std::uint64_t start, std::uint32_t sizeBytes, std::uint64_t parentEnd) {
  return std::min<std::uint64_t>(start + sizeBytes / 4, parentEnd);
}

struct ParkingKind {
  bool taken;
  bool cargo;
  bool ramp;
};

ParkingKind parkingKind(unsigned type) {
  switch (type) {
    case 0:
    case 12:
    case 13:
      return {false, false, false};
    case 5:
      return {true, true, true};
    case 8:
    case 9:
    case 10:
    case 11:
    case 15:
      return {true, false, false};
    default:
      return {true, false, true};
  }
}

void addStand(ApfRecord& airport, BglAirportReading& reading, ParkingPosition stand, bool suffixed) {
  airport.stands.push_back(std::move(stand));
  reading.suffixMarks.resize(airport.stands.size() - 1, false);
  reading.suffixMarks.push_back(suffixed);
}

}  // namespace

std::string lf_decodeIdentifierOrRegionCode(std::uint32_t value, bool& valid) {
  valid = false;
  std::uint32_t rest = value >> 5U;
  std::string reversed;
  do {
    const std::uint32_t digit = rest % 38;
    rest /= 38;
    if (digit == 0) {
      reversed.push_back(' ');
    } else if (digit >= 2 && digit <= 11) {
      reversed.push_back(static_cast<char>('0' + digit - 2));
    } else {
      reversed.push_back(static_cast<char>(digit + 53));
    }
  } while (rest > 0);
  std::string text(reversed.rbegin(), reversed.rend());
  valid = text.size() == 4 && text.find(' ') == std::string::npos;
  return text;
}

std::int32_t readBglAirportAltitude(std::uint64_t startWord, const BglWords& words) {
  const double millimetres = words.signedAt(startWord + kAltitudeWord);
  const double feet = std::round(millimetres * 3.2808399 / 1000.0);
  return (feet >= -20.0 && feet <= 10000.0) ? static_cast<std::int32_t>(feet) : 0;
}

std::string bglParkingNameText(unsigned nameCode) {
  static const std::array<const char*, 12> kNames = {"", "r", "p", "np", "ep", "sep", "sp", "swp", "wp", "nwp", "g", ""};
  if (nameCode < kNames.size()) {
    return kNames[nameCode];
  }
  return std::string(1, static_cast<char>(nameCode + 53));
}

void readBglHelipad(std::uint64_t startWord, const BglWords& words, ApfRecord& airport, BglAirportReading& reading) {
  const double longitude = unpackLongitude(words.at(startWord + 3));
  const double latitude = unpackLatitude(words.at(startWord + 4));
  const double sizeMeters = words.floatAt(startWord + 7);
  if (!isUsablePosition(latitude, longitude)) {
    reading.log.append("lat/lon helipad incorrect (skipped): " + positionText(latitude, longitude));
    return;
  }
  for (const auto& [takenLatitude, takenLongitude] : reading.helipadPositions) {
    if (std::fabs(takenLatitude - latitude) < kSameHelipadDegrees &&
        std::fabs(takenLongitude - longitude) < kSameHelipadDegrees) {
      reading.log.append("double helipad " + airport.airportName + " (skipped) " + positionText(latitude, longitude));
      return;
    }
  }
  reading.helipadPositions.emplace_back(latitude, longitude);
  std::string id = fmt::format("helipad{}", reading.helipadCounter++);
  reading.standIds.insert(id);
  addStand(airport, reading, ParkingPosition(std::move(id), {}, {latitude, longitude, 0.0}, sizeMeters / 2.0, true, true, false),
           false);
}

void readBglTaxiwayParkings(std::uint64_t startWord, const BglWords& words, ApfRecord& airport,
                            BglAirportReading& reading) {
  const std::uint64_t end = subRecordEnd(startWord, words.recordSizeBytes(startWord), words.size());
  const unsigned count = words.high16(startWord + 1);
  std::uint64_t entry = startWord + 2;
  for (unsigned index = 0; index < count && entry + kParkingEntryWords <= end; ++index) {
    const std::uint32_t head = words.at(entry);
    const std::uint64_t airlineWords = head >> 24U;
    // A list that claims more entries than its record holds keeps the complete ones.
    if (entry + kParkingEntryWords + airlineWords > end) {
      break;
    }
    const std::uint64_t next = entry + kParkingEntryWords + airlineWords;
    const double radiusMeters = words.floatAt(entry + 1);
    const double headingDegrees = words.floatAt(entry + 2);
    const double longitude = unpackLongitude(words.at(entry + 7));
    const double latitude = unpackLatitude(words.at(entry + 8));
    entry = next;

    if (!(radiusMeters > 1.0 && radiusMeters < 200.0)) {
      reading.log.append(fmt::format("Skipped position with radius {:.1F} m in {}", radiusMeters, reading.bglPath));
      continue;
    }
    const std::string name = bglParkingNameText(head & 0x3FU) + std::to_string((head >> 12U) & 0xFFFU);
    const ParkingKind kind = parkingKind((head >> 8U) & 0xFU);
    if (!kind.taken) {
      continue;
    }
    if (!isUsablePosition(latitude, longitude)) {
      reading.log.append(fmt::format("LatLon {} invalid (skipped)", positionText(latitude, longitude)));
      continue;
    }
    std::string id = name;
    if (reading.standIds.contains(id)) {
      reading.duplicates = true;
      id.clear();
      for (int letter = 0; letter < kMaxDuplicateSuffixes && id.empty(); ++letter) {
        std::string candidate = name + static_cast<char>('a' + letter);
        if (!reading.standIds.contains(candidate)) {
          id = std::move(candidate);
        }
      }
      if (id.empty()) {
        reading.log.append(
            fmt::format("{}Warning: more than 6 duplicate IDs {} in {}", kWarningPrefix, name, reading.bglPath));
        continue;
      }
    }
    reading.standIds.insert(id);
    const double heading = headingDegrees == 0.0 ? kTwoPi : headingDegrees * kHeadingDegreesToRadians;
    const bool suffixed = id != name;
    addStand(airport, reading,
             ParkingPosition(std::move(id), {}, {latitude, longitude, heading}, radiusMeters, !kind.cargo, !kind.ramp,
                             true),
             suffixed);
  }
}

void assignGeneratedStandIds(ApfRecord& airport, std::vector<bool>& suffixMarks) {
  suffixMarks.resize(airport.stands.size(), false);
  for (;;) {
    const auto marked = std::find(suffixMarks.begin(), suffixMarks.end(), true);
    if (marked == suffixMarks.end()) {
      return;
    }
    const auto markedIndex = static_cast<std::size_t>(marked - suffixMarks.begin());
    const std::string& markedId = airport.stands[markedIndex].name;
    const std::string base = markedId.substr(0, markedId.size() - 1);
    std::vector<std::size_t> group;
    for (std::size_t index = 0; index < airport.stands.size(); ++index) {
      const std::string& id = airport.stands[index].name;
      const bool inGroup = id == base || (id.size() == base.size() + 1 && id.starts_with(base) && id.back() >= 'a' &&
                                          id.back() <= 'f');
      if (inGroup) {
        group.push_back(index);
        suffixMarks[index] = false;
      }
    }
    suffixMarks[markedIndex] = false;
    std::stable_sort(group.begin(), group.end(), [&airport](std::size_t left, std::size_t right) {
      return airport.stands[left].radius > airport.stands[right].radius;
    });
    for (std::size_t place = 0; place < group.size(); ++place) {
      airport.stands[group[place]].name = place == 0 ? base : base + static_cast<char>('a' + place - 1);
    }
  }
}

void readBglAirportStands(const BglAirportRecordRef& ref, const BglWords& words, ApfRecord& airport,
                          BglAirportReading& reading) {
  reading.standIds.clear();
  reading.duplicates = false;
  reading.helipadCounter = 1;
  reading.helipadPositions.clear();
  reading.suffixMarks.assign(airport.stands.size(), false);

  const std::uint64_t end = std::min(ref.startWord + ref.sizeWords, words.size());
  std::uint64_t position = ref.startWord + kFirstSubRecordWord;
  while (position + 1 < end) {
    const std::uint16_t id = words.recordId(position);
    const std::uint32_t sizeBytes = words.recordSizeBytes(position);
    if (sizeBytes < kRecordHeaderBytes) {
      break;
    }
    if (id == kBglHelipadRecordId) {
      readBglHelipad(position, words, airport, reading);
    } else if (id == kBglTaxiwayParkingsRecordId) {
      readBglTaxiwayParkings(position, words, airport, reading);
      if (reading.duplicates) {
        assignGeneratedStandIds(airport, reading.suffixMarks);
      }
      break;
    }
    position += sizeBytes / 4;
  }
}

BglWalkEnd walkBglAirports(const BglWords& words, bool msfs2020, const BglAirportVisitor& visitor) {
  if (words.size() < 2) {
    throw std::out_of_range("BGL file shorter than 8 bytes");
  }
  if (words.at(1) != kBglHeaderSizeBytes || words.size() <= kBglHeaderWords) {
    return BglWalkEnd::NotAirportFile;
  }
  const std::uint64_t sectionCount = words.at(5);
  for (std::uint64_t section = 0; section < sectionCount; ++section) {
    const std::uint64_t entry = kBglHeaderWords + kSectionEntryWords * section;
    if (entry >= words.size()) {
      break;  // every later entry lies past the end as well
    }
    const std::uint32_t sizeCode = words.at(entry + 1);
    if (words.at(entry) != kAirportSectionType || (sizeCode & 0x10000U) != 0) {
      continue;
    }
    const std::uint64_t subsectionTable = words.at(entry + 3) / 4;
    std::uint64_t record = words.at(subsectionTable + 2) / 4;
    while (record + 1 < words.size()) {
      const std::uint16_t id = words.recordId(record);
      const std::uint32_t sizeBytes = words.recordSizeBytes(record);
      if (sizeBytes < kRecordHeaderBytes) {
        break;
      }
      if (id == kBglAirportRecordId) {
        bool valid = false;
        std::string icao = lf_decodeIdentifierOrRegionCode(words.at(record + kIdentifierWord), valid);
        if (valid) {
          visitor(BglAirportRecordRef{record, sizeBytes / 4, std::move(icao)}, words);
        }
      } else if (id == kBglUnrecognisedAirportRecordId && !msfs2020) {
        return BglWalkEnd::UnrecognisedAirport;
      }
      record += sizeBytes / 4;
    }
  }
  return BglWalkEnd::Done;
}

bool bglHasAirportSection(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    return false;
  }
  file.seekg(0, std::ios::end);
  const auto length = static_cast<std::uint64_t>(std::max<std::streamoff>(0, file.tellg()));
  if (length < kBglHeaderWords * 4) {
    return false;
  }
  file.seekg(0);
  std::string header(kBglHeaderWords * 4, '\0');
  if (!file.read(header.data(), static_cast<std::streamsize>(header.size()))) {
    return false;
  }
  const BglWords headerWords(header);
  const std::uint64_t sectionCount = headerWords.at(5);
  if (sectionCount == 0 || length <= kBglHeaderWords * 4 + kSectionEntryWords * 4 * sectionCount) {
    return false;
  }
  std::string table(kSectionEntryWords * 4 * sectionCount, '\0');
  if (!file.read(table.data(), static_cast<std::streamsize>(table.size()))) {
    return false;
  }
  const BglWords tableWords(table);
  for (std::uint64_t section = 0; section < sectionCount; ++section) {
    if (tableWords.at(section * kSectionEntryWords) == kAirportSectionType) {
      return true;
    }
  }
  return false;
}

}  // namespace crv
