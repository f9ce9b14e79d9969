#pragma once

#include <string>
#include <string_view>

namespace crv {

#ifdef _WIN32
inline constexpr bool kPlatformCrLfLineEnds = true;
#else
inline constexpr bool kPlatformCrLfLineEnds = false;
#endif

// The line end of the text files the program writes (the log, the reports,
// the flight plans): CR LF on Windows, where the simulator and the editors
// users open these files with expect it, LF elsewhere.
std::string_view textLineEnd();

// Chooses the other system's line end, so that a test on one system can
// check the files of the other; CR LF when crlf is set.
void useCrLfLineEnds(bool crlf);

// The text with every line feed written as textLineEnd().
std::string withTextLineEnds(std::string_view text);

}  // namespace crv
