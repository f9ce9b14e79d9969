#include "platform/os/console_interrupts.h"

#include <windows.h>

namespace platform {

// The output the program was started with stays where it is: the C
// runtime's streams keep the handles they were given at start.
void receiveConsoleInterrupts() {
  if (::GetConsoleWindow() == nullptr) ::AllocConsole();
}

}  // namespace platform
