#pragma once

#include <memory>

#include "platform/simconnect/sim_standin.h"

namespace platform {

// Makes a stand-in the simulator that the SimConnect functions of this
// process reach, for the lifetime of the object. One at a time.
class ScopedSimulator {
 public:
  explicit ScopedSimulator(std::shared_ptr<SimulatorStandIn> simulator);
  ~ScopedSimulator();
  ScopedSimulator(const ScopedSimulator&) = delete;
  ScopedSimulator& operator=(const ScopedSimulator&) = delete;

  SimulatorStandIn& operator*() const { return *simulator_; }
  SimulatorStandIn* operator->() const { return simulator_.get(); }

 private:
  std::shared_ptr<SimulatorStandIn> simulator_;
};

// The simulator behind the SimConnect functions: the installed stand-in;
// without one, a stand-in made from the world file named by CRVN_SIM_WORLD
// (kept while the variable names the same file; on the machine's steady
// clock, without a call recording); none when neither exists, so that every
// open fails as when no simulator runs. A world file that cannot be read is
// reported on stderr.
std::shared_ptr<SimulatorStandIn> activeSimulator();

// The simulator behind the calls on an open connection: the installed
// stand-in, else the world file's stand-in as the last look at the
// environment found it. Reads no environment, so that the calls of every
// frame stay cheap; opening a connection looks again.
std::shared_ptr<SimulatorStandIn> simulatorOfOpenConnections();

}  // namespace platform
