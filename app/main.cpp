// crvn: the program. Runs its main window when a display is present, else
// headless with a one-line summary every second. Ctrl-C closes it as the
// close box does.

#include <csignal>
#include <iostream>

#include "app/entry.h"
#include "platform/window/fltk_view.h"

namespace {

std::atomic<bool> closeRequested{false};

extern "C" void onSignal(int /*signal*/) { closeRequested.store(true); }

}  // namespace

int main() {
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  crv::ProgramOptions options;
  options.closeRequest = &closeRequested;
  options.errors = &std::cerr;
  if (!platform::displayAvailable()) {
    options.summary = &std::cout;
  }
  return crv::crvnMain(options);
}
