#pragma once

// A zip archive opened read-only through libzip, closed when the object goes.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

struct zip;

namespace crv {

class ZipError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ZipEntryInfo {
  std::string name;
  // Stored as a symbolic link (Unix attributes of the entry).
  bool isLink = false;
};

class ZipArchive {
 public:
  // Throws ZipError with libzip's reason when the archive cannot be opened
  // or its central directory does not hold together.
  static ZipArchive open(const std::filesystem::path& path);
  // The same over bytes in memory, which the archive copies.
  static ZipArchive openBytes(std::string_view bytes);

  ZipArchive(ZipArchive&&) noexcept = default;
  ZipArchive& operator=(ZipArchive&&) noexcept = default;
  ~ZipArchive();

  std::uint64_t entryCount() const;
  // Throws ZipError for an index out of range.
  ZipEntryInfo entry(std::uint64_t index) const;
  // The whole content of an entry, checked against its CRC. Throws ZipError
  // when it cannot be read, fails its check, or is longer than the limit.
  std::string readAsText(std::uint64_t index, std::uint64_t maximumBytes) const;

 private:
  struct Discard {
    void operator()(zip* archive) const;
  };
  ZipArchive(std::unique_ptr<zip, Discard> archive, std::unique_ptr<std::string> bytes);

  // Declared first so that the archive, which may read from them, goes first.
  std::unique_ptr<std::string> bytes_;
  std::unique_ptr<zip, Discard> archive_;
};

}  // namespace crv
