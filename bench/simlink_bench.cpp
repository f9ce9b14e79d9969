// The per-frame flush of the simulator link with 1,000 position updates,
// against the simulator stand-in (without its call recording).

#include <cstdint>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/simconnect/sim_installation.h"
#include "platform/simconnect/sim_standin.h"
#include "simlink/sim_definitions.h"
#include "simlink/sim_link.h"

namespace {

void dropMessages(SIMCONNECT_RECV*, DWORD, void*) {}

void BM_FlushThousandPositions(benchmark::State& state) {
  platform::StandInOptions options;
  options.recordCalls = false;
  auto sim = std::make_shared<platform::SimulatorStandIn>(platform::SimWorld{}, options);
  platform::ScopedSimulator installed(sim);
  crv::SimQueues queues;
  crv::SimLink link(queues, {});
  link.reserveSession();
  if (!link.connection().open()) {
    state.SkipWithError("no connection");
    return;
  }
  crv::setupSimConnect(link.connection().handle());

  const auto count = static_cast<std::size_t>(state.range(0));
  std::vector<std::uint32_t> objects;
  objects.reserve(count);
  for (std::size_t index = 0; index < count; ++index) {
    platform::SimObjectState aircraft = sim->userAircraft();
    aircraft.latitudeDegrees += 0.0001 * static_cast<double>(index);
    objects.push_back(sim->addForeignObject(aircraft));
  }
  SimConnect_CallDispatch(link.connection().handle(), &dropMessages, nullptr);

  crv::AiPositionBlock block;
  block.latitude = 47.5;
  block.longitude = 8.5;
  block.altitudeFeet = 3000.0;
  for (auto _ : state) {
    for (const std::uint32_t objectId : objects) {
      queues.appendPosition(block, objectId);
    }
    queues.swapPositionBuffers();
    link.flush().onSimFrame();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(count));
  link.connection().close();
}
BENCHMARK(BM_FlushThousandPositions)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
