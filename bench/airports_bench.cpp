// Stand searches on a generated airport of 400 stands with 2,000 usage
// entries.

#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "airports/stand_distances.h"
#include "airports/stand_names.h"
#include "airports/stand_search.h"
#include "airports/stand_table.h"

namespace {

using namespace crv;

constexpr GeoPoint kAirportCentre{52.3105, 4.7683};
constexpr int kStandCount = 400;
constexpr int kUsagePerStand = 5;
constexpr int kRows = 20;
constexpr double kStandSpacingMeters = 70.0;

GeoPoint offsetMeters(const GeoPoint& origin, double northMeters, double eastMeters) {
  const GeoPoint north = gf_destination(origin, 0.0, northMeters / kMetersPerNm * kFeetPerNm);
  return gf_destination(north, kFullCircle / 4.0, eastMeters / kMetersPerNm * kFeetPerNm);
}

const char* const kAirlines[] = {"KLM", "TRA", "EZY", "DLH", "BAW", "AFR", "UAE", "DAL"};
const char* const kTypes[] = {"B738", "A320", "A319", "E190", "B77W", "A333", "B789", "A21N"};

// 400 stands on a 20 x 20 grid: mostly gates, some ramp, cargo and helipad
// stands, radii from 10 to 40 m, and five usage entries each on random days
// and half hours. A quarter of the stands is occupied.
StandTable generatedAirport() {
  std::mt19937 random(20261206);
  std::uniform_real_distribution<double> radiusMeters(10.0, 40.0);
  std::uniform_int_distribution<int> day(1, 7);
  std::uniform_int_distribution<int> halfHour(0, 47);
  std::uniform_int_distribution<int> pick(0, 7);
  StandTable stands;
  stands.reserve(kStandCount);
  for (int index = 0; index < kStandCount; ++index) {
    const GeoPoint position = offsetMeters(kAirportCentre, (index / kRows) * kStandSpacingMeters,
                                           (index % kRows) * kStandSpacingMeters);
    const int kind = index % 40;
    const bool heli = kind == 39;
    const bool cargo = kind >= 35 && kind < 39;
    const bool ramp = kind >= 29 && kind < 37;
    std::vector<UsageEntry> usage;
    for (int use = 0; use < kUsagePerStand; ++use) {
      UsageEntry entry;
      entry.id = static_cast<std::uint32_t>(use + 1);
      entry.day = static_cast<std::uint32_t>(day(random));
      const int first = halfHour(random);
      for (int h = first; h < std::min(first + 4, kSlotsPerDay); ++h) {
        entry.hh.set(static_cast<std::size_t>(h));
      }
      entry.airl = kAirlines[pick(random)];
      entry.type = kTypes[pick(random)];
      entry.cs = entry.airl + std::to_string(100 + index);
      entry.kind = use == 4 ? kSoftUsage : kRealUsage;
      usage.push_back(std::move(entry));
    }
    stands.emplace_back("S" + std::to_string(index), std::move(usage),
                        std::array<double, 3>{position.latitude, position.longitude, 0.0}, radiusMeters(random),
                        !cargo, !ramp, !heli);
    stands.back().occupied = index % 4 == 1;
  }
  numberStandsAndFindNeighbours(stands);
  return stands;
}

std::vector<GeoPoint> positionsAroundStands(const StandTable& stands, double minMeters, double maxMeters) {
  std::mt19937 random(4711);
  std::uniform_int_distribution<std::size_t> stand(0, stands.size() - 1);
  std::uniform_real_distribution<double> distance(minMeters, maxMeters);
  std::uniform_real_distribution<double> course(0.0, kFullCircle);
  std::vector<GeoPoint> positions;
  for (int index = 0; index < 1024; ++index) {
    positions.push_back(gf_destination(stands[stand(random)].position(), course(random),
                                       distance(random) / kMetersPerNm * kFeetPerNm));
  }
  return positions;
}

StandAircraft aircraftOf(double halfSpanMeters, SizeCategory category, bool cargo) {
  StandAircraft aircraft;
  aircraft.callsign = "KLM123";
  aircraft.airline = "KLM";
  aircraft.type = "B738";
  aircraft.halfSpanNm = halfSpanMeters / kMetersPerNm;
  aircraft.category = category;
  aircraft.cargo = cargo;
  return aircraft;
}

// Searches from positions between minMeters and maxMeters off a stand, the
// stand name's own distance given by nameDistanceNm.
void nearestFreeStandFrom(benchmark::State& state, double minMeters, double maxMeters, double nameDistanceNm) {
  StandTable stands = generatedAirport();
  const auto positions = positionsAroundStands(stands, minMeters, maxMeters);
  const StandAircraft aircraft = aircraftOf(17.0, SizeCategory::Large, false);
  std::size_t next = 0;
  for (auto _ : state) {
    auto found = nearestFreeStand(stands, positions[next++ % positions.size()], aircraft, nameDistanceNm, true);
    benchmark::DoNotOptimize(found);
  }
}

void BM_NearestFreeStand(benchmark::State& state) { nearestFreeStandFrom(state, 0.0, 30.0, kStandNameDistanceNm); }
BENCHMARK(BM_NearestFreeStand);

void BM_NearestFreeStandUsageFallback(benchmark::State& state) {
  nearestFreeStandFrom(state, 25.0, 34.0, kTakeSmallStandNm);
}
BENCHMARK(BM_NearestFreeStandUsageFallback);

void collectCandidatesFor(benchmark::State& state, const StandAircraft& aircraft, std::string_view icao) {
  StandTable stands = generatedAirport();
  std::size_t slot = 0;
  for (auto _ : state) {
    const DaySlot daySlot{static_cast<int>(slot % 7) + 1, static_cast<int>(slot % kSlotsPerDay)};
    ++slot;
    auto found = collectStandCandidates(stands, daySlot, aircraft, true, icao);
    benchmark::DoNotOptimize(found);
  }
}

void BM_CollectStandCandidatesAirliner(benchmark::State& state) {
  collectCandidatesFor(state, aircraftOf(17.0, SizeCategory::Large, false), "EHAM");
}
BENCHMARK(BM_CollectStandCandidatesAirliner);

void BM_CollectStandCandidatesFreighter(benchmark::State& state) {
  collectCandidatesFor(state, aircraftOf(30.0, SizeCategory::Heavy, true), "EHAM");
}
BENCHMARK(BM_CollectStandCandidatesFreighter);

void BM_CollectStandCandidatesRotorcraft(benchmark::State& state) {
  collectCandidatesFor(state, aircraftOf(6.0, SizeCategory::Rotorcraft, false), "EHAM");
}
BENCHMARK(BM_CollectStandCandidatesRotorcraft);

void BM_StandNameAtPosition(benchmark::State& state) {
  const StandTable stands = generatedAirport();
  StandNameIndex index;
  index.publish(stands);
  const auto positions = positionsAroundStands(stands, 0.0, 60.0);
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(index.nameAt(positions[next++ % positions.size()], true));
  }
}
BENCHMARK(BM_StandNameAtPosition);

}  // namespace

BENCHMARK_MAIN();
