#include "tests/liveryscan/scan_fixture.h"

#include "aircraftdata/aircraft_database.h"
#include "aircraftdata/livery_database.h"
#include "aircraftdata/regcodes.h"
#include "foundation/workers.h"

namespace crv {
namespace {

void installTestDatabase() {
  AircraftDatabase database;
  for (const char* type : {"A320", "A20N", "B738", "B744", "C172", "DH8D"}) database.typeSets.all.insert(type);
  database.typeSets.heavy.insert("B744");
  database.categoryByType["B744"] = SizeCategory::Heavy;
  database.fixMap["B73H"] = "B738";
  for (const char* airline : {"DLH", "BAW", "KLM", "ZZZ"}) database.icaoAirlines.insert(airline);
  database.knownRegistrations["D-AIZA"] = RegistrationData{"DLH", "A320", "", false};
  database.knownRegistrations["G-EUPA"] = RegistrationData{"BAW", "A320", "KLM", true};
  database.knownRegistrations["PH-AB"] = RegistrationData{"KLM", "DH8D", "", false};
  database.shortRegistrations.push_back("PH-AB");
  installAircraftDatabase(std::move(database));
}

void clearScanState() {
  clearScanReportLists();
  scannedLiveries().clear();
  liveryDatabase().clearNow();
  setWorkerLimit(4);
}

}  // namespace

LiveryScanFixture::LiveryScanFixture() {
  installTestDatabase();
  clearScanState();
}

LiveryScanFixture::~LiveryScanFixture() {
  clearScanState();
  installAircraftDatabase(AircraftDatabase{});
}

std::filesystem::path LiveryScanFixture::write(const std::filesystem::path& relative, std::string_view bytes) const {
  const std::filesystem::path path = folder / relative;
  testing::writeFile(path, bytes);
  return path;
}

std::vector<std::string> describe(const LiveryList& liveries) {
  std::vector<std::string> lines;
  for (const LiveryData& livery : liveries) {
    lines.push_back(livery.airl + " " + livery.type + " " + livery.title + " " + livery.atcid +
                    (livery.cargo ? " cargo" : ""));
  }
  return lines;
}

std::string utf16Bytes(std::u16string_view text, bool littleEndian) {
  std::string bytes = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
  for (const char16_t unit : text) {
    const auto low = static_cast<char>(unit & 0xFFU);
    const auto high = static_cast<char>(unit >> 8U);
    bytes += littleEndian ? low : high;
    bytes += littleEndian ? high : low;
  }
  return bytes;
}

}  // namespace crv
