#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Paths as narrow texts in the ANSI code page, the way programs that take a
// char path on Windows read them (the system's code page, not UTF-8). On
// Windows this is the process's ANSI code page; elsewhere our stand-in of it
// is Windows-1252, the Western European code page.

// The path's text in the code page; none when a character of the path has
// no place in it.
std::optional<std::string> ansiTextOfPath(const std::filesystem::path& path);

// The path that a text in the code page names.
std::filesystem::path pathOfAnsiText(std::string_view text);

}  // namespace platform
