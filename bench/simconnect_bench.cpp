// The cost of the simulator stand-in itself under the link's heaviest load:
// one frame's position writes for 1,000 AI aircraft and the dispatch.

#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/simconnect/sim_installation.h"
#include "platform/simconnect/sim_standin.h"
#include "platform/simconnect/simconnect.h"

namespace {

constexpr int kAircraft = 1000;

void ignoreMessage(SIMCONNECT_RECV*, DWORD, void*) {}

// Definition 402: the eight position data of a live aircraft, as crvn writes them.
void definePositionBlock(HANDLE handle) {
  const char* names[] = {
      "Plane Latitude", "Plane Longitude", "Plane Pitch degrees", "Plane Bank degrees", "Plane Heading degrees true",
      "Plane Altitude", "Vertical Speed",  "Airspeed True"};
  const char* units[] = {"degree", "degree", "radians", "radians", "radians", "feet", "feet per second", "knots"};
  for (int index = 0; index < 8; ++index) {
    SimConnect_AddToDataDefinition(handle, 402, names[index], units[index], SIMCONNECT_DATATYPE_FLOAT64, 0.0F,
                                   SIMCONNECT_UNUSED);
  }
}

void positionWritesPerFrame(benchmark::State& state) {
  platform::StandInOptions options;
  options.recordCalls = state.range(0) != 0;
  // Without recording the stand-in runs as in a long run of crvn: no trace either.
  options.recordTrace = options.recordCalls;
  auto sim = std::make_shared<platform::SimulatorStandIn>(platform::SimWorld{}, options);
  platform::ScopedSimulator installed(sim);
  HANDLE handle = nullptr;
  SimConnect_Open(&handle, "CRVN", nullptr, 0, nullptr, 0);
  definePositionBlock(handle);
  SimConnect_SubscribeToSystemEvent(handle, 204, "Frame");
  for (int index = 0; index < kAircraft; ++index) {
    const std::string tail = "B" + std::to_string(index);
    SIMCONNECT_DATA_INITPOSITION position{47.4, 8.5, 3000.0, 0.0, 0.0, 90.0, 0, 0};
    SimConnect_AICreateNonATCAircraft(handle, "Title", tail.c_str(), position, 104);
  }
  SimConnect_CallDispatch(handle, &ignoreMessage, nullptr);
  double block[8] = {47.4, 8.5, 0.01, 0.0, 1.5, 3000.0, 5.0, 250.0};

  for (auto _ : state) {
    for (DWORD id = platform::kStandInFirstObjectId; id < platform::kStandInFirstObjectId + kAircraft; ++id) {
      SimConnect_SetDataOnSimObject(handle, 402, id, 0, 0, 64, block);
    }
    sim->advanceFrames(1);
    SimConnect_CallDispatch(handle, &ignoreMessage, nullptr);
    if (options.recordCalls) {
      state.PauseTiming();
      sim->clearCalls();
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(state.iterations() * kAircraft);
}
BENCHMARK(positionWritesPerFrame)->Arg(0)->Arg(1)->ArgName("recording")->Unit(benchmark::kMicrosecond);

// The same without recording, as in a run of crvn, where a frame comes 33 ms
// after the last one and the work in between has pushed the objects out of
// the caches: each frame starts cold.
void positionWritesPerColdFrame(benchmark::State& state) {
  platform::StandInOptions options;
  options.recordCalls = false;
  options.recordTrace = false;
  auto sim = std::make_shared<platform::SimulatorStandIn>(platform::SimWorld{}, options);
  platform::ScopedSimulator installed(sim);
  HANDLE handle = nullptr;
  SimConnect_Open(&handle, "CRVN", nullptr, 0, nullptr, 0);
  definePositionBlock(handle);
  // The objects come one by one over a long run, between the other
  // allocations of the program: each lands on a page of its own.
  std::vector<std::vector<char>> between;
  for (int index = 0; index < kAircraft; ++index) {
    const std::string tail = "B" + std::to_string(index);
    SIMCONNECT_DATA_INITPOSITION position{47.4, 8.5, 3000.0, 0.0, 0.0, 90.0, 0, 0};
    SimConnect_AICreateNonATCAircraft(handle, "Title", tail.c_str(), position, 104);
    between.emplace_back(8192, 1);
  }
  SimConnect_CallDispatch(handle, &ignoreMessage, nullptr);
  double block[8] = {47.4, 8.5, 0.01, 0.0, 1.5, 3000.0, 5.0, 250.0};
  std::vector<char> other(32 << 20, 1);  // more than the caches hold

  for (auto _ : state) {
    state.PauseTiming();
    for (std::size_t index = 0; index < other.size(); index += 64) other[index] = static_cast<char>(other[index] + 1);
    benchmark::DoNotOptimize(other.data());
    state.ResumeTiming();
    for (DWORD id = platform::kStandInFirstObjectId; id < platform::kStandInFirstObjectId + kAircraft; ++id) {
      SimConnect_SetDataOnSimObject(handle, 402, id, 0, 0, 64, block);
    }
  }
  state.SetItemsProcessed(state.iterations() * kAircraft);
}
BENCHMARK(positionWritesPerColdFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
