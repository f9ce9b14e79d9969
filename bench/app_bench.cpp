// The whole main job: the crvn program against the simulator stand-in (its
// world file) and the RealTraffic stand-in serving 1,000 aircraft around
// EHAM, for a fixed time. Measures the crvn process alone (the RealTraffic
// stand-in runs in this process): CPU time per second of run, as a share of
// one core, and the peak resident memory.

#include <benchmark/benchmark.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <string>
#include <thread>

#include "bench/crvn_sandbox.h"
#include "tools/rt-standin/rt_standin.h"

namespace {

using namespace std::chrono_literals;

constexpr int kAircraft = 1000;
constexpr auto kRunTime = 40s;

struct Usage {
  double cpuSeconds = 0.0;
  double peakRssMb = 0.0;
};

// Runs crvn for the time, then closes it as Ctrl-C does.
Usage runCrvn(const crv::bench::CrvnSandbox& sandbox, const std::string& endpoint) {
  const pid_t child = crv::bench::startCrvn(sandbox, CRVN_EXE, endpoint, "/dev/null");
  std::this_thread::sleep_for(kRunTime);
  ::kill(child, SIGINT);
  int status = 0;
  rusage usage{};
  ::wait4(child, &status, 0, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return {seconds(usage.ru_utime) + seconds(usage.ru_stime), static_cast<double>(usage.ru_maxrss) / 1024.0};
}

void BM_MainJob1000Aircraft(benchmark::State& state) {
  const crv::bench::CrvnSandbox sandbox("--flights " + std::to_string(kAircraft) + " --parked 40");
  Usage usage;
  for (auto _ : state) {
    crv::standin::RtStandIn standIn;
    standIn.setScenario(crv::standin::Scenario::load(sandbox.scenarioFile()));
    standIn.setPace(2000, 10000);
    usage = runCrvn(sandbox, standIn.endpoint());
    state.SetIterationTime(std::chrono::duration<double>(kRunTime).count());
  }
  const double runSeconds = std::chrono::duration<double>(kRunTime).count();
  state.counters["cpu_percent_of_core"] = 100.0 * usage.cpuSeconds / runSeconds;
  state.counters["peak_rss_MB"] = usage.peakRssMb;
}
BENCHMARK(BM_MainJob1000Aircraft)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
