#pragma once

#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace platform {

// std::fopen by a path as the system names files: UTF-16 names on Windows,
// so that any file name opens, bytes elsewhere.
std::FILE* openFile(const std::filesystem::path& path, const char* mode);

// Copies a file over the file at the destination, if any; false with the
// error on failure. (The Windows runtime library's std::filesystem::copy_file
// refuses to replace a file.)
bool copyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& error);

// Writes the bytes to a new or emptied file at the path, flushed to the disk
// when asked; false on any failure.
bool writeFileBytes(const std::filesystem::path& path, std::string_view bytes, bool flushToDisk);

// Makes the renames in a folder durable where the system needs a flush of
// the folder for it; a folder that cannot be opened is left as it is.
void flushFolder(const std::filesystem::path& folder);

// True when users other than the owner may read the file. Windows files are
// guarded by their folder's access list, never by mode bits: false there.
bool readableByOthers(const std::filesystem::path& path);

}  // namespace platform
