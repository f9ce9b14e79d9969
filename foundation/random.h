#pragma once

#include <random>

namespace crv {

// The calling thread's random engine, seeded once from the system's random
// device on first use.
std::mt19937& threadRandomEngine();

}  // namespace crv
