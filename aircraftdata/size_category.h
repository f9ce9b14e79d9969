#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace crv {

// The size class of an aircraft type; the values are stored and compared as
// numbers (0 to 5) elsewhere, so they must not change.
enum class SizeCategory : std::uint8_t {
  Light = 0,
  Buzjets = 1,
  Large = 2,
  Heavy = 3,
  HighPerf = 4,
  Rotorcraft = 5,
};

inline constexpr std::size_t kSizeCategoryCount = 6;

inline constexpr std::size_t categoryIndex(SizeCategory category) {
  return static_cast<std::size_t>(category);
}

// "Light", "Buzjets", "Large", "Heavy", "HighPerf", "Rotorcraft".
inline constexpr std::string_view sizeCategoryName(SizeCategory category) {
  switch (category) {
    case SizeCategory::Light: return "Light";
    case SizeCategory::Buzjets: return "Buzjets";
    case SizeCategory::Large: return "Large";
    case SizeCategory::Heavy: return "Heavy";
    case SizeCategory::HighPerf: return "HighPerf";
    case SizeCategory::Rotorcraft: return "Rotorcraft";
  }
  return "Light";
}

}  // namespace crv
