#include "platform/os/console_interrupts.h"

namespace platform {

void receiveConsoleInterrupts() {}

}  // namespace platform
