#pragma once

// A throwaway home for one crvn run of the main-job benchmarks: the program
// folder with the shipped data and a generated liveries list, parameters
// with a 40 nm range, the simulator stand-in's world (the user parked at
// EHAM, room for 1,400 objects) and a RealTraffic stand-in scenario.

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace crv::bench {

struct CrvnSandbox {
  // `scenarioOptions` go to make_scenario.py (the airport is EHAM); with
  // `airportFile` it also writes EHAM's airport file with the scenario's
  // stands. The folder's name ends with `tag` so that runs side by side do
  // not meet.
  CrvnSandbox(const std::string& scenarioOptions, const std::string& tag = "", bool airportFile = false);
  ~CrvnSandbox();
  CrvnSandbox(const CrvnSandbox&) = delete;
  CrvnSandbox& operator=(const CrvnSandbox&) = delete;

  std::filesystem::path scenarioFile() const { return root / "scenario.json"; }

  std::string tag;
  std::filesystem::path root;
  std::filesystem::path program;
};

// Starts `executable` (crvn) headless in the sandbox against the RealTraffic
// stand-in at `endpoint`; its one-line-a-second summary goes to
// `summaryFile`. Returns the child's pid.
pid_t startCrvn(const CrvnSandbox& sandbox, const std::string& executable, const std::string& endpoint,
                const std::filesystem::path& summaryFile);

// Runs a shell command; throws std::runtime_error when it fails.
void runCommand(const std::string& command);

}  // namespace crv::bench
