// rt-standin: serves a scenario file as the RealTraffic API on 127.0.0.1.
//
//   rt-standin <scenario.json> [--rrl <ms>] [--wrrl <ms>]
//
// Prints the endpoint ("http://127.0.0.1:<port>") on its first line and serves
// until it receives SIGINT or SIGTERM.

#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

#include "tools/rt-standin/rt_standin.h"

namespace {

volatile std::sig_atomic_t stopSignal = 0;

void onSignal(int) { stopSignal = 1; }

int usage() {
  std::cerr << "usage: rt-standin <scenario.json> [--rrl <ms>] [--wrrl <ms>]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    return usage();
  }
  int rrl = 2000;
  int wrrl = 2000;
  for (int i = 2; i < argc; ++i) {
    const std::string_view option = argv[i];
    if ((option == "--rrl" || option == "--wrrl") && i + 1 < argc) {
      const int value = std::atoi(argv[++i]);
      (option == "--rrl" ? rrl : wrrl) = value;
    } else {
      return usage();
    }
  }
  try {
    crv::standin::RtStandIn standIn;
    standIn.setScenario(crv::standin::Scenario::load(argv[1]));
    standIn.setPace(rrl, wrrl);
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::cout << standIn.endpoint() << std::endl;
    while (stopSignal == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    standIn.stop();
  } catch (const std::exception& error) {
    std::cerr << "rt-standin: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
