// The real window under a virtual display, operated as a user would: the X
// server is given pointer and key events (XTest) while the window pumps, and
// the program's side sees the commands and texts that real controls give.

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "platform/window/window_view.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

// A user at the X server, on a connection of its own.
class FakeUser {
 public:
  FakeUser() : display_(XOpenDisplay(nullptr)) {}
  ~FakeUser() {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  // Finds the window of the title on the screen; false when it is not there.
  bool find(const char* title) {
    if (display_ == nullptr) return false;
    ::Window root = DefaultRootWindow(display_);
    ::Window parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    XQueryTree(display_, root, &root, &parent, &children, &count);
    bool found = false;
    for (unsigned int i = 0; i < count && !found; ++i) {
      char* name = nullptr;
      if (XFetchName(display_, children[i], &name) != 0 && name != nullptr) {
        ::Window child = 0;
        found = std::string(name) == title &&
                XTranslateCoordinates(display_, children[i], root, 0, 0, &originX_, &originY_, &child) != 0;
        if (found) window_ = children[i];
        XFree(name);
      }
    }
    if (children != nullptr) XFree(children);
    return found;
  }
  // A left click at the point of the window.
  void click(int x, int y) {
    XTestFakeMotionEvent(display_, -1, originX_ + x, originY_ + y, CurrentTime);
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    settle();
  }
  // Moves the window's top left corner to the point of the screen, as a
  // window manager does when the user drags the title bar.
  void moveWindow(int x, int y) {
    XMoveWindow(display_, window_, x, y);
    settle();
  }
  void type(KeySym key) {
    const KeyCode code = XKeysymToKeycode(display_, key);
    XTestFakeKeyEvent(display_, code, True, CurrentTime);
    XTestFakeKeyEvent(display_, code, False, CurrentTime);
    settle();
  }

 private:
  void settle() {
    XSync(display_, False);
    std::this_thread::sleep_for(150ms);
  }
  Display* display_;
  ::Window window_ = 0;
  int originX_ = 0;
  int originY_ = 0;
};

class FltkInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!displayAvailable()) GTEST_SKIP() << "no display (run under xvfb-run)";
    controls.createControl(1, ControlKind::ComboBox, {20, 20, 60, 20});
    for (const char16_t* item : {u"10", u"20", u"40"}) controls.addString(1, item);
    controls.setCurrentSelection(1, 0);
    controls.createControl(2, ControlKind::EditBox, {20, 80, 100, 16}, u"");
  }

  // The view pumps on this thread while the user acts on another.
  void operate(const std::function<void(FakeUser&)>& actions) {
    WindowView view(window, controls);
    view.show();
    for (int i = 0; i < 10; ++i) view.pump(20ms);
    std::atomic<bool> done{false};
    std::thread user([&] {
      FakeUser fake;
      if (fake.find("CRVN")) actions(fake);
      done.store(true);
    });
    while (!done.load()) view.pump(10ms);
    user.join();
    for (int i = 0; i < 10; ++i) view.pump(10ms);
  }

  std::vector<std::uint64_t> commands() {
    std::vector<std::uint64_t> found;
    while (const auto message = window.waitMessage(0ms)) {
      if (message->message == kWmCommand) found.push_back(message->wParam);
    }
    return found;
  }

  bool closeAsked() const {
    for (const WindowMessage& message : window.pendingMessages()) {
      if (message.message == kWmClose) return true;
    }
    return false;
  }

  WindowModel window{"CRVN", 0, 0, 300, 200};
  ControlModel controls;
};

TEST_F(FltkInputTest, AListChoiceAndTypingWithEnterReachTheProgram) {
  operate([](FakeUser& user) {
    user.click(50, 30);  // opens the list under the box
    user.click(50, 75);  // the third item (items about 20 pixels high)
    user.click(60, 88);
    for (const KeySym key : {XK_e, XK_g, XK_l, XK_l, XK_Return}) user.type(key);
  });
  EXPECT_EQ(controls.currentSelection(1), 2);
  EXPECT_EQ(controls.text(2), u"egll");
  EXPECT_EQ(commands(), (std::vector<std::uint64_t>{commandParam(1, kComboSelectionChanged),
                                                    commandParam(2, kEditEnterPressed)}));
}

TEST_F(FltkInputTest, EscapeClosesNothingWhetherTypingInABoxOrNot) {
  operate([](FakeUser& user) {
    user.click(60, 88);
    for (const KeySym key : {XK_a, XK_Escape}) user.type(key);
    user.click(200, 150);  // no control there: the box gives up the field
    user.type(XK_Escape);
  });
  EXPECT_FALSE(closeAsked());
  EXPECT_EQ(controls.text(2), u"a");
}

TEST_F(FltkInputTest, AMoveOfTheWindowGivesTheProgramItsNewPlace) {
  operate([](FakeUser& user) { user.moveWindow(120, 90); });
  EXPECT_EQ(window.windowRect(), (Rect{120, 90, 120 + 300, 90 + 200}));
}

}  // namespace
}  // namespace platform
