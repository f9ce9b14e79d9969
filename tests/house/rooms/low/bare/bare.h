#pragma once

// Includes its own folder without naming its library.
#include "low/low.h"
