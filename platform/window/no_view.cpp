// A build without a window toolkit (the Windows build while FLTK is not
// built for it): there is no display to show the window on, so the program
// runs headless as it does on a machine without a display.

#include <stdexcept>

#include "platform/window/fltk_view.h"

namespace platform {

class FltkView::Window {};

bool displayAvailable() { return false; }

FltkView::FltkView(WindowModel& model, ControlModel& /*controls*/) : model_(model) {
  throw std::logic_error("this build of the program has no window toolkit");
}

FltkView::~FltkView() = default;

void FltkView::show() {}

void FltkView::pump(std::chrono::milliseconds /*timeout*/) {}

std::vector<std::uint8_t> FltkView::captureRgb() { return {}; }

void FltkView::followTopmost() {}

}  // namespace platform
