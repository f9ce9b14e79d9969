#pragma once

#include <atomic>

namespace crv {

// Raised when the running session must end; the first raiser wins.
inline std::atomic<bool> stopRequested{false};

// Raised when the user closed the main window.
inline std::atomic<bool> userClosedWindow{false};

inline bool isStopping() {
  return stopRequested.load(std::memory_order_relaxed) ||
         userClosedWindow.load(std::memory_order_relaxed);
}

}  // namespace crv
