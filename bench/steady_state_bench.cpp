// The main job in steady state: crvn against the simulator stand-in and the
// RealTraffic stand-in serving 1,000 flights that stay within range for the
// whole run, plus 300 parked aircraft around EHAM. Each run waits until
// every aircraft is in the simulator (creates are paced, so this takes some
// ten minutes), then measures a window of two minutes:
//   cpu_percent_of_core      CPU time of the crvn process (every thread)
//                            per second of the window, in % of one core;
//   standin_percent_of_core  the part of it spent in the simulator
//                            stand-in, from a perf profile of the window:
//                            samples whose innermost frame of ours is a
//                            SimConnect call count for the stand-in, those
//                            inside the dispatch procedure for the product;
//   product_percent_of_core  the rest: crvn's own cost;
//   idle_1ms_loop_percent_of_core
//                            what a thread of this benchmark that only
//                            sleeps 1 ms and wakes, as crvn's SimClient
//                            loop does between dispatches, used through the
//                            same window: the floor under crvn's own figure
//                            on this machine (timer wake-ups cost far more
//                            in a virtual machine than on a desktop);
//   product_above_idle_loop_percent_of_core
//                            crvn's own cost less that floor;
//   peak_rss_MB              the process's peak resident memory;
//   live, static, fill_s     what was in the simulator (live aircraft
//                            standing on stands are not counted as live),
//                            and how long the filling took.
// Counters are medians over the runs, which go side by side (each its own
// process, sandbox and RealTraffic stand-in), as CPU time of a process does
// not depend on how busy the machine is. It takes a quarter of an hour: run
// it on request (scripts/bench --steady).
//
// Options (before Google Benchmark's own):
//   --runs=N        runs side by side (3)
//   --window_s=S    the measured window (120)
//   --crvn=PATH     another crvn executable, e.g. a copy of an earlier build
//   --no_perf       no profile: the stand-in's share is not measured
//   --flights=N     live flights (1000) and
//   --parked=N      parked aircraft (300): fewer fill the simulator sooner,
//                   for a quick look at a profile
// Each run's profile stays as <temp>/crvn-steady-<pid>-<n>.perf.data, and the
// five functions with the most samples of the first run are printed, with
// what each thread of the first run used through the window.

#include <benchmark/benchmark.h>

#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/crvn_sandbox.h"
#include "bench/perf_attribution.h"
#include "tools/rt-standin/rt_standin.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The filling also ends when the objects in the simulator (created less
// removed: the live count leaves out live aircraft standing on stands) have
// not grown in number for this long, as some flights are removed and
// created again on their way and the product may show fewer parked aircraft
// than it is given; the counters tell how many were in.
constexpr auto kStalledFill = 60s;
constexpr auto kLongestFill = 25min;

struct Options {
  int runs = 3;
  std::chrono::seconds window{120};
  std::string crvn = CRVN_EXE;
  bool perf = true;
  int flights = 1000;
  int parked = 300;
};
Options options;

// One summary line of crvn: "12:00:31  live 41  static 12  created 53 ...".
struct Summary {
  int live = 0;
  int statics = 0;
  int created = 0;
  int removed = 0;
};

std::optional<Summary> lastSummary(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  in.seekg(0, std::ios::end);
  const auto size = static_cast<std::streamoff>(in.tellg());
  const std::streamoff tail = std::min<std::streamoff>(size, 400);
  in.seekg(size - tail);
  std::string text(static_cast<std::size_t>(tail), '\0');
  in.read(text.data(), tail);
  const auto end = text.rfind('\n');
  if (end == std::string::npos) return std::nullopt;
  const auto begin = text.rfind('\n', end == 0 ? 0 : end - 1);
  const std::size_t first = begin == std::string::npos ? 0 : begin + 1;
  const std::string line = text.substr(first, end - first);
  const auto live = line.find("live ");
  Summary summary;
  if (live == std::string::npos || std::sscanf(line.c_str() + live, "live %d static %d created %d removed %d",
                                               &summary.live, &summary.statics, &summary.created,
                                               &summary.removed) != 4) {
    return std::nullopt;
  }
  return summary;
}

// CPU seconds of a process (all threads) so far.
double cpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The fields after the command's closing parenthesis; utime and stime
  // are fields 14 and 15 of the line.
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  double ticks = 0.0;
  for (int number = 3; number <= 15 && fields >> field; ++number) {
    if (number >= 14) ticks += std::stod(field);
  }
  return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// What one thread of a process has used so far.
