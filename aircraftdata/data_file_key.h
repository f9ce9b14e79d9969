#pragma once

#include <array>
#include <cstddef>

namespace crv {

inline constexpr std::size_t kDataFileKeyBytes = 32;
using DataFileKey = std::array<unsigned char, kDataFileKeyBytes>;

// The one key of the program's encrypted data files (dbase.enc,
// AIG-regcodes.enc). The data tool encrypts with the same key.
inline constexpr DataFileKey kDataFileKey = {
    0x23, 0xf0, 0xc1, 0x53, 0x32, 0x4c, 0xf7, 0xf2, 0x0b, 0x70, 0x1f, 0xd8, 0xcb, 0xce, 0x42, 0x8e,
    0x4a, 0x51, 0x71, 0x0d, 0x84, 0x08, 0xd5, 0x51, 0x0e, 0x3a, 0x30, 0xce, 0x05, 0xc1, 0x0c, 0x65};

// The plaintext bytes of one chunk of the secret stream; every chunk but the
// last one carries exactly this many.
inline constexpr std::size_t kDataFileChunkBytes = 4096;

// Runs sodium_init once per process; throws std::runtime_error when libsodium
// cannot be initialised. Safe from any thread.
void ensureSodiumInitialised();

}  // namespace crv
