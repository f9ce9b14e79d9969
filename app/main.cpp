// crvn: the program. Runs its main window when a display is present, else
// headless with a one-line summary every second. Ctrl-C closes it as the
// close box does.

#include <csignal>
#include <iostream>
#include <string>

#include "app/entry.h"
#include "platform/simconnect/simconnect_library.h"
#include "platform/window/window_view.h"

namespace {

std::atomic<bool> closeRequested{false};

extern "C" void onSignal(int /*signal*/) { closeRequested.store(true); }

}  // namespace

int main() {
  if (const std::string problem = platform::loadSimConnectLibrary(); !problem.empty()) {
    std::cerr << problem << std::endl;
    return 1;
  }
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  crv::ProgramOptions options;
  options.closeRequest = &closeRequested;
  options.errors = &std::cerr;
  if (!platform::displayAvailable()) {
    options.summary = &std::cout;
  }
  const int exitCode = crv::crvnMain(options);
  platform::unloadSimConnectLibrary();
  return exitCode;
}
