#pragma once

// Helpers shared by the fuzz targets.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace crv::fuzz {

// The input as text.
inline std::string_view inputText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// A folder of this process under the system's temporary folder, made on the
// first call and removed when the process ends. Targets that read files
// write their input into it.
const std::filesystem::path& scratchFolder();

// Replaces the file's content with the bytes (parent folders are made).
void writeBytes(const std::filesystem::path& path, std::string_view bytes);
std::string readBytes(const std::filesystem::path& path);

// Empties the scratch folder between two inputs.
void clearScratchFolder();

// A property of the code under test: when it does not hold, the target
// prints what was expected and aborts, which libFuzzer reports as a crash
// and saves the input.
void require(bool holds, std::string_view what);

}  // namespace crv::fuzz
