#include "foundation/json_numbers.h"

#include <cstdint>
#include <limits>

namespace crv {

bool jsonFitsInInt(const nlohmann::json& value) {
  constexpr int kLowest = std::numeric_limits<int>::min();
  constexpr int kHighest = std::numeric_limits<int>::max();
  if (value.is_number_unsigned()) {
    return value.get<std::uint64_t>() <= static_cast<std::uint64_t>(kHighest);
  }
  if (value.is_number_integer()) {
    const auto number = value.get<std::int64_t>();
    return number >= kLowest && number <= kHighest;
  }
  if (value.is_number_float()) {
    const double number = value.get<double>();
    return number > kLowest - 1.0 && number < kHighest + 1.0;
  }
  return true;
}

}  // namespace crv
