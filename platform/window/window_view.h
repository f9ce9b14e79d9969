#pragma once

// A real window for the headless main window: a window of the model's
// title, place and size that draws the model's last paint and its controls,
// lets the user operate them (clicks, drop-down lists, typing in edit boxes;
// see control_input.h), keeps itself above other windows while the model
// asks for it, and posts WM_CLOSE when its close box is clicked (the window
// stays; the program decides). On Linux an FLTK window (fltk_view.cpp), on
// Windows a Win32 window (win32_view.cpp).
// Every member runs on the user-interface thread; the model may be changed
// from any thread, which wakes the view.

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/window/control_model.h"
#include "platform/window/window_model.h"

namespace platform {

// True when a window can be shown: on Linux a display is named and can be
// opened (the connection stays open for the window), on Windows a window can
// be created.
bool displayAvailable();

// True once the connection to the display broke (its server ended): the
// window is gone, and the program closes as by its close box.
bool displayLost();

class WindowView {
 public:
  WindowView(WindowModel& model, ControlModel& controls);
  ~WindowView();
  WindowView(const WindowView&) = delete;
  WindowView& operator=(const WindowView&) = delete;

  // Shows the window at the model's place.
  void show();
  // Handles the window's events for up to the timeout and redraws when the
  // model's paint changed.
  void pump(std::chrono::milliseconds timeout);
  // What the window shows now, as 8-bit RGB rows of the model's width and
  // height (screenshots).
  std::vector<std::uint8_t> captureRgb();

 private:
  class Window;
  // The steps every toolkit takes alike (window_view.cpp).
  void followTopmost();
  // The toolkit's part of them (fltk_view.cpp, win32_view.cpp): handle the
  // window's events for up to the timeout; take the model's place, size and
  // controls; draw the model's paint again; keep the window above the others
  // or not, false when the window cannot take that yet.
  void handleEvents(std::chrono::milliseconds timeout);
  void followModel();
  void redraw();
  bool applyTopmost(bool topmost);

  WindowModel& model_;
  std::unique_ptr<Window> window_;
  std::uint64_t shownPaint_ = 0;
  bool shownTopmost_ = false;
};

}  // namespace platform
