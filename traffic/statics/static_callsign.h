#pragma once

// The callsigns static aircraft show.

#include <string>
#include <string_view>

namespace crv {

// A static aircraft's callsign: trailing "_" removed, "*" appended unless it
// ends in one.
std::string staticCallsign(std::string_view callsign);
// The callsign of a pending static entry: the first text when the entry
// continues a real aircraft, else the second; when that one is empty, the
// other; both empty: logged, and an empty text.
std::string pendingStaticCallsign(std::string_view first, std::string_view second, bool continues);

}  // namespace crv
