#pragma once

#include <filesystem>
#include <string_view>

#include "aircraftdata/data_file_key.h"

namespace crv::datatool {

// Encrypts a plain file into the program's data-file format: the secret
// stream header, then chunks of 4096 plaintext bytes, the last one (possibly
// empty) tagged FINAL. The output is written beside its place and renamed
// over it; throws std::runtime_error on any failure, leaving no output.
void encryptFile(const DataFileKey& key, const std::filesystem::path& input,
                 const std::filesystem::path& output);

// Decrypts an encrypted data file into a plain file (decryptStream). The
// plain bytes go to a temporary file beside the output, renamed over it once
// the whole stream has been authenticated; on any failure throws
// std::runtime_error and leaves an earlier output file as it was.
void decryptFile(const DataFileKey& key, const std::filesystem::path& input,
                 const std::filesystem::path& output);

// The same for bytes in memory; gives the encrypted bytes.
std::string encryptBytes(const DataFileKey& key, std::string_view plain);

}  // namespace crv::datatool
