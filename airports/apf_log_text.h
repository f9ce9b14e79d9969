#pragma once

#include <string>
#include <string_view>

namespace crv {

// A piece of an airport file as it goes into a log line: cut to at most 80
// characters (with "..." behind the cut), so that a hostile file cannot
// flood Log.txt; bytes that are no UTF-8 are escaped as "\xNN".
std::string apfLogText(std::string_view text);

}  // namespace crv
