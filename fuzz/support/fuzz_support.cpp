#include "fuzz/support/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

namespace crv::fuzz {

namespace {

// A memory file system where there is one: creating a file on a disk costs
// more than a whole run of most targets.
std::filesystem::path baseFolder() {
  std::error_code error;
  if (std::filesystem::is_directory("/dev/shm", error)) {
    return "/dev/shm";
  }
  return std::filesystem::temp_directory_path();
}

class ScratchFolder {
 public:
  ScratchFolder() : path_(baseFolder() / ("crvn-fuzz-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace

const std::filesystem::path& scratchFolder() {
  static const ScratchFolder folder;
  return folder.path();
}

void writeBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream stream(path, std::ios::binary | std::ios::trunc);
  stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  require(static_cast<bool>(stream), "the scratch file is written");
}

std::string readBytes(const std::filesystem::path& path) {
  std::ifstream stream(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

void clearScratchFolder() {
  for (const auto& entry : std::filesystem::directory_iterator(scratchFolder())) {
    std::filesystem::remove_all(entry.path());
  }
}

void require(bool holds, std::string_view what) {
  if (!holds) {
    std::fprintf(stderr, "\nproperty violated: %.*s\n", static_cast<int>(what.size()), what.data());
    std::abort();
  }
}

}  // namespace crv::fuzz
