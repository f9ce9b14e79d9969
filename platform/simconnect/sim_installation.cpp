#include "platform/simconnect/sim_installation.h"

#include <cstdlib>
#include <iostream>
#include <mutex>
#include <stdexcept>
#include <string>

namespace platform {
namespace {

// Guards the installed stand-in.
std::mutex installationMutex;
std::shared_ptr<SimulatorStandIn> installedSimulator;
std::string worldFilePath;  // the file behind worldFileSimulator
std::shared_ptr<SimulatorStandIn> worldFileSimulator;
std::string lastWorldFileError;

std::shared_ptr<SimulatorStandIn> simulatorFromWorldFile() {
  const char* variable = std::getenv(kSimWorldVariable);
  const std::string path = variable == nullptr ? "" : variable;
  if (path != worldFilePath) {
    worldFilePath = path;
    worldFileSimulator.reset();
  }
  if (worldFileSimulator || path.empty()) return worldFileSimulator;
  try {
    StandInOptions options;
    options.clock = std::make_shared<SteadyStandInClock>();
    options.recordCalls = false;
    // A run keeps its flight trace only when asked, ten positions a second.
    const char* trace = std::getenv(kSimTraceVariable);
    options.recordTrace = trace != nullptr && *trace != '\0';
    options.traceIntervalSeconds = 0.1;
    if (options.recordTrace) options.traceFile = trace;
    worldFileSimulator = std::make_shared<SimulatorStandIn>(loadSimWorldFile(path), options);
    lastWorldFileError.clear();
  } catch (const SimWorldError& error) {
    // Tried again on every open; told once per new fault.
    if (lastWorldFileError != error.what()) {
      lastWorldFileError = error.what();
      std::cerr << kSimWorldVariable << ": " << error.what() << '\n';
    }
  }
  return worldFileSimulator;
}

}  // namespace

ScopedSimulator::ScopedSimulator(std::shared_ptr<SimulatorStandIn> simulator) : simulator_(std::move(simulator)) {
  if (!simulator_) throw std::invalid_argument("ScopedSimulator needs a simulator");
  std::lock_guard lock(installationMutex);
  if (installedSimulator) throw std::logic_error("a simulator stand-in is installed already");
  installedSimulator = simulator_;
}

ScopedSimulator::~ScopedSimulator() {
  std::lock_guard lock(installationMutex);
  installedSimulator.reset();
}

std::shared_ptr<SimulatorStandIn> activeSimulator() {
  std::lock_guard lock(installationMutex);
  if (installedSimulator) return installedSimulator;
  return simulatorFromWorldFile();
}

std::shared_ptr<SimulatorStandIn> simulatorOfOpenConnections() {
  std::lock_guard lock(installationMutex);
  if (installedSimulator) return installedSimulator;
  return worldFileSimulator;
}

}  // namespace platform
