#include "platform/window/window_model.h"

namespace platform {

WindowModel::WindowModel(std::string title, int x, int y, int width, int height)
    : title_(std::move(title)), width_(width), height_(height), x_(x), y_(y) {}

Rect WindowModel::windowRect() const {
  std::lock_guard lock(mutex_);
  return {x_, y_, x_ + width_, y_ + height_};
}

void WindowModel::moveTo(int x, int y) {
  std::lock_guard lock(mutex_);
  x_ = x;
  y_ = y;
}

void WindowModel::setTopmost(bool topmost) {
  {
    std::lock_guard lock(mutex_);
    topmost_ = topmost;
  }
  notifyView();
}

bool WindowModel::topmost() const {
  std::lock_guard lock(mutex_);
  return topmost_;
}

void WindowModel::postMessage(std::uint32_t message, std::uint64_t wParam, std::int64_t lParam) {
  {
    std::lock_guard lock(mutex_);
    messages_.push_back({message, wParam, lParam});
  }
  messageArrived_.notify_all();
  notifyView();
}

void WindowModel::postQuitMessage(int exitCode) {
  postMessage(kWmQuit, static_cast<std::uint64_t>(static_cast<std::int64_t>(exitCode)));
}

std::optional<WindowMessage> WindowModel::waitMessage(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  if (!messageArrived_.wait_for(lock, timeout, [this] { return !messages_.empty(); })) {
    return std::nullopt;
  }
  WindowMessage message = messages_.front();
  messages_.pop_front();
  if (message.message == kWmPaint) {
    paintPosted_ = false;
  }
  return message;
}

std::vector<WindowMessage> WindowModel::pendingMessages() const {
  std::lock_guard lock(mutex_);
  return {messages_.begin(), messages_.end()};
}

void WindowModel::invalidate() {
  {
    std::lock_guard lock(mutex_);
    if (paintPosted_) {
      return;
    }
    paintPosted_ = true;
    messages_.push_back({kWmPaint, 0, 0});
  }
  messageArrived_.notify_all();
  notifyView();
}

void WindowModel::finishPaint(PaintSurface&& surface) {
  {
    std::lock_guard lock(mutex_);
    lastPaint_ = surface.take();
    ++paintCount_;
  }
  notifyView();
}

std::vector<PaintItem> WindowModel::lastPaint() const {
  std::lock_guard lock(mutex_);
  return lastPaint_;
}

std::uint64_t WindowModel::paintCount() const {
  std::lock_guard lock(mutex_);
  return paintCount_;
}

void WindowModel::setViewNotifier(std::function<void()> notifier) {
  std::lock_guard lock(mutex_);
  viewNotifier_ = std::move(notifier);
}

void WindowModel::notifyView() {
  std::function<void()> notifier;
  {
    std::lock_guard lock(mutex_);
    notifier = viewNotifier_;
  }
  if (notifier) {
    notifier();
  }
}

}  // namespace platform
