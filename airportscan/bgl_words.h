#pragma once

// A BGL file as 32-bit little-endian words. Every read is checked against
// the file's length: a word past the end raises std::out_of_range, so a
// damaged file costs only itself.

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace crv {

class BglWords {
 public:
  BglWords() = default;
  // A trailing part of fewer than 4 bytes gives one more word, zero-filled.
  explicit BglWords(std::string_view bytes);

  std::uint64_t size() const { return words_.size(); }
  std::uint32_t at(std::uint64_t index) const;
  std::uint16_t low16(std::uint64_t index) const { return static_cast<std::uint16_t>(at(index) & 0xFFFFU); }
  std::uint16_t high16(std::uint64_t index) const { return static_cast<std::uint16_t>(at(index) >> 16U); }
  float floatAt(std::uint64_t index) const;
  std::int32_t signedAt(std::uint64_t index) const { return static_cast<std::int32_t>(at(index)); }

  // A record header: the id (u16 at byte 0) and the size in bytes (u32 at
  // byte 2, so the high half of word 0 and the low half of word 1).
  std::uint16_t recordId(std::uint64_t start) const { return low16(start); }
  std::uint32_t recordSizeBytes(std::uint64_t start) const {
    return static_cast<std::uint32_t>(high16(start)) | (static_cast<std::uint32_t>(low16(start + 1)) << 16U);
  }

 private:
  std::vector<std::uint32_t> words_;
};

// Reads the whole file; false when it cannot be opened or read.
bool readBglWords(const std::filesystem::path& path, BglWords& words);

}  // namespace crv
