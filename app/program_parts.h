#pragma once

// The parts of the program that a session takes from the folders beside the
// engine: today the livery scan. Tests build sessions without them.

#include "app/session.h"

namespace crv {

SessionOptions programSessionOptions();

}  // namespace crv
