#include "foundation/status_line.h"

#include <fmt/format.h>

#include "foundation/log.h"

namespace crv {
namespace {

struct StatusTexts {
  std::string status;
  std::string error;
  std::function<void()> repaint;
};

StatusTexts& texts() {
  static StatusTexts storage;
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
    texts().error.assign(text);
  }
  gf_logLine(fmt::format("Error {}", text));
  repaint();
}

void clearErrorLine() {
  {
    std::lock_guard lock(paintMutex());
    texts().error.clear();
  }
  repaint();
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
