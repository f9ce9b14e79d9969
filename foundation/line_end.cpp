#include "foundation/line_end.h"

#include <atomic>

namespace crv {
namespace {

std::atomic<bool>& crLfLineEnds() {
  static std::atomic<bool> crlf{kPlatformCrLfLineEnds};
  return crlf;
}

}  // namespace

std::string_view textLineEnd() { return crLfLineEnds().load(std::memory_order_relaxed) ? "\r\n" : "\n"; }

void useCrLfLineEnds(bool crlf) { crLfLineEnds().store(crlf); }

std::string withTextLineEnds(std::string_view text) {
  const std::string_view lineEnd = textLineEnd();
  std::string written;
  written.reserve(text.size() + 16);
  for (const char c : text) {
    if (c == '\n') {
      written += lineEnd;
    } else {
      written += c;
    }
  }
  return written;
}

}  // namespace crv
