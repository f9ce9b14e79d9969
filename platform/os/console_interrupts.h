#pragma once

namespace platform {

// Makes sure Ctrl-C (and a terminal's interrupt) reaches the program's
// signal handlers when it runs without a window. A windowed Windows program
// has no console of its own, so the interrupt has nothing to arrive by: it
// takes one. Elsewhere the terminal's signals arrive as they are.
void receiveConsoleInterrupts();

}  // namespace platform
