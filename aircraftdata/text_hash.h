#pragma once

// Hash maps and sets keyed by text with the FNV-1a hash, searchable with a
// string_view.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace crv {

inline constexpr std::uint64_t fnv1a64(std::string_view text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

struct Fnv1aHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const { return static_cast<std::size_t>(fnv1a64(text)); }
};

template <typename Value>
using FnvMap = std::unordered_map<std::string, Value, Fnv1aHash, std::equal_to<>>;
// Views into texts that outlive the set.
using FnvViewSet = std::unordered_set<std::string_view, Fnv1aHash, std::equal_to<>>;
template <typename Value>
using FnvViewMap = std::unordered_map<std::string_view, Value, Fnv1aHash, std::equal_to<>>;

}  // namespace crv
