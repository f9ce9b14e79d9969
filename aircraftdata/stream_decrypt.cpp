#include "aircraftdata/stream_decrypt.h"

#include <sodium.h>

#include <array>
#include <exception>
#include <fstream>
#include <mutex>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>

#include <fmt/format.h>

#include "foundation/log.h"

namespace crv {

namespace {

constexpr std::size_t kHeaderBytes = crypto_secretstream_xchacha20poly1305_HEADERBYTES;
constexpr std::size_t kCipherChunkBytes =
    kDataFileChunkBytes + crypto_secretstream_xchacha20poly1305_ABYTES;

static_assert(kDataFileKeyBytes == crypto_secretstream_xchacha20poly1305_KEYBYTES);
static_assert(kHeaderBytes == 24);
static_assert(kCipherChunkBytes == 4113);

// Reads up to buffer.size() bytes; the number read.
std::size_t readUpTo(std::istream& in, unsigned char* buffer, std::size_t size) {
  in.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(size));
  return static_cast<std::size_t>(in.gcount());
}

}  // namespace

void ensureSodiumInitialised() {
  static std::once_flag once;
  static bool ready = false;
  std::call_once(once, [] { ready = sodium_init() >= 0; });
  if (!ready) {
    throw std::runtime_error("libsodium could not be initialised");
  }
}

namespace {

std::ifstream openInput(const std::filesystem::path& input) {
  std::ifstream in(input, std::ios::binary);
  if (!in) {
    throw std::runtime_error("Could not open input file: " + input.string());
  }
  return in;
}

// The decryption of a whole stream into the output stream, up to the chunk
// tagged final: whatever follows it is no part of the data. output names the
// output in error texts.
void decryptInto(const DataFileKey& key, std::istream& in, std::ostream& out, const std::string& output) {
  ensureSodiumInitialised();

  std::array<unsigned char, kHeaderBytes> header{};
  if (readUpTo(in, header.data(), header.size()) != header.size()) {
    throw std::runtime_error("Decryption failed: the file is shorter than its header");
  }
  DataFileKey localKey = key;
  crypto_secretstream_xchacha20poly1305_state state;
  const int initResult =
      crypto_secretstream_xchacha20poly1305_init_pull(&state, header.data(), localKey.data());
  sodium_memzero(localKey.data(), localKey.size());
  if (initResult != 0) {
    throw std::runtime_error("Invalid header or key");
  }

  std::array<unsigned char, kCipherChunkBytes> cipher{};
  std::array<unsigned char, kDataFileChunkBytes> plain{};
  bool finalSeen = false;
  for (std::size_t readBytes = readUpTo(in, cipher.data(), cipher.size()); readBytes != 0;
       readBytes = readUpTo(in, cipher.data(), cipher.size())) {
    unsigned long long plainBytes = 0;
    unsigned char tag = 0;
    if (crypto_secretstream_xchacha20poly1305_pull(&state, plain.data(), &plainBytes, &tag,
                                                   cipher.data(), readBytes, nullptr, 0) != 0) {
      throw std::runtime_error("Decryption failed");
    }
    out.write(reinterpret_cast<const char*>(plain.data()), static_cast<std::streamsize>(plainBytes));
    if (!out) {
      throw std::runtime_error("Could not write output file: " + output);
    }
    if (tag == crypto_secretstream_xchacha20poly1305_TAG_FINAL) {
      finalSeen = true;
      break;
    }
  }
  sodium_memzero(plain.data(), plain.size());
  if (!finalSeen) {
    throw std::runtime_error("Decryption failed: the file ends before its last chunk");
  }
}

}  // namespace

void decryptStream(const DataFileKey& key, const std::filesystem::path& input,
                   const std::filesystem::path& output) {
  std::ifstream in = openInput(input);
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  if (!out) {
    throw std::runtime_error("Could not open output file: " + output.string());
  }
  decryptInto(key, in, out, output.string());
  out.close();
  if (!out) {
    throw std::runtime_error("Could not write output file: " + output.string());
  }
}

std::string decryptToMemory(const DataFileKey& key, const std::filesystem::path& input) {
  std::ifstream in = openInput(input);
  std::ostringstream out;
  decryptInto(key, in, out, "memory");
  return std::move(out).str();
}

bool gf_streamDecrypt(const std::filesystem::path& input, const std::filesystem::path& output) {
  try {
    decryptStream(kDataFileKey, input, output);
    return true;
  } catch (const std::exception& e) {
    gf_logLine(fmt::format("{} exception: {}", "gf_streamDecrypt", e.what()));
    removeFileWarn(output);
    return false;
  }
}

void removeFileWarn(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    return;
  }
  std::filesystem::remove(path, error);
  if (error) {
    gf_logWarning(fmt::format("Warning: could not remove {}, errorcode: {}", path.string(),
                              error.message()));
  }
}

}  // namespace crv
