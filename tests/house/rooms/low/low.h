#pragma once

// Runs back up into a room of its own folder.
#include "low/room/room.h"
