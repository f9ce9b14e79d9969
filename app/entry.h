#pragma once

// The program's entry: one instance, the log, the main window at its stored
// place, the data folder, the first session and the message loop.

#include <atomic>
#include <ostream>
#include <string>

#include "app/program_parts.h"
#include "app/session.h"

namespace crv {

// The name of the single-instance mutex.
inline constexpr const char* kSingleInstanceName = "Local\\$Corvane$";

struct ProgramOptions {
  SessionOptions session = programSessionOptions();
  double clockSpeedUp = 1.0;
  // Show a real window when a display is present.
  bool showWindow = true;
  // Raised from outside (Ctrl-C): the program closes as by its close box.
  const std::atomic<bool>* closeRequest = nullptr;
  // Headless: one summary line a second goes here.
  std::ostream* summary = nullptr;
  // Error texts: the log cannot be opened, and headless the error lines.
  std::ostream* errors = nullptr;
  // Found before the start (the simulator's library is missing): the program
  // shows it instead of running, as when the log cannot be opened.
  std::string startProblem;
};

// The exit code of a program that could not do its work: the log cannot be
// opened, or (headless) an error ended it.
inline constexpr int kErrorExitCode = 1;

// The whole program; returns its exit code: -1 for a second instance,
// kErrorExitCode when there is a start problem or the log cannot be opened
// (with a window, once the user has closed the window that shows why), or,
// without a window, when an error ended the session; 0 when a window is
// wanted but cannot be made or the data folder cannot be made (the log says
// which); else the code of the quit message (0). Headless, each error line
// is printed once to errors (else to summary).
int crvnMain(const ProgramOptions& options);

// Without a window (none wanted, or a summary line instead of one).
bool runsHeadless(const ProgramOptions& options);

// The window's place from parameters.xml (defaults 400, 20).
void readWindowPosition();

// "12:00:31  live 41  static 12  created 53  removed 2  parked live 3  session running"
// (live: the live aircraft in the simulator that are not parked)
std::string summaryLine(const SessionDisplay& display);

}  // namespace crv