struct ThreadUse {
  std::string name;
  double cpuSeconds = 0.0;
  long wakeUps = 0;     // voluntary context switches: the thread slept and woke
  long preempted = 0;   // involuntary ones
};

std::map<std::string, ThreadUse> threadUses(pid_t pid) {
  std::map<std::string, ThreadUse> uses;
  std::error_code error;
  for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
    ThreadUse use;
    std::ifstream stat(task.path() / "stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto open = text.find('(');
    const auto close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    use.name = text.substr(open + 1, close - open - 1);
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    for (int number = 3; number <= 15 && fields >> field; ++number) {
      if (number >= 14) use.cpuSeconds += std::stod(field) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }
    std::ifstream status(task.path() / "status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.starts_with("voluntary_ctxt_switches:")) use.wakeUps = std::stol(line.substr(24));
      if (line.starts_with("nonvoluntary_ctxt_switches:")) use.preempted = std::stol(line.substr(27));
    }
    uses[task.path().filename().string()] = use;
  }
  return uses;
}

// "SimClient  1.62 % of a core, 926 wake-ups/s, 0.1 preempted/s" for each
// thread that ran through the window.
std::vector<std::string> threadLines(const std::map<std::string, ThreadUse>& before,
                                     const std::map<std::string, ThreadUse>& after, double seconds) {
  std::vector<std::string> lines;
  for (const auto& [id, end] : after) {
    const auto start = before.find(id);
    if (start == before.end()) continue;
    char line[160];
    std::snprintf(line, sizeof(line), "%-16s %5.2f %% of a core, %6.1f wake-ups/s, %5.1f preempted/s",
                  end.name.c_str(), 100.0 * (end.cpuSeconds - start->second.cpuSeconds) / seconds,
                  static_cast<double>(end.wakeUps - start->second.wakeUps) / seconds,
                  static_cast<double>(end.preempted - start->second.preempted) / seconds);
    lines.emplace_back(line);
  }
  return lines;
}

double peakRssMb(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.starts_with("VmHWM:")) return std::stod(line.substr(6)) / 1024.0;
  }
  return 0.0;
}

pid_t startPerf(pid_t target, const fs::path& dataFile) {
  const std::string pid = std::to_string(target);
  const std::string output = dataFile.string();
  const pid_t child = ::fork();
  if (child != 0) return child;
  const char* arguments[] = {"perf", "record", "-q", "-e", "cpu-clock", "-F", "499", "--call-graph", "dwarf,16384",
                             "-p", pid.c_str(), "-o", output.c_str(), nullptr};
  ::execvp("perf", const_cast<char* const*>(arguments));
  ::_exit(127);
}

bool perfWorks() {
  return std::system("perf record -q -e cpu-clock -o /dev/null true > /dev/null 2>&1") == 0;  // NOLINT
}

// A thread that sleeps 1 ms and wakes, over and over, as crvn's SimClient
// loop does when the simulator has nothing for it.
class IdleMillisecondLoop {
 public:
  IdleMillisecondLoop()
      : thread_([](const std::stop_token& stop) {
          while (!stop.stop_requested()) std::this_thread::sleep_for(1ms);
        }) {
    if (::pthread_getcpuclockid(thread_.native_handle(), &clock_) != 0) clock_ = CLOCK_THREAD_CPUTIME_ID;
  }

  double cpuSeconds() const {
    timespec used{};
    ::clock_gettime(clock_, &used);
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) / 1e9;
  }

 private:
  std::jthread thread_;
  clockid_t clock_{};
};

struct RunResult {
  double cpuPercent = 0.0;
  double idleLoopPercent = 0.0;
  std::optional<double> standInPercent;
  double peakRssMb = 0.0;
  Summary summary;
  double fillSeconds = 0.0;
  std::vector<std::string> topFunctions;
  std::vector<std::string> threads;
};

// One run: its sandbox, its RealTraffic stand-in and its crvn, moved along
// by poll() once a second.
class SteadyRun {
 public:
  SteadyRun(int number, const IdleMillisecondLoop& idleLoop)
      : number_(number),
        idleLoop_(idleLoop),
        sandbox_("--flights " + std::to_string(options.flights) + " --parked " + std::to_string(options.parked) +
                     " --steady-minutes 45",
                 "-steady-" + std::to_string(number), true) {
    standIn_.setScenario(crv::standin::Scenario::load(sandbox_.scenarioFile()));
    standIn_.setPace(2000, 10000);
  }
  ~SteadyRun() { stopCrvn(); }

