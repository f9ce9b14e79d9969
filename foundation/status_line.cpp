#include "foundation/status_line.h"

#include <algorithm>

#include <fmt/format.h>

#include "foundation/log.h"

namespace crv {
namespace {

struct StatusTexts {
  std::string status;
  std::string error;
  int runningSeconds = 0;
  int statusSetTime = 0;  // runningSeconds when the status was set; 0 when empty
  std::function<void()> repaint;
};

StatusTexts& texts() {
  static StatusTexts storage;  // guarded by paintMutex()
  return storage;
}

void repaint() {
  std::function<void()> callback;
  {
    std::lock_guard lock(paintMutex());
    callback = texts().repaint;
  }
  if (callback) {
    callback();
  }
}

}  // namespace

std::mutex& paintMutex() {
  static std::mutex mutex;
  return mutex;
}

void setStatusLine(std::string_view text, bool log) {
  {
    std::lock_guard lock(paintMutex());
    if (!texts().error.empty()) {
      return;
    }
    texts().status.assign(text);
    texts().statusSetTime = text.empty() ? 0 : std::max(1, texts().runningSeconds);
  }
  if (log && !text.empty()) {
    gf_logLineUnlessStopping(std::string(text));
  }
  repaint();
}

void clearStatusLine() { setStatusLine({}, false); }

void setErrorLine(std::string_view text) {
  {
    std::lock_guard lock(paintMutex());
    texts().status.clear();
    texts().statusSetTime = 0;
    texts().error.assign(text);
  }
  gf_logLineUnlessStopping(fmt::format("Error {}", text));
  repaint();
}

void clearErrorLine() {
  {
    std::lock_guard lock(paintMutex());
    texts().error.clear();
  }
  repaint();
}

void setStatusClockSeconds(int runningSeconds) {
  std::lock_guard lock(paintMutex());
  texts().runningSeconds = runningSeconds;
}

int statusSetTime() {
  std::lock_guard lock(paintMutex());
  return texts().statusSetTime;
}

bool clearStatusLineOlderThan(int lifetimeSeconds) {
  {
    std::lock_guard lock(paintMutex());
    StatusTexts& shown = texts();
    if (shown.statusSetTime <= 0 || shown.runningSeconds - shown.statusSetTime < lifetimeSeconds) {
      return false;
    }
    shown.status.clear();
    shown.statusSetTime = 0;
  }
  repaint();
  return true;
}

std::string statusLineText() {
  std::lock_guard lock(paintMutex());
  return texts().status;
}

std::string errorLineText() {
  std::lock_guard lock(paintMutex());
  return texts().error;
}

void setStatusRepaintCallback(std::function<void()> callback) {
  std::lock_guard lock(paintMutex());
  texts().repaint = std::move(callback);
}

}  // namespace crv
