#pragma once

// Reaches a folder its folder never includes.
#include "base/base.h"