  void start() {
    startedAt_ = Clock::now();
    lastProgressAt_ = startedAt_;
    crvn_ = crv::bench::startCrvn(sandbox_, options.crvn, standIn_.endpoint(), summaryFile());
  }

  // True when the run is over.
  bool poll() {
    const auto now = Clock::now();
    if (const auto summary = lastSummary(summaryFile())) {
      if (summary->created - summary->removed > mostInSimulator_) {
        mostInSimulator_ = summary->created - summary->removed;
        lastProgressAt_ = now;
      }
      result_.summary = *summary;
    }
    if (!windowStartedAt_) {
      const bool full = result_.summary.created - result_.summary.removed >= options.flights + options.parked;
      const bool stalled = mostInSimulator_ > 0 && now - lastProgressAt_ > kStalledFill;
      if (full || stalled || now - startedAt_ > kLongestFill) startWindow(now);
      return false;
    }
    if (now - *windowStartedAt_ < options.window) return false;
    endWindow(now);
    return true;
  }

  const RunResult& result() const { return result_; }

 private:
  fs::path summaryFile() const { return sandbox_.root / "summary.txt"; }
  fs::path perfFile() const {
    return fs::temp_directory_path() /
           ("crvn-steady-" + std::to_string(::getpid()) + "-" + std::to_string(number_) + ".perf.data");
  }

  void startWindow(Clock::time_point now) {
    result_.fillSeconds = std::chrono::duration<double>(now - startedAt_).count();
    if (options.perf) perf_ = startPerf(crvn_, perfFile());
    windowStartedAt_ = now;
    cpuAtWindowStart_ = cpuSeconds(crvn_);
    idleLoopAtWindowStart_ = idleLoop_.cpuSeconds();
    threadsAtWindowStart_ = threadUses(crvn_);
  }

  void endWindow(Clock::time_point now) {
    const double cpu = cpuSeconds(crvn_) - cpuAtWindowStart_;
    const double seconds = std::chrono::duration<double>(now - *windowStartedAt_).count();
    result_.cpuPercent = 100.0 * cpu / seconds;
    result_.idleLoopPercent = 100.0 * (idleLoop_.cpuSeconds() - idleLoopAtWindowStart_) / seconds;
    result_.peakRssMb = peakRssMb(crvn_);
    result_.threads = threadLines(threadsAtWindowStart_, threadUses(crvn_), seconds);
    if (perf_ > 0) {
      ::kill(perf_, SIGINT);
      int status = 0;
      ::waitpid(perf_, &status, 0);
      const auto profile = crv::bench::attributeProfile(perfFile());
      if (profile.samples > 0) {
        result_.standInPercent = result_.cpuPercent * static_cast<double>(profile.standInSamples) /
                                 static_cast<double>(profile.samples);
      }
      result_.topFunctions = crv::bench::topFunctions(perfFile(), 5);
    }
    stopCrvn();
  }

  void stopCrvn() {
    if (crvn_ <= 0) return;
    ::kill(crvn_, SIGINT);
    int status = 0;
    ::waitpid(crvn_, &status, 0);
    crvn_ = 0;
  }

  int number_;
  const IdleMillisecondLoop& idleLoop_;
  crv::bench::CrvnSandbox sandbox_;
  crv::standin::RtStandIn standIn_;
  pid_t crvn_ = 0;
  pid_t perf_ = 0;
  Clock::time_point startedAt_;
  Clock::time_point lastProgressAt_;
  std::optional<Clock::time_point> windowStartedAt_;
  double cpuAtWindowStart_ = 0.0;
  double idleLoopAtWindowStart_ = 0.0;
  std::map<std::string, ThreadUse> threadsAtWindowStart_;
  int mostInSimulator_ = 0;  // created less removed, the most so far
  RunResult result_;
};

double median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

