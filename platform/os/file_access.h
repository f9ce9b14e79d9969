#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace platform {

// std::fopen by a path as the system names files: UTF-16 names on Windows,
// so that any file name opens, bytes elsewhere.
std::FILE* openFile(const std::filesystem::path& path, const char* mode);

// Copies a file over the file at the destination, if any; false with the
// error on failure. (The Windows runtime library's std::filesystem::copy_file
// refuses to replace a file.)
bool copyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& error);

// Moves a file over the file at the destination, if any, in one step; false
// with the error on failure. A destination that an open for writing would
// refuse (marked read-only on Windows; here one whose permission bits keep
// this user from writing it) is not replaced: permission denied.
bool replaceFile(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& error);

// True when the file that stands at the path can be opened for writing as it
// is (neither created nor emptied): it is not held by another program that
// shares no writing, as Windows has it. False with the system's error.
bool opensForWriting(const std::filesystem::path& path, std::error_code& error);

// An existing file opened for reading as it is (bytes as they are); others
// may read and write it meanwhile. -1 when it cannot be opened, with the
// system's error in lastErrorCode() (system_error_text.h): the Windows error
// on Windows, errno elsewhere.
int openFileForReading(const std::filesystem::path& path);
// The count of bytes read, at most size: 0 at the end, -1 on failure.
std::ptrdiff_t readFromFile(int descriptor, void* data, std::size_t size);

// The file descriptors of durable writes, as the C library's open, write,
// fchmod, fsync and close: -1 with errno set on failure.
// A new or emptied file for writing (bytes as they are, not inherited by
// child processes).
int openFileForWriting(const std::filesystem::path& path);
// A folder opened so that its entries can be flushed; -1 where folders are
// not opened (Windows, whose file system journals its renames itself).
int openFolderForFlush(const std::filesystem::path& folder);
// The count of bytes written, at most size.
std::ptrdiff_t writeToFile(int descriptor, const void* data, std::size_t size);
// Gives the file the permission bits of a Unix mode. Windows files are
// guarded by their folder's access list: nothing to do there.
int setFileMode(int descriptor, std::uint32_t mode);
int flushToDisk(int descriptor);
int closeFile(int descriptor);

// True when users other than the owner may read the file. Windows files are
// guarded by their folder's access list, never by mode bits: false there.
bool readableByOthers(const std::filesystem::path& path);

}  // namespace platform
