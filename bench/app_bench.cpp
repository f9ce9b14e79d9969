// The whole main job: the crvn program against the simulator stand-in (its
// world file) and the RealTraffic stand-in serving 1,000 aircraft around
// EHAM, for a fixed time. Measures the crvn process alone (the RealTraffic
// stand-in runs in this process): CPU time per second of run, as a share of
// one core, and the peak resident memory.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tools/rt-standin/rt_standin.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kAircraft = 1000;
constexpr auto kRunTime = 40s;

void writeText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

struct Sandbox {
  fs::path root = fs::temp_directory_path() / ("crvn-bench-" + std::to_string(::getpid()));
  fs::path program = root / "program";

  Sandbox() {
    fs::remove_all(root);
    fs::create_directories(program / "docs");
    fs::create_directories(program / "input");
    fs::create_directories(program / "output");
    fs::copy_file(CRVN_DBASE_ENC, program / "input" / "dbase.enc");
    fs::copy_file(CRVN_SOURCE_DIR "/data/airports_msfs.xml", program / "input" / "airports_msfs.xml");
    run(CRVN_LIVERYGEN " " CRVN_SOURCE_DIR "/data/dbase.xml " + (program / "output" / "LiveriesScanned.xml").string() +
        " 3000 > /dev/null");
    fs::create_directories(root / "msfs" / "Packages" / "Community");
    fs::create_directories(root / "msfs" / "Packages" / "Official");
    writeText(root / "roaming" / "CRVN" / "parameters.xml",
              "<parameters><parameter name=\"MSFS_INSTALL_PATH\" value=\"" + (root / "msfs" / "Packages").string() +
                  "\"/><parameter name=\"SCAN_LIVERIES\" value=\"false\"/>"
                  "<parameter name=\"SCAN_AIRPORTS\" value=\"false\"/>"
                  "<parameter name=\"AUTO_RANGE\" value=\"false\"/><parameter name=\"RANGE\" value=\"40\"/>"
                  "</parameters>\n");
    writeText(root / "world.json",
              "{\"simulator\": 2020, \"userAircraft\": {\"latitude\": 52.3086, \"longitude\": 4.7639, "
              "\"altitudeFeet\": -11, \"groundAltitudeFeet\": -11, \"onGround\": true, \"atcModel\": \"A320\", "
              "\"title\": \"Airbus A320 Neo Asobo\"}}\n");
    run("python3 " CRVN_SOURCE_DIR "/tools/rt-standin/make_scenario.py --airport EHAM --flights " +
        std::to_string(kAircraft) + " --parked 40 > " + (root / "scenario.json").string());
  }
  static void run(const std::string& command) {
    if (std::system(command.c_str()) != 0) {  // NOLINT(concurrency-mt-unsafe): one thread
      throw std::runtime_error(command + " failed");
    }
  }
  ~Sandbox() {
    // The last run's log stays for a look: <temp>/crvn-bench-Log.txt.
    std::error_code ignored;
    fs::copy_file(program / "Log.txt", fs::temp_directory_path() / "crvn-bench-Log.txt",
                  fs::copy_options::overwrite_existing, ignored);
    fs::remove_all(root);
  }
};

struct Usage {
  double cpuSeconds = 0.0;
  double peakRssMb = 0.0;
};

// Runs crvn for the time, then closes it as Ctrl-C does.
Usage runCrvn(const Sandbox& sandbox, const std::string& endpoint) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::setenv("CRVN_ROAMING_APPDATA", (sandbox.root / "roaming").c_str(), 1);
    ::setenv("CRVN_LOCAL_APPDATA", (sandbox.root / "local").c_str(), 1);
    ::setenv("CRVN_SIM_WORLD", (sandbox.root / "world.json").c_str(), 1);
    ::setenv("CRVN_RT_ENDPOINT", endpoint.c_str(), 1);
    ::setenv("CRVN_RT_KEY", "bench-key-0000", 1);
    ::setenv("XDG_RUNTIME_DIR", sandbox.root.c_str(), 1);
    ::unsetenv("DISPLAY");
    if (::chdir(sandbox.program.c_str()) != 0) {
      ::_exit(126);
    }
    const int devNull = ::open("/dev/null", O_WRONLY);
    ::dup2(devNull, STDOUT_FILENO);
    ::execl(CRVN_EXE, CRVN_EXE, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  std::this_thread::sleep_for(kRunTime);
  ::kill(child, SIGINT);
  int status = 0;
  rusage usage{};
  ::wait4(child, &status, 0, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return {seconds(usage.ru_utime) + seconds(usage.ru_stime), static_cast<double>(usage.ru_maxrss) / 1024.0};
}

void BM_MainJob1000Aircraft(benchmark::State& state) {
  const Sandbox sandbox;
  Usage usage;
  for (auto _ : state) {
    crv::standin::RtStandIn standIn;
    standIn.setScenario(crv::standin::Scenario::load(sandbox.root / "scenario.json"));
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
