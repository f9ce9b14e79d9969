// The Win32 window over the model: what it shows (read back from its
// bitmap) and what the user's mouse and keys do, sent to the window and its
// edit field as the system sends them. Needs a window station with a
// display (under Wine: an X display, as scripts/test --windows gives).

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/window/window_view.h"

namespace platform {
namespace {

using namespace std::chrono_literals;

constexpr int kWidth = 300;
constexpr int kHeight = 200;
constexpr Colour kRed = rgb(0xC0, 0x20, 0x20);
constexpr Colour kGreen = rgb(0x20, 0xC0, 0x20);
constexpr Colour kFace = rgb(0xF0, 0xF0, 0xF0);
constexpr Colour kEdge = rgb(0x80, 0x80, 0x80);
constexpr std::uint16_t kCombo = 1;
constexpr std::uint16_t kEdit = 2;
constexpr std::uint16_t kCheck = 3;
constexpr std::uint16_t kButton = 4;

struct Pixels {
  std::vector<std::uint8_t> rgb;
  Colour at(int x, int y) const {
    const std::uint8_t* pixel = &rgb[(static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x)) * 3];
    return platform::rgb(pixel[0], pixel[1], pixel[2]);
  }
  // The darkest grey level in the rectangle (text ink).
  int darkest(int left, int top, int right, int bottom) const {
    int level = 255;
    for (int y = top; y < bottom; ++y) {
      for (int x = left; x < right; ++x) level = std::min(level, static_cast<int>(at(x, y) & 0xFF));
    }
    return level;
  }
  bool sameIn(const Pixels& other, int left, int top, int right, int bottom) const {
    for (int y = top; y < bottom; ++y) {
      for (int x = left; x < right; ++x) {
        if (at(x, y) != other.at(x, y)) return false;
      }
    }
    return true;
  }
};

class Win32ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!displayAvailable()) GTEST_SKIP() << "no window can be created (under Wine: run with an X display)";
    controls.createControl(kCombo, ControlKind::ComboBox, {20, 20, 60, 20});
    for (const char16_t* item : {u"10", u"20", u"40"}) controls.addString(kCombo, item);
    controls.setCurrentSelection(kCombo, 0);
    controls.createControl(kEdit, ControlKind::EditBox, {20, 80, 100, 16}, u"");
    controls.createControl(kCheck, ControlKind::CheckBox, {20, 120, 100, 20}, u"Log");
    controls.setChecked(kCheck, true);
    controls.createControl(kButton, ControlKind::PushButton, {150, 20, 60, 20}, u"Go");
    paint();
    view = std::make_unique<WindowView>(window, controls);
    view->show();
    settle();
    const std::string title = testTitle();
    handle = FindWindowW(nullptr, std::wstring(title.begin(), title.end()).c_str());
    ASSERT_NE(handle, nullptr);
    field = FindWindowExW(handle, nullptr, L"Edit", nullptr);
    ASSERT_NE(field, nullptr);
  }

  // A title of this test alone: the tests run side by side on one desktop.
  static std::string testTitle() {
    return std::string("CRVN view ") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }

  void paint() {
    PaintSurface surface;
    surface.fillRect({200, 150, 260, 190}, kRed);
    surface.line(10, 190, 150, 190, kGreen);
    surface.textOut(200, 60, "Hello", rgb(0xFF, 0xFF, 0xFF));
    window.finishPaint(std::move(surface));
  }

  void settle() {
    for (int i = 0; i < 5; ++i) view->pump(10ms);
  }

  void clickAt(int x, int y) {
    PostMessageW(handle, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageW(handle, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    settle();
  }

  void typeInField(const std::wstring& keys) {
    for (const wchar_t key : keys) SendMessageW(field, WM_CHAR, key, 1);
    settle();
  }

  Pixels capture() { return {view->captureRgb()}; }

  std::vector<std::uint64_t> commands() {
    std::vector<std::uint64_t> found;
    while (const auto message = window.waitMessage(0ms)) {
      if (message->message == kWmCommand) found.push_back(message->wParam);
    }
    return found;
  }

  WindowModel window{testTitle(), 40, 30, kWidth, kHeight};
  ControlModel controls;
  std::unique_ptr<WindowView> view;
  HWND handle = nullptr;
  HWND field = nullptr;
};

TEST_F(Win32ViewTest, TheWindowHasTheModelsPlaceAndSizeStaysOnTopWhileAskedTellsItsMovesAndItsCloseBoxOnlyAsks) {
  RECT client{};
  GetClientRect(handle, &client);
  EXPECT_EQ(client.right - client.left, kWidth);
  EXPECT_EQ(client.bottom - client.top, kHeight);
  RECT before{};
  GetWindowRect(handle, &before);
  EXPECT_EQ(before.left, 40);
  EXPECT_EQ(before.top, 30);

  window.setTopmost(true);
  settle();
  EXPECT_NE(GetWindowLongW(handle, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  window.setTopmost(false);
  settle();
  EXPECT_EQ(GetWindowLongW(handle, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  RECT after{};
  GetWindowRect(handle, &after);
  EXPECT_TRUE(EqualRect(&before, &after)) << "place and size kept";

  // Moved by the user: the program keeps the new place.
  SetWindowPos(handle, nullptr, 100, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  settle();
  EXPECT_EQ(window.windowRect(), (Rect{100, 90, 100 + kWidth, 90 + kHeight}));

  SendMessageW(handle, WM_SYSCOMMAND, SC_CLOSE, 0);
  settle();
  bool closeAsked = false;
  for (const WindowMessage& message : window.pendingMessages()) closeAsked = closeAsked || message.message == kWmClose;
  EXPECT_TRUE(closeAsked);
  EXPECT_TRUE(IsWindowVisible(handle)) << "the program decides";
}

TEST_F(Win32ViewTest, TheWindowHasATitleBarAndACloseBoxButNoMinimiseMaximiseOrSizingFrame) {
  const LONG style = GetWindowLongW(handle, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_NE(style & WS_SYSMENU, 0);
  for (const LONG absent : {WS_MINIMIZEBOX, WS_MAXIMIZEBOX, WS_THICKFRAME}) EXPECT_EQ(style & absent, 0) << absent;
}

TEST_F(Win32ViewTest, TheWindowsClassBearsTheProgramsShortName) {
  wchar_t name[32] = {};
  ASSERT_GT(GetClassNameW(handle, name, 32), 0);
  EXPECT_EQ(std::wstring(name), L"CRVN");
}

TEST_F(Win32ViewTest, TheCaptureShowsThePaintAndTheControls) {
  const Pixels shot = capture();
  EXPECT_EQ(shot.at(5, 5), 0U);           // the black ground
  EXPECT_EQ(shot.at(230, 170), kRed);     // inside the filled rectangle
  EXPECT_EQ(shot.at(259, 189), kRed);     // its last pixel
  EXPECT_EQ(shot.at(260, 170), 0U);       // right of it
  EXPECT_EQ(shot.at(80, 190), kGreen);    // on the line
  EXPECT_EQ(shot.at(150, 190), kGreen);   // its end point
  int brightest = 0;
  for (int y = 60; y < 76; ++y) {
    for (int x = 200; x < 240; ++x) brightest = std::max(brightest, static_cast<int>(shot.at(x, y) & 0xFF));
  }
  EXPECT_GT(brightest, 0xC0) << "the white text";
  EXPECT_EQ(shot.at(20, 20), kEdge);      // a control's edge
  EXPECT_EQ(shot.at(60, 22), kFace);      // its face
  EXPECT_LT(shot.darkest(23, 22, 79, 39), 0x60) << "the combo box's selected item";
  // The check box's tick, through both of its end points.
  EXPECT_EQ(shot.at(24, 130), 0U);
  EXPECT_EQ(shot.at(27, 133), 0U);
  EXPECT_EQ(shot.at(31, 127), 0U);
  EXPECT_EQ(shot.at(22, 125), 0U);        // the corner of its box

  controls.setChecked(kCheck, false);
  controls.setEnabled(kButton, false);
  controls.setCurrentSelection(kCombo, 2);
  paint();
  settle();
  const Pixels after = capture();
  EXPECT_EQ(after.at(27, 133), kFace) << "no tick";
  EXPECT_EQ(after.at(22, 125), 0U);
  EXPECT_LT(shot.darkest(153, 22, 209, 39), 0x60) << "enabled text is black";
  const int disabled = after.darkest(153, 22, 209, 39);
  EXPECT_GE(disabled, 0x90) << "disabled text is grey";
  EXPECT_LT(disabled, 0xF0) << "disabled text is drawn";
  EXPECT_FALSE(after.sameIn(shot, 23, 22, 79, 39)) << "the combo box shows its new item";
}

TEST_F(Win32ViewTest, ClicksAndAChoiceFromThePopupListReachTheProgramAsCommands) {
  clickAt(50, 130);
  clickAt(180, 30);
  clickAt(250, 100);  // nothing there
  controls.setEnabled(kButton, false);
  clickAt(180, 30);  // disabled
  // The menu's loop reads the keys that wait in the queue: the third item.
  PostMessageW(handle, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 30));
  for (const WPARAM key : {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}) PostMessageW(handle, WM_KEYDOWN, key, 1);
  settle();
  EXPECT_EQ(controls.currentSelection(kCombo), 2);
  EXPECT_EQ(commands(), (std::vector<std::uint64_t>{commandParam(kCheck, kButtonClicked),
                                                    commandParam(kButton, kButtonClicked),
                                                    commandParam(kCombo, kComboSelectionChanged)}));
}

TEST_F(Win32ViewTest, TheEditFieldTakesTypingIntoTheModelAtOnceAndEnterTellsTheProgram) {
  EXPECT_FALSE(IsWindowVisible(field));
  clickAt(60, 88);
  ASSERT_TRUE(IsWindowVisible(field));
  RECT place{};
  GetWindowRect(field, &place);
  MapWindowPoints(nullptr, handle, reinterpret_cast<POINT*>(&place), 2);
  EXPECT_EQ(place.left, 20);
  EXPECT_EQ(place.top, 80);
  EXPECT_EQ(GetFocus(), field);

  typeInField(L"egll");
  EXPECT_EQ(controls.text(kEdit), u"egll");
  EXPECT_EQ(capture().at(110, 88), rgb(0xFF, 0xFF, 0xFF)) << "the field in use is in the picture";
  typeInField(L"\r");
  EXPECT_EQ(controls.text(kEdit), u"egll") << "Enter is no text";
  EXPECT_EQ(commands(), (std::vector<std::uint64_t>{commandParam(kEdit, kEditEnterPressed)}));

  // A text the program sets is shown in the field.
  controls.setText(kEdit, u"EHAM");
  settle();
  wchar_t shown[16] = {};
  GetWindowTextW(field, shown, 16);
  EXPECT_EQ(std::wstring(shown), L"EHAM");

  // A click elsewhere lets go; the typing no longer reaches the box.
  clickAt(250, 100);
  EXPECT_FALSE(IsWindowVisible(field));
  typeInField(L"x");
  EXPECT_EQ(controls.text(kEdit), u"EHAM");

  // At most 1023 units; a box that is disabled gives up the field and takes
  // no clicks.
  clickAt(60, 88);
  typeInField(std::wstring(1030, L'a'));
  EXPECT_EQ(controls.text(kEdit).value_or(u"").size(), 1023U);
  controls.setEnabled(kEdit, false);
  settle();
  EXPECT_FALSE(IsWindowVisible(field));
  clickAt(60, 88);
  EXPECT_FALSE(IsWindowVisible(field));
}

// The model's news from any thread becomes one wake message in the
// window's queue until the window has taken it.
TEST_F(Win32ViewTest, NewsFromAnotherThreadPostsOneWakeMessage) {
  for (int round = 0; round < 2; ++round) {
    std::thread worker([this] {
      window.postMessage(kWmApp + 1);
      window.invalidate();
      window.setTopmost(false);
    });
    worker.join();
    int wakes = 0;
    MSG message{};
    while (PeekMessageW(&message, handle, WM_APP, 0xBFFF, PM_REMOVE) != 0) {
      ++wakes;
      DispatchMessageW(&message);
    }
    EXPECT_EQ(wakes, 1) << "round " << round;
  }
  EXPECT_EQ(window.pendingMessages().size(), 3U);
}

}  // namespace
}  // namespace platform
