#pragma once

// The main window without a screen: its place and size, the messages posted
// to it, and what its last paint drew. The program posts messages from any
// thread; the user-interface thread takes them in its message loop and hands
// each to the window procedure. A paint records filled rectangles, lines and
// texts with their colours; a view (window_view.h) draws the recorded paint on
// a real window, and tests read it. A text that cannot be drawn (it does not
// convert to UTF-16) never reaches a view: the model leaves it out of the
// paint and tells the program.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Message numbers, as the window procedure sees them.
inline constexpr std::uint32_t kWmDestroy = 0x0002;
inline constexpr std::uint32_t kWmPaint = 0x000F;
inline constexpr std::uint32_t kWmClose = 0x0010;
inline constexpr std::uint32_t kWmQuit = 0x0012;
inline constexpr std::uint32_t kWmCommand = 0x0111;
inline constexpr std::uint32_t kWmApp = 0x8000;

struct WindowMessage {
  std::uint32_t message = 0;
  std::uint64_t wParam = 0;
  std::int64_t lParam = 0;
};

// 0x00BBGGRR, as a COLORREF.
using Colour = std::uint32_t;
inline constexpr Colour rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return static_cast<Colour>(red) | (static_cast<Colour>(green) << 8) | (static_cast<Colour>(blue) << 16);
}

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const Rect&) const = default;
};

struct PaintItem {
  enum class Kind { FillRect, Line, Text };
  Kind kind = Kind::FillRect;
  Rect rect;         // the rectangle; a line from (left, top) to (right, bottom); a text at (left, top)
  Colour colour = 0;
  std::string text;  // UTF-8
};

// One paint in progress: the window procedure draws into it on WM_PAINT.
class PaintSurface {
 public:
  void fillRect(Rect rect, Colour colour) { items_.push_back({PaintItem::Kind::FillRect, rect, colour, {}}); }
  void line(int x1, int y1, int x2, int y2, Colour colour) {
    items_.push_back({PaintItem::Kind::Line, {x1, y1, x2, y2}, colour, {}});
  }
  void textOut(int x, int y, std::string text, Colour colour) {
    items_.push_back({PaintItem::Kind::Text, {x, y, x, y}, colour, std::move(text)});
  }
  const std::vector<PaintItem>& items() const { return items_; }
  std::vector<PaintItem> take() { return std::move(items_); }

 private:
  std::vector<PaintItem> items_;
};

class WindowModel {
 public:
  WindowModel(std::string title, int x, int y, int width, int height);
  WindowModel(const WindowModel&) = delete;
  WindowModel& operator=(const WindowModel&) = delete;

  const std::string& title() const { return title_; }
  int width() const { return width_; }
  int height() const { return height_; }
  // The window rectangle on the screen.
  Rect windowRect() const;
  void moveTo(int x, int y);
  // Kept above every other window (on) or not (off), place and size kept;
  // the view applies it.
  void setTopmost(bool topmost);
  bool topmost() const;

  // ---- Messages (any thread) ----
  void postMessage(std::uint32_t message, std::uint64_t wParam = 0, std::int64_t lParam = 0);
  // The quit message ends the message loop with the exit code.
  void postQuitMessage(int exitCode);
  // Waits up to the timeout for the next message; none when none came.
  std::optional<WindowMessage> waitMessage(std::chrono::milliseconds timeout);
  // Messages waiting, in order (tests).
  std::vector<WindowMessage> pendingMessages() const;

  // ---- Painting ----
  // Marks the window for a repaint (any thread): a WM_PAINT is posted unless
  // one waits already, and the view is told.
  void invalidate();
  // The paint of the window procedure is complete: it becomes what the
  // window shows.
  void finishPaint(PaintSurface&& surface);
  // A text of the paint that does not convert to UTF-16, or that is longer
  // than a drawing call takes (2^31 - 1 bytes), is left out of it and handed
  // to this handler, once per paint, on the thread that finished the paint.
  void setUndrawableTextHandler(std::function<void(const std::string& text)> handler);
  std::vector<PaintItem> lastPaint() const;
  std::uint64_t paintCount() const;
  // The view's wake-up for a new paint or a new message (called outside the lock).
  void setViewNotifier(std::function<void()> notifier);

 private:
  void notifyView();

  const std::string title_;
  const int width_;
  const int height_;

  // Guards the position, the message queue, the paint, the notifier and the
  // handler of undrawable texts.
  mutable std::mutex mutex_;
  std::condition_variable messageArrived_;
  int x_;
  int y_;
  bool topmost_ = false;
  std::deque<WindowMessage> messages_;
  bool paintPosted_ = false;
  std::vector<PaintItem> lastPaint_;
  std::uint64_t paintCount_ = 0;
  std::function<void()> viewNotifier_;
  std::function<void(const std::string&)> undrawableTextHandler_;
};

// True when the text converts to UTF-16 and fits a drawing call.
bool isDrawableText(std::string_view text);

}  // namespace platform
