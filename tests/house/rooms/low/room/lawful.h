#pragma once

// Includes its own folder, whose library it names.
#include "low/low.h"
