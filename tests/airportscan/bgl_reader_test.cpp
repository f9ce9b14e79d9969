#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <thread>

#ifndef _WIN32
#include <sys/wait.h>
#endif
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "airportscan/bgl_airports.h"
#include "airportscan/bgl_file.h"
#include "airportscan/scan_log.h"
#include "foundation/workers.h"
#include "tests/airportscan/bgl_builder.h"
#include "tests/support/temp_folder.h"

namespace crv {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace crv::testing;

struct ReadAirports {
  std::vector<ApfRecord> airports;
  std::vector<std::string> logLines;
  BglWalkEnd end = BglWalkEnd::NotAirportFile;
};

// Reads every airport of the file the way the scan does.
ReadAirports readAirports(const std::string& bytes, bool msfs2020 = true) {
  ReadAirports result;
  ScanLog log;
  const BglWords words(bytes);
  result.end = walkBglAirports(words, msfs2020, [&](const BglAirportRecordRef& ref, const BglWords& fileWords) {
    ApfRecord airport;
    airport.icao = ref.icao;
    airport.altitudeFeet = readBglAirportAltitude(ref.startWord, fileWords);
    BglAirportReading reading("C:/Community/pkg/scenery/a.bgl", log);
    readBglAirportStands(ref, fileWords, airport, reading);
    result.airports.push_back(std::move(airport));
  });
  result.logLines = log.takeLines();
  return result;
}

std::vector<std::string> standIds(const ApfRecord& airport) {
  std::vector<std::string> ids;
  for (const ParkingPosition& stand : airport.stands) {
    ids.push_back(stand.name);
  }
  return ids;
}

std::string oneAirport(std::vector<std::string> subRecords) {
  return bglFile({bglAirport(BglAirportSpec{"EHAM", 0, std::move(subRecords)})});
}

TEST(BglIdentifier, OnlyFourCharactersWithoutBlankAreValid) {
  const std::pair<std::string, bool> cases[] = {
      {"EHAM", true}, {"K1O5", true}, {"EHA", false}, {"EHAMX", false}, {"EH M", false}};
  for (const auto& [code, wanted] : cases) {
    bool valid = !wanted;
    EXPECT_EQ(lf_decodeIdentifierOrRegionCode(packBglIdentifier(code), valid), code);
    EXPECT_EQ(valid, wanted) << code;
  }
  // The digits 16, 19, 12, 24 in base 38, shifted left by 5.
  bool valid = false;
  EXPECT_EQ(lf_decodeIdentifierOrRegionCode(((16U * 38 + 19) * 38 + 12) * 38 * 32 + 24 * 32, valid), "EHAM");
}

TEST(BglAltitude, FeetInsideMinus20To10000AreKept) {
  const std::pair<std::int32_t, std::int32_t> millimetresToFeet[] = {
      {-11000, 0}, {-6000, -20}, {3048000, 10000}, {3048400, 0}, {0, 0}};
  for (const auto& [millimetres, feet] : millimetresToFeet) {
    const auto read = readAirports(bglFile({bglAirport(BglAirportSpec{"EHAM", millimetres, {}})}));
    ASSERT_EQ(read.airports.size(), 1U);
    EXPECT_EQ(read.airports[0].altitudeFeet, feet) << millimetres;
  }
}

TEST(BglReader, ReturnsHelipadsAndParkingsAsWritten) {
  const auto read = readAirports(oneAirport({
      bglHelipad({52.31, 4.77, 30.0F}),
      bglHelipad({52.32, 4.78, 20.0F}),
      bglParkingList({
          {10, 12, 5, 40.0F, 90.0F, 52.301, 4.761, 2},   // g12, cargo ramp, with airline codes
          {12, 5, 8, 25.0F, 0.0F, 52.302, 4.762, 0},     // A5, gate, heading 0
          {1, 7, 0, 25.0F, 10.0F, 52.303, 4.763, 0},     // type 0: not taken
          {2, 3, 14, 1.0F, 10.0F, 52.304, 4.764, 0},     // radius 1.0: skipped
          {3, 4, 14, 200.0F, 10.0F, 52.305, 4.765, 0},   // radius 200.0: skipped
          {4, 9, 1, 15.0F, 180.0F, 0.00005, 0.00005, 0}, // no position
      }),
  }));
  ASSERT_EQ(read.airports.size(), 1U);
  const ApfRecord& eham = read.airports[0];
  EXPECT_EQ(eham.icao, "EHAM");
  ASSERT_THAT(standIds(eham), ElementsAre("helipad1", "helipad2", "g12", "A5"));
  const ParkingPosition& helipad = eham.stands[0];
  EXPECT_TRUE(helipad.heli);
  EXPECT_NEAR(helipad.latitude, 52.31, 1e-6);
  EXPECT_NEAR(helipad.longitude, 4.77, 1e-6);
  EXPECT_NEAR(helipad.radius * 1852.0, 15.0, 1e-9);
  const ParkingPosition& g12 = eham.stands[2];
  EXPECT_NEAR(g12.latitude, 52.301, 1e-6);
  EXPECT_NEAR(g12.longitude, 4.761, 1e-6);
  EXPECT_NEAR(g12.heading, std::numbers::pi / 2, 1e-9);
  EXPECT_NEAR(g12.radius * 1852.0, 40.0, 1e-9);
  EXPECT_TRUE(g12.cargo && g12.ramp && !g12.heli);
  const ParkingPosition& a5 = eham.stands[3];
  EXPECT_DOUBLE_EQ(a5.heading, 2 * std::numbers::pi);
  EXPECT_FALSE(a5.cargo || a5.ramp || a5.heli);
  EXPECT_THAT(read.logLines, ElementsAre("Skipped position with radius 1.0 m in C:/Community/pkg/scenery/a.bgl",
                                         "Skipped position with radius 200.0 m in C:/Community/pkg/scenery/a.bgl",
                                         "LatLon 0.000050,0.000050 invalid (skipped)"));
}

TEST(BglReader, SharedNamesAreRenamedByDecreasingRadiusAndAnEighthIsSkipped) {
  const auto three = readAirports(oneAirport({bglParkingList({
      {10, 12, 1, 10.0F, 1.0F, 52.301, 4.761, 0},
      {10, 12, 1, 30.0F, 1.0F, 52.302, 4.762, 0},
      {10, 12, 1, 20.0F, 1.0F, 52.303, 4.763, 0},
  })}));
  const ApfRecord& eham = three.airports.at(0);
  ASSERT_THAT(standIds(eham), ElementsAre("g12b", "g12", "g12a"));
  EXPECT_NEAR(eham.stands[1].radius * 1852.0, 30.0, 1e-9);

  const std::vector<BglParkingSpec> eight(8, BglParkingSpec{10, 12, 1, 20.0F, 1.0F, 52.301, 4.761, 0});
  const auto read = readAirports(oneAirport({bglParkingList(eight)}));
  EXPECT_EQ(read.airports.at(0).stands.size(), 7U);
  EXPECT_THAT(read.logLines,
              ElementsAre("===> Warning: more than 6 duplicate IDs g12 in C:/Community/pkg/scenery/a.bgl"));
}

TEST(BglReader, DoubleHelipadAndEverythingAfterTheFirstParkingListAreLeftOut) {
  const auto read = readAirports(oneAirport({
      bglHelipad({52.31, 4.77, 30.0F}),
      bglHelipad({52.31, 4.77, 30.0F}),
      bglHelipad({52.33, 4.79, 30.0F}),
      bglParkingList({{10, 1, 1, 20.0F, 1.0F, 52.301, 4.761, 0}}),
      bglHelipad({52.35, 4.80, 30.0F}),
      bglParkingList({{10, 2, 1, 20.0F, 1.0F, 52.302, 4.762, 0}}),
  }));
  EXPECT_THAT(standIds(read.airports.at(0)), ElementsAre("helipad1", "helipad2", "g1"));
  EXPECT_THAT(read.logLines, ElementsAre(HasSubstr("double helipad")));
}

TEST(BglReader, RecordUnrecognisedEndsTheFileOnlyForMsfs2024) {
  const std::string bytes = bglFile({bglRecord(0x0113, std::string(10, '\0')), bglAirport({})});
  const auto msfs2024 = readAirports(bytes, false);
  EXPECT_EQ(msfs2024.end, BglWalkEnd::UnrecognisedAirport);
  EXPECT_TRUE(msfs2024.airports.empty());
  const auto msfs2020 = readAirports(bytes, true);
  EXPECT_EQ(msfs2020.end, BglWalkEnd::Done);
  EXPECT_EQ(msfs2020.airports.size(), 1U);
}

// A damaged file ends that file: it is passed over, or read up to the damage
// and then refused with an out-of-range error. It never hangs or crashes.
TEST(BglReader, DamagedFilesEndThatFileOnly) {
  const std::string good = oneAirport({bglParkingList({{10, 1, 1, 20.0F, 1.0F, 52.301, 4.761, 0}})});
  const std::size_t airport = kBglFirstRecordOffset;
  const std::size_t parkingList = airport + 68;
  auto damaged = [&good](std::size_t offset, std::uint32_t value) {
    std::string bytes = good;
    putU32(bytes, offset, value);
    return bytes;
  };
  std::string hugeParkingCount = good;
  putU16(hugeParkingCount, parkingList + 6, 0xFFFF);
  const struct {
    const char* what;
    std::string bytes;
    std::size_t airports;
    std::size_t stands;
    bool throws;
  } cases[] = {
      {"empty file", "", 0, 0, true},
      {"record size 0", damaged(airport + 2, 0), 0, 0, false},
      {"record size 1", damaged(airport + 2, 1), 0, 0, false},
      {"record size 3", damaged(airport + 2, 3), 0, 0, false},
      {"sub-record size 2", damaged(parkingList + 2, 2), 1, 0, false},
      {"record size past the end", damaged(airport + 2, 0x7FFFFFF0), 1, 1, false},
      {"sub-record size past the end", damaged(parkingList + 2, 0xFFFFFFF0), 1, 1, false},
      {"parking count past the end", hugeParkingCount, 1, 1, false},
      {"section count past the end", damaged(20, 0xFFFFFFFF), 1, 1, false},
      {"subsection table past the end", damaged(56 + 12, 0xFFFFFFF0), 0, 0, true},
      {"records past the end", damaged(76 + 8, 0xFFFFFFF0), 0, 0, false},
      {"header size 0x3C", damaged(4, 0x3C), 0, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.throws) {
      EXPECT_THROW(readAirports(c.bytes), std::out_of_range);
      continue;
    }
    const auto read = readAirports(c.bytes);
    ASSERT_EQ(read.airports.size(), c.airports);
    if (c.airports > 0) {
      EXPECT_EQ(read.airports[0].stands.size(), c.stands);
    }
  }
  for (std::size_t length = 15; length <= 55; ++length) {
    EXPECT_NO_THROW(readAirports(good.substr(0, length))) << length;
  }
}

#ifdef _WIN32
// Reads the file on a thread of its own and tells whether the reading came
// back within the limit: a walk that does not stop on a record spins for
// ever (Windows has no fork(); such a thread is ended with the process).
bool readingComesBack(const std::string& bytes) {
  const auto done = std::make_shared<std::atomic<bool>>(false);
  std::thread([bytes, done] {
    try {
      readAirports(bytes);
    } catch (...) {
    }
    done->store(true);
  }).detach();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (!done->load()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}
#else
// Reads the file in a child process and tells whether the reading came back
// within the limit: a walk that does not stop on a record spins for ever.
bool readingComesBack(const std::string& bytes) {
  const pid_t child = fork();
  if (child == 0) {
    try {
      readAirports(bytes);
    } catch (...) {
    }
    std::_Exit(0);
  }
  if (child < 0) {
    ADD_FAILURE() << "fork failed";
    return false;
  }
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
#endif

// A record or sub-record whose size is below the smallest record (its own
// header) ends the walk that meets it, in each walk: the file's records and
// an airport's sub-records, whatever the record is.
TEST(BglReader, ARecordSmallerThanItsHeaderEndsEveryWalk) {
  const std::string parkings = bglParkingList({{10, 1, 1, 20.0F, 1.0F, 52.301, 4.761, 0}});
  const std::size_t firstSubRecord = kBglFirstRecordOffset + 68;
  auto sized = [](std::string bytes, std::size_t recordOffset, std::uint32_t sizeBytes) {
    putU32(bytes, recordOffset + 2, sizeBytes);
    return bytes;
  };
  const std::string helipadFirst = oneAirport({bglHelipad({52.31, 4.77, 30.0F}), parkings});
  const std::string unknownFirst = oneAirport({bglRecord(0x0019, std::string(10, '\0')), parkings});
  const std::string recordBeforeAirport =
      bglFile({bglRecord(0x0001, std::string(10, '\0')), bglAirport(BglAirportSpec{"EHAM", 0, {parkings}})});
  const struct {
    const char* what;
    std::string bytes;
    std::size_t airports;
  } cases[] = {
      {"helipad of size 2", sized(helipadFirst, firstSubRecord, 2), 1},
      {"helipad of size 0", sized(helipadFirst, firstSubRecord, 0), 1},
      {"unknown sub-record of size 3", sized(unknownFirst, firstSubRecord, 3), 1},
      {"unknown sub-record of size 5", sized(unknownFirst, firstSubRecord, 5), 1},
      {"record of size 2 before the airport", sized(recordBeforeAirport, kBglFirstRecordOffset, 2), 0},
      {"record of size 5 before the airport", sized(recordBeforeAirport, kBglFirstRecordOffset, 5), 0},
      {"airport record of size 2", sized(recordBeforeAirport, kBglFirstRecordOffset + 16, 2), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(readingComesBack(c.bytes));
    const auto read = readAirports(c.bytes);
    ASSERT_EQ(read.airports.size(), c.airports);
    if (c.airports > 0) {
      EXPECT_TRUE(read.airports[0].stands.empty());  // the parking list after it is never reached
    }
  }
  // The same files whole are read to their parking list.
  for (const std::string* whole : {&helipadFirst, &unknownFirst}) {
    const auto read = readAirports(*whole);
    ASSERT_EQ(read.airports.size(), 1U);
    EXPECT_THAT(standIds(read.airports[0]), ::testing::Contains("g1"));
  }
  EXPECT_EQ(readAirports(recordBeforeAirport).airports.size(), 1U);
}

TEST(BglFile, DamagedFileLowersTheWorkerCountOnceAndPassesTheErrorOn) {
  TempFolder folder;
  setWorkerLimit(4);
  const std::string header = bglFile({bglAirport({})});
  const std::pair<std::string, bool> throwingWhenRead[] = {
      {"", true}, {header.substr(0, 3), true}, {header.substr(0, 40), false}, {header, false}};
  for (const auto& [bytes, throws] : throwingWhenRead) {
    writeFile(folder / "x.bgl", bytes);
    workerStarted();
    int airports = 0;
    BglFileHandlers handlers;
    handlers.onAirport = [&airports](const BglAirportRecordRef&, const BglWords&, const std::string&) { ++airports; };
    if (throws) {
      EXPECT_THROW(lf_processBGLfile((folder / "x.bgl").string(), handlers), std::out_of_range);
    } else {
      lf_processBGLfile((folder / "x.bgl").string(), handlers);
    }
    EXPECT_EQ(runningWorkers(), 0);
    EXPECT_EQ(airports, bytes == header ? 1 : 0);
  }
  workerStarted();
  EXPECT_NO_THROW(lf_processBGLfile((folder / "missing.bgl").string(), {}));
  EXPECT_EQ(runningWorkers(), 0) << "a missing file lowers the count too";
}

TEST(BglFile, AirportSectionTestReadsOnlyWholeHeaders) {
  TempFolder folder;
  const std::string good = bglFile({bglAirport({})});
  std::string notAirport = good;
  putU32(notAirport, 56, 4);  // the section's type
  const std::pair<std::string, bool> cases[] = {
      {good, true}, {good.substr(0, 20), false}, {good.substr(0, 55), false}, {good.substr(0, 76), false},
      {notAirport, false}};
  for (const auto& [bytes, airport] : cases) {
    writeFile(folder / "a.bgl", bytes);
    EXPECT_EQ(bglHasAirportSection(folder / "a.bgl"), airport) << bytes.size();
  }
  EXPECT_FALSE(bglHasAirportSection(folder / "missing.bgl"));
}

}  // namespace
}  // namespace crv
