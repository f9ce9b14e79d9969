#include "airportscan/bgl_words.h"

#include <bit>
#include <stdexcept>
#include <string>

#include <fmt/format.h>

#include "foundation/files.h"

namespace crv {

BglWords::BglWords(std::string_view bytes) {
  words_.resize((bytes.size() + 3) / 4, 0U);
  std::size_t offset = 0;
  if constexpr (std::endian::native == std::endian::little) {
    offset = bytes.size() / 4 * 4;
    bytes.copy(reinterpret_cast<char*>(words_.data()), offset);
  }
  for (; offset < bytes.size(); ++offset) {
    const auto byte = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset]));
    words_[offset / 4] |= byte << (8U * (offset % 4));
  }
}

std::uint32_t BglWords::at(std::uint64_t index) const {
  if (index >= words_.size()) {
    throw std::out_of_range(fmt::format("BGL word {} past the end ({} words)", index, words_.size()));
  }
  return words_[index];
}

float BglWords::floatAt(std::uint64_t index) const { return std::bit_cast<float>(at(index)); }

bool readBglWords(const std::filesystem::path& path, BglWords& words) {
  std::string bytes;
  if (!readFileBytes(path, bytes)) {
    return false;
  }
  words = BglWords(bytes);
  return true;
}

}  // namespace crv
