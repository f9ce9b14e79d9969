#pragma once

#include <filesystem>
#include <string>
#include <utility>

#include "aircraftdata/data_file_key.h"

namespace crv {

// Decrypts an encrypted data file into a plain file with the built-in key.
// True on success. On any failure logs "gf_streamDecrypt exception: <text>",
// removes the (partial) plain file and returns false.
bool gf_streamDecrypt(const std::filesystem::path& input, const std::filesystem::path& output);

// The decryption itself: header, then chunks until the one tagged FINAL;
// bytes after it are ignored. The input is opened before the output. The
// plain file is a working copy that its reader deletes, never saved data, so
// it is written in place rather than by writeFileAtomically.
// Throws std::runtime_error on every failure: an unreadable input, an
// unwritable output, a chunk that fails authentication (also a wrong key or a
// damaged header) and a stream that ends before its FINAL chunk. The output
// file may then hold a partial plaintext.
void decryptStream(const DataFileKey& key, const std::filesystem::path& input,
                   const std::filesystem::path& output);

// The same decryption into memory: the whole plaintext, never on disk.
// Throws as decryptStream does.
std::string decryptToMemory(const DataFileKey& key, const std::filesystem::path& input);

// Deletes a file when it exists; a failed deletion is logged as a warning,
// never thrown.
void removeFileWarn(const std::filesystem::path& path);

// Deletes the plain file when it leaves scope, however its reader ends.
class PlainFileRemover {
 public:
  explicit PlainFileRemover(std::filesystem::path path) : path_(std::move(path)) {}
  ~PlainFileRemover() { removeFileWarn(path_); }
  PlainFileRemover(const PlainFileRemover&) = delete;
  PlainFileRemover& operator=(const PlainFileRemover&) = delete;

 private:
  std::filesystem::path path_;
};

}  // namespace crv
