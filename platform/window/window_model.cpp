#include "platform/window/window_model.h"

#include <limits>

#include "platform/os/utf16.h"

namespace platform {

bool isDrawableText(std::string_view text) {
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    return false;
  }
  std::u16string converted;
  return convertUtf8ToUtf16(text, converted) == 0;
}

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
  std::vector<PaintItem> drawn;
  std::vector<std::string> undrawable;
  for (PaintItem& item : surface.take()) {
    if (item.kind == PaintItem::Kind::Text && !isDrawableText(item.text)) {
      undrawable.push_back(std::move(item.text));
    } else {
      drawn.push_back(std::move(item));
    }
  }
  std::function<void(const std::string&)> handler;
  {
    std::lock_guard lock(mutex_);
    lastPaint_ = std::move(drawn);
    ++paintCount_;
    handler = undrawableTextHandler_;
  }
  if (handler) {
    for (const std::string& text : undrawable) {
      handler(text);
    }
  }
  notifyView();
}

void WindowModel::setUndrawableTextHandler(std::function<void(const std::string& text)> handler) {
  std::lock_guard lock(mutex_);
  undrawableTextHandler_ = std::move(handler);
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
