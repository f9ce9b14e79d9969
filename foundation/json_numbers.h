#pragma once

#include <nlohmann/json.hpp>

namespace crv {

// False only for a number outside the range of int (a fraction counts by its
// whole part); any other value is left to the reading that follows. Read
// without this test, nlohmann cuts such a number down to a wrong int: a lying
// 2^32 + 200 reads as 200.
bool jsonFitsInInt(const nlohmann::json& value);

}  // namespace crv
