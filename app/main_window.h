#pragma once

// The main window's procedure as far as the session needs it: the session
// messages, the close box, the window position and the painting of the
// status and error lines. The controls and the status panel join it here.

#include <cstdint>
#include <optional>

#include "app/control_handlers.h"
#include "app/session.h"
#include "app/status_panel.h"
#include "platform/window/window_model.h"

namespace crv {

// The main window's client area, which the painted panel fills (with its
// title bar and edges the window is about 880 by 516 on Windows).
inline constexpr int kMainWindowWidth = 880;
inline constexpr int kMainWindowHeight = 476;
// The status strip at the foot of the painted panel.
inline constexpr platform::Rect kStatusStrip{0, 448, 880, 476};

class MainWindow {
 public:
  MainWindow(platform::WindowModel& model, Session& session);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // The window procedure (user-interface thread). Returns the exit code once
  // the quit message arrives.
  std::optional<int> windowProcedure(const platform::WindowMessage& message);

  platform::WindowModel& model() { return model_; }

 private:
  void onClose();
  void onQuitProgram();
  void paint();
  PanelState panelState();

  platform::WindowModel& model_;
  Session& session_;
  ControlHandlers handlers_;
};

// A stored window coordinate at a bound of its range gets the given value
// back (clamped), and is saved.
void checkWindowPosition(std::int32_t x, std::int32_t y);

}  // namespace crv
