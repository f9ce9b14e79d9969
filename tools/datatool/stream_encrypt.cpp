#include "tools/datatool/stream_encrypt.h"

#include <sodium.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>

#include <fmt/format.h>

#include "aircraftdata/stream_decrypt.h"
#include "foundation/files.h"
#include "foundation/random.h"

namespace crv::datatool {

std::string encryptBytes(const DataFileKey& key, std::string_view plain) {
  ensureSodiumInitialised();
  constexpr std::size_t kHeaderBytes = crypto_secretstream_xchacha20poly1305_HEADERBYTES;
  constexpr std::size_t kOverhead = crypto_secretstream_xchacha20poly1305_ABYTES;

  const std::size_t chunkCount =
      plain.empty() ? 1 : (plain.size() + kDataFileChunkBytes - 1) / kDataFileChunkBytes;
  std::string encrypted(kHeaderBytes + plain.size() + chunkCount * kOverhead, '\0');
  auto* out = reinterpret_cast<unsigned char*>(encrypted.data());

  crypto_secretstream_xchacha20poly1305_state state;
  if (crypto_secretstream_xchacha20poly1305_init_push(&state, out, key.data()) != 0) {
    throw std::runtime_error("the stream state cannot be initialised");
  }
  out += kHeaderBytes;
  const auto* in = reinterpret_cast<const unsigned char*>(plain.data());
  for (std::size_t chunk = 0; chunk < chunkCount; ++chunk) {
    const std::size_t offset = chunk * kDataFileChunkBytes;
    const std::size_t length = std::min(kDataFileChunkBytes, plain.size() - offset);
    const unsigned char tag = chunk + 1 == chunkCount ? crypto_secretstream_xchacha20poly1305_TAG_FINAL
                                                      : crypto_secretstream_xchacha20poly1305_TAG_MESSAGE;
    unsigned long long written = 0;
    if (crypto_secretstream_xchacha20poly1305_push(&state, out, &written, in + offset, length,
                                                   nullptr, 0, tag) != 0) {
      throw std::runtime_error("a chunk cannot be encrypted");
    }
    out += written;
  }
  return encrypted;
}

void encryptFile(const DataFileKey& key, const std::filesystem::path& input,
                 const std::filesystem::path& output) {
  std::string plain;
  if (!readFileBytes(input, plain)) {
    throw std::runtime_error("Could not read input file: " + input.string());
  }
  if (!writeFileAtomically(output, encryptBytes(key, plain))) {
    throw std::runtime_error("Could not write output file: " + output.string());
  }
}

void decryptFile(const DataFileKey& key, const std::filesystem::path& input,
                 const std::filesystem::path& output) {
  const std::filesystem::path temporary(
      output.string() + fmt::format(".tmp{:08x}", static_cast<unsigned>(threadRandomEngine()())));
  std::error_code error;
  try {
    decryptStream(key, input, temporary);
  } catch (...) {
    std::filesystem::remove(temporary, error);
    throw;
  }
  std::filesystem::rename(temporary, output, error);
  if (error) {
    std::filesystem::remove(temporary, error);
    throw std::runtime_error("Could not write output file: " + output.string());
  }
}

}  // namespace crv::datatool
