// crvn: the program. Runs its main window when a display is present, else
// headless with a one-line summary every second. Ctrl-C closes it as the
// close box does. On Windows it is a windowed program (no console of its
// own) entered through wWinMain; its output still reaches a console or file
// it was started with.

#include <csignal>
#include <iostream>
#include <string>

#include "app/entry.h"
#include "platform/os/console_interrupts.h"
#include "platform/simconnect/simconnect_library.h"
#include "platform/window/window_view.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::atomic<bool> closeRequested{false};

extern "C" void onSignal(int /*signal*/) { closeRequested.store(true); }

int runProgram() {
  crv::ProgramOptions options;
  options.closeRequest = &closeRequested;
  options.errors = &std::cerr;
  if (!platform::displayAvailable()) {
    options.summary = &std::cout;
    platform::receiveConsoleInterrupts();
  }
  // Without the simulator's library there is nothing to connect to: the
  // window (or, headless, the error output) says why, and the program ends.
  options.startProblem = platform::loadSimConnectLibrary();
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  const int exitCode = crv::crvnMain(options);
  platform::unloadSimConnectLibrary();
  return exitCode;
}

}  // namespace

#ifdef _WIN32
// The Windows entry of a windowed program (the C runtime calls it).
int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previousInstance*/, PWSTR /*commandLine*/,
                    int /*showCommand*/) {
  return runProgram();
}
#else
int main() { return runProgram(); }
#endif