void BM_MainJobSteadyState(benchmark::State& state) {
  std::vector<RunResult> results;
  const IdleMillisecondLoop idleLoop;
  for (auto _ : state) {
    std::vector<std::unique_ptr<SteadyRun>> runs;
    for (int number = 0; number < options.runs; ++number) runs.push_back(std::make_unique<SteadyRun>(number, idleLoop));
    for (auto& run : runs) run->start();
    std::vector<bool> over(runs.size(), false);
    while (std::count(over.begin(), over.end(), true) < static_cast<long>(runs.size())) {
      std::this_thread::sleep_for(1s);
      for (std::size_t index = 0; index < runs.size(); ++index) {
        if (!over[index]) over[index] = runs[index]->poll();
      }
    }
    for (const auto& run : runs) results.push_back(run->result());
    state.SetIterationTime(std::chrono::duration<double>(options.window).count());
  }
  const auto medianOf = [&](auto field) {
    std::vector<double> values;
    for (const RunResult& result : results) {
      if (const std::optional<double> value = field(result)) values.push_back(*value);
    }
    return median(values);
  };
  state.counters["cpu_percent_of_core"] = medianOf([](const RunResult& r) { return std::optional(r.cpuPercent); });
  if (options.perf) {
    state.counters["standin_percent_of_core"] = medianOf([](const RunResult& r) { return r.standInPercent; });
    state.counters["product_percent_of_core"] = medianOf([](const RunResult& r) {
      return r.standInPercent ? std::optional(r.cpuPercent - *r.standInPercent) : std::nullopt;
    });
  }
  state.counters["idle_1ms_loop_percent_of_core"] =
      medianOf([](const RunResult& r) { return std::optional(r.idleLoopPercent); });
  if (options.perf) {
    state.counters["product_above_idle_loop_percent_of_core"] = medianOf([](const RunResult& r) {
      return r.standInPercent ? std::optional(r.cpuPercent - *r.standInPercent - r.idleLoopPercent) : std::nullopt;
    });
  }
  state.counters["peak_rss_MB"] = medianOf([](const RunResult& r) { return std::optional(r.peakRssMb); });
  state.counters["live"] = medianOf([](const RunResult& r) { return std::optional<double>(r.summary.live); });
  state.counters["static"] = medianOf([](const RunResult& r) { return std::optional<double>(r.summary.statics); });
  state.counters["fill_s"] = medianOf([](const RunResult& r) { return std::optional(r.fillSeconds); });
  for (std::size_t index = 0; index < results.size(); ++index) {
    const RunResult& r = results[index];
    std::fprintf(stderr,
                 "run %zu: cpu %.2f %%, stand-in %.2f %%, idle 1 ms loop %.2f %%, peak RSS %.1f MB, live %d, "
                 "static %d, fill %.0f s\n",
                 index, r.cpuPercent, r.standInPercent.value_or(-1.0), r.idleLoopPercent, r.peakRssMb, r.summary.live,
                 r.summary.statics, r.fillSeconds);
  }
  if (!results.empty()) {
    std::fprintf(stderr, "threads of run 0 through the window:\n");
    for (const std::string& line : results.front().threads) std::fprintf(stderr, "  %s\n", line.c_str());
    std::fprintf(stderr, "top functions of run 0 (share of its samples):\n");
    for (const std::string& line : results.front().topFunctions) std::fprintf(stderr, "  %s\n", line.c_str());
  }
}
BENCHMARK(BM_MainJobSteadyState)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

// Takes this benchmark's own options out of the arguments.
void readOptions(int& argc, char** argv) {
  int kept = 1;
  for (int index = 1; index < argc; ++index) {
    const std::string_view argument(argv[index]);
    if (argument.starts_with("--runs=")) {
      options.runs = std::max(1, std::atoi(argv[index] + 7));
    } else if (argument.starts_with("--window_s=")) {
      options.window = std::chrono::seconds(std::max(1, std::atoi(argv[index] + 11)));
    } else if (argument.starts_with("--crvn=")) {
      options.crvn = std::string(argument.substr(7));
    } else if (argument.starts_with("--flights=")) {
      options.flights = std::max(1, std::atoi(argv[index] + 10));
    } else if (argument.starts_with("--parked=")) {
      options.parked = std::max(0, std::atoi(argv[index] + 9));
    } else if (argument == "--no_perf") {
      options.perf = false;
    } else {
      argv[kept++] = argv[index];
    }
  }
  argc = kept;
  if (options.perf && !perfWorks()) {
    std::fprintf(stderr, "perf does not work here: the stand-in's share is not measured\n");
    options.perf = false;
  }
}

}  // namespace

int main(int argc, char** argv) {
  readOptions(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
