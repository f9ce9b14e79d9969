// The steps of the window view that every toolkit takes alike; the
// toolkit's own part is in fltk_view.cpp and win32_view.cpp.

#include "platform/window/window_view.h"

namespace platform {

void WindowView::pump(std::chrono::milliseconds timeout) {
  handleEvents(timeout);
  followModel();
  followTopmost();
  if (const std::uint64_t count = model_.paintCount(); count != shownPaint_) {
    shownPaint_ = count;
    redraw();
  }
}

void WindowView::followTopmost() {
  const bool wanted = model_.topmost();
  if (wanted == shownTopmost_ || !applyTopmost(wanted)) return;
  shownTopmost_ = wanted;
}

}  // namespace platform
