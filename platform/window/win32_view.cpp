// The main window on Windows: a Win32 window over the headless model. Each
// paint draws the model's last paint and the controls into a bitmap of the
// client size (a DIB section, so a screenshot reads the very pixels shown)
// and copies it to the screen; the edit box in use is a real EDIT child laid
// over the model's box.

#include "platform/window/window_view.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/os/system_error_text.h"
#include "platform/os/utf16.h"
#include "platform/window/control_input.h"

namespace platform {
namespace {

constexpr int kFontSize = 13;
constexpr Colour kControlFace = rgb(0xF0, 0xF0, 0xF0);
constexpr Colour kControlEdge = rgb(0x80, 0x80, 0x80);
constexpr Colour kDisabledText = rgb(0xA0, 0xA0, 0xA0);
// What an edit box gives the program at most (UTF-16 units, as the edit
// control counts).
constexpr WPARAM kMaxEditText = 1023;
// The model has news for the view (a paint, a message, the topmost wish).
constexpr UINT kWakeMessage = WM_APP + 0x100;
// The class bears the program's short name, as its main window's title does.
constexpr wchar_t kWindowClass[] = L"CRVN";
// The system's arrow cursor (IDC_ARROW, named here without the narrow macro).
const LPCWSTR kArrowCursor = MAKEINTRESOURCEW(32512);
// A fixed window with a title bar and a close box, no minimise or maximise box.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;

std::wstring wideOf(std::u16string_view text) { return {text.begin(), text.end()}; }

std::wstring wideOf(const std::string& utf8) {
  std::u16string utf16;
  convertUtf8ToUtf16(utf8, utf16);
  return wideOf(utf16);
}

// Draws on a device context with the stock brush and pen whose colour is set
// per item; texts stand on their baseline, over a transparent background.
class Painter {
 public:
  Painter(HDC dc, HFONT font) : dc_(dc) {
    oldFont_ = SelectObject(dc_, font);
    oldBrush_ = SelectObject(dc_, GetStockObject(DC_BRUSH));
    oldPen_ = SelectObject(dc_, GetStockObject(DC_PEN));
    SetBkMode(dc_, TRANSPARENT);
    SetTextAlign(dc_, TA_LEFT | TA_BASELINE | TA_NOUPDATECP);
  }
  ~Painter() {
    SelectObject(dc_, oldPen_);
    SelectObject(dc_, oldBrush_);
    SelectObject(dc_, oldFont_);
  }
  Painter(const Painter&) = delete;
  Painter& operator=(const Painter&) = delete;

  void fill(int x, int y, int width, int height, Colour colour) {
    const RECT rect{x, y, x + width, y + height};
    SetDCBrushColor(dc_, colour);
    FillRect(dc_, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  }
  // The outline of the rectangle, one pixel wide, inside it.
  void frame(int x, int y, int width, int height, Colour colour) {
    const RECT rect{x, y, x + width, y + height};
    SetDCBrushColor(dc_, colour);
    FrameRect(dc_, &rect, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  }
  // A line through both of its end points (LineTo leaves out the last one).
  void line(int x1, int y1, int x2, int y2, Colour colour) {
    SetDCPenColor(dc_, colour);
    MoveToEx(dc_, x1, y1, nullptr);
    LineTo(dc_, x2, y2);
    SetPixelV(dc_, x2, y2, colour);
  }
  void text(int x, int baseline, const std::wstring& text, Colour colour) {
    SetTextColor(dc_, colour);
    TextOutW(dc_, x, baseline, text.c_str(), static_cast<int>(text.size()));
  }

 private:
  HDC dc_;
  HGDIOBJ oldFont_;
  HGDIOBJ oldBrush_;
  HGDIOBJ oldPen_;
};

void drawControl(Painter& painter, const ControlState& control) {
  const ControlRect& r = control.rect;
  std::u16string label = control.text;
  if (control.kind == ControlKind::ComboBox && control.selection >= 0 &&
      static_cast<std::size_t>(control.selection) < control.items.size()) {
    label = control.items[static_cast<std::size_t>(control.selection)];
  }
  painter.fill(r.x, r.y, r.width, r.height, kControlFace);
  painter.frame(r.x, r.y, r.width, r.height, kControlEdge);
  const Colour ink = control.enabled ? 0 : kDisabledText;
  int textX = r.x + 3;
  if (control.kind == ControlKind::CheckBox) {
    painter.frame(r.x + 2, r.y + (r.height - 11) / 2, 11, 11, ink);
    if (control.checked) {
      const int middle = r.y + r.height / 2;
      painter.line(r.x + 4, middle, r.x + 7, middle + 3, ink);
      painter.line(r.x + 7, middle + 3, r.x + 11, middle - 3, ink);
    }
    textX = r.x + 17;
  }
  painter.text(textX, r.y + (r.height + kFontSize) / 2 - 2, wideOf(label), ink);
}

// A list item's text as a menu shows it: "&" stands for itself.
std::wstring menuText(const std::u16string& item) {
  std::wstring text;
  for (const char16_t unit : item) {
    if (unit == u'&') text += L'&';
    text += static_cast<wchar_t>(unit);
  }
  return text;
}

}  // namespace

bool displayLost() { return false; }

bool displayAvailable() {
  // Under Wine without an X display no window can be created.
  HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, GetModuleHandleW(nullptr),
                               nullptr);
  if (probe == nullptr) return false;
  DestroyWindow(probe);
  return true;
}

class WindowView::Window {
 public:
  Window(WindowModel& model, ControlModel& controls)
      : model_(model),
        controls_(controls),
        input_(model, controls),
        wakePosted_(std::make_shared<std::atomic<bool>>(false)) {
    registerWindowClass();
    createBackBuffer();
    font_ = CreateFontW(-kFontSize, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Arial");
    const Rect place = model.windowRect();
    RECT outer{place.left, place.top, place.left + model.width(), place.top + model.height()};
    AdjustWindowRectEx(&outer, kWindowStyle, FALSE, 0);
    // The procedure learns its window at WM_NCCREATE.
    if (CreateWindowExW(0, kWindowClass, wideOf(model.title()).c_str(), kWindowStyle, place.left, place.top,
                        outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                        GetModuleHandleW(nullptr), this) == nullptr) {
      const std::string reason = systemErrorText(GetLastError());
      releaseGdiObjects();
      throw std::runtime_error("the main window could not be created: " + reason);
    }
    createField();
  }

  ~Window() {
    DestroyWindow(window_);  // and the field, its child
    releaseGdiObjects();
  }

  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // The model's wake-up, callable from any thread: one wake message waits
  // in the queue at most.
  std::function<void()> notifier() const {
    return [window = window_, posted = wakePosted_] {
      if (!posted->exchange(true) && PostMessageW(window, kWakeMessage, 0, 0) == 0) posted->store(false);
    };
  }

  void show() {
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
  }

  // Handles the messages that wait, or else waits up to the timeout for one
  // and handles what came.
  void handleMessages(std::chrono::milliseconds timeout) {
    if (dispatchWaiting()) return;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(std::max<std::int64_t>(timeout.count(), 0)),
                                QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    dispatchWaiting();
  }

  // Follows the model: a box that was disabled gives up the field, a text
  // that the program set is shown in it.
  void followModel() {
    const std::optional<std::uint16_t> focused = input_.focusedEdit();
    if (!focused || *focused != fieldId_) {
      hideField();
      return;
    }
    const std::u16string text = controls_.text(fieldId_).value_or(u"");
    if (text != fieldText()) {
      setFieldText(text);
      const auto end = static_cast<WPARAM>(text.size());
      SendMessageW(field_, EM_SETSEL, end, static_cast<LPARAM>(end));
    }
  }

  void repaint() {
    InvalidateRect(window_, nullptr, FALSE);
    UpdateWindow(window_);
  }

  void setTopmost(bool topmost) {
    SetWindowPos(window_, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }

  // The window's pixels as a paint draws them, with the field in use on top.
  std::vector<std::uint8_t> capture() {
    render();
    if (IsWindowVisible(field_)) {
      RECT place{};
      GetWindowRect(field_, &place);
      MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&place), 2);
      POINT origin{};
      SetViewportOrgEx(buffer_, place.left, place.top, &origin);
      SendMessageW(field_, WM_PRINT, reinterpret_cast<WPARAM>(buffer_), PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND);
      SetViewportOrgEx(buffer_, origin.x, origin.y, nullptr);
    }
    GdiFlush();
    const int width = model_.width();
    const int height = model_.height();
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    const auto* pixels = static_cast<const std::uint8_t*>(bits_);  // rows top down, blue green red unused
    for (std::size_t i = 0; i < rgb.size() / 3; ++i) {
      rgb[i * 3] = pixels[i * 4 + 2];
      rgb[i * 3 + 1] = pixels[i * 4 + 1];
      rgb[i * 3 + 2] = pixels[i * 4];
    }
    return rgb;
  }

 private:
  static void registerWindowClass() {
    static const bool registered = [] {
      WNDCLASSEXW windowClass{};
      windowClass.cbSize = sizeof(windowClass);
      windowClass.lpfnWndProc = &Window::procedure;
      windowClass.hInstance = GetModuleHandleW(nullptr);
      windowClass.hCursor = LoadCursorW(nullptr, kArrowCursor);
      windowClass.lpszClassName = kWindowClass;
      return RegisterClassExW(&windowClass) != 0;
    }();
    if (!registered) throw std::runtime_error("the main window's class could not be registered");
  }

  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
      self->window_ = window;
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    return self->handle(message, wParam, lParam);
  }

  // The field's own procedure, but Enter tells the program.
  static LRESULT CALLBACK fieldProcedure(HWND field, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(field, GWLP_USERDATA));
    if (message == WM_CHAR && wParam == VK_RETURN) {
      self->input_.enterPressed();
      return 0;
    }
    return CallWindowProcW(self->fieldDefault_, field, message, wParam, lParam);
  }

  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_ERASEBKGND:
        return 1;  // every paint covers the whole window
      case WM_PAINT: {
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(window_, &paint);
        render();
        BitBlt(dc, 0, 0, model_.width(), model_.height(), buffer_, 0, 0, SRCCOPY);
        EndPaint(window_, &paint);
        return 0;
      }
      case WM_PRINTCLIENT:
        render();
        BitBlt(reinterpret_cast<HDC>(wParam), 0, 0, model_.width(), model_.height(), buffer_, 0, 0, SRCCOPY);
        return 0;
      case WM_LBUTTONDOWN:
        click(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        return 0;
      case WM_COMMAND:
        if (reinterpret_cast<HWND>(lParam) == field_ && HIWORD(wParam) == EN_CHANGE && !settingFieldText_) {
          input_.editText(fieldText());
        }
        return 0;
      case WM_SETFOCUS:
        if (IsWindowVisible(field_)) SetFocus(field_);
        return 0;
      case WM_WINDOWPOSCHANGED: {
        // The user moved the window: the program keeps its place (not the
        // parking place of a minimised window).
        const auto* position = reinterpret_cast<const WINDOWPOS*>(lParam);
        if ((position->flags & SWP_NOMOVE) == 0 && IsIconic(window_) == 0) model_.moveTo(position->x, position->y);
        break;
      }
      case WM_CLOSE:
        // The close box asks the program; the window is neither hidden nor destroyed.
        model_.postMessage(kWmClose);
        return 0;
      case kWakeMessage:
        wakePosted_->store(false);
        return 0;
      case WM_NCDESTROY:
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        break;
      default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
  }

  // Clicks reach the controls as the program's commands; a click on an edit
  // box lays the field over it; a drop-down list opens its items.
  void click(int x, int y) {
    std::uint16_t id = 0;
    switch (input_.click(x, y, &id)) {
      case ClickOutcome::command:
      case ClickOutcome::nothing:
        hideField();
        break;
      case ClickOutcome::openList:
        hideField();
        openList(id);
        break;
      case ClickOutcome::editFocused:
        showField(id, x, y);
        break;
    }
  }

  bool dispatchWaiting() {
    bool any = false;
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
      any = true;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    return any;
  }

  void render() {
    Painter painter(buffer_, font_);
    painter.fill(0, 0, model_.width(), model_.height(), 0);
    for (const PaintItem& item : model_.lastPaint()) {
      const Rect& r = item.rect;
      switch (item.kind) {
        case PaintItem::Kind::FillRect:
          painter.fill(r.left, r.top, r.right - r.left, r.bottom - r.top, item.colour);
          break;
        case PaintItem::Kind::Line:
          painter.line(r.left, r.top, r.right, r.bottom, item.colour);
          break;
        case PaintItem::Kind::Text:
          painter.text(r.left, r.top + kFontSize, wideOf(item.text), item.colour);
          break;
      }
    }
    for (const std::uint16_t id : controls_.controlIds()) {
      if (const std::optional<ControlState> control = controls_.control(id)) drawControl(painter, *control);
    }
  }

  void createBackBuffer() {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = model_.width();
    info.bmiHeader.biHeight = -model_.height();  // rows top down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    buffer_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(buffer_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    if (buffer_ == nullptr || bitmap_ == nullptr || bits_ == nullptr) {
      releaseGdiObjects();
      throw std::runtime_error("the main window's bitmap could not be created");
    }
    oldBitmap_ = SelectObject(buffer_, bitmap_);
  }

  void releaseGdiObjects() {
    if (buffer_ != nullptr && oldBitmap_ != nullptr) SelectObject(buffer_, oldBitmap_);
    if (bitmap_ != nullptr) DeleteObject(bitmap_);
    if (buffer_ != nullptr) DeleteDC(buffer_);
    if (font_ != nullptr) DeleteObject(font_);
    buffer_ = nullptr;
    bitmap_ = nullptr;
    font_ = nullptr;
  }

  // The edit box in use: a real edit control, hidden until a box is clicked.
  void createField() {
    field_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_BORDER | ES_LEFT | ES_AUTOHSCROLL, 0, 0, 10, 10, window_,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    if (field_ == nullptr) return;  // the boxes then show their texts only
    SendMessageW(field_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    SendMessageW(field_, EM_SETLIMITTEXT, kMaxEditText, 0);
    SetWindowLongPtrW(field_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    fieldDefault_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(field_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::fieldProcedure)));
  }

  std::u16string fieldText() const {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(field_)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(field_, text.data(), static_cast<int>(text.size()))));
    return {text.begin(), text.end()};
  }

  void setFieldText(const std::u16string& text) {
    settingFieldText_ = true;
    SetWindowTextW(field_, wideOf(text).c_str());
    settingFieldText_ = false;
  }

  // Lays the field over the box, with the caret where the click was.
  void showField(std::uint16_t id, int x, int y) {
    const std::optional<ControlState> control = controls_.control(id);
    if (!control || field_ == nullptr) return;
    const ControlRect& r = control->rect;
    if (!IsWindowVisible(field_) || fieldId_ != id) {
      fieldId_ = id;
      MoveWindow(field_, r.x, r.y, r.width, r.height, FALSE);
      setFieldText(control->text);
      ShowWindow(field_, SW_SHOW);
    }
    SetFocus(field_);
    constexpr int kBorder = 1;
    const LRESULT at = SendMessageW(field_, EM_CHARFROMPOS, 0, MAKELPARAM(x - r.x - kBorder, y - r.y - kBorder));
    const WPARAM index = LOWORD(at);
    SendMessageW(field_, EM_SETSEL, index, static_cast<LPARAM>(index));
  }

  void hideField() {
    if (field_ == nullptr || !IsWindowVisible(field_)) return;
    const bool hadFocus = GetFocus() == field_;
    ShowWindow(field_, SW_HIDE);
    if (hadFocus) SetFocus(window_);
    fieldId_ = 0;
    input_.releaseFocus();
    InvalidateRect(window_, nullptr, FALSE);
  }

  // The list's items under the box; a choice reaches the program.
  void openList(std::uint16_t id) {
    const std::optional<ControlState> control = controls_.control(id);
    if (!control || control->items.empty()) return;
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) return;
    for (std::size_t i = 0; i < control->items.size(); ++i) {
      const UINT checked = static_cast<int>(i) == control->selection ? MF_CHECKED : MF_UNCHECKED;
      AppendMenuW(menu, MF_STRING | checked, i + 1, menuText(control->items[i]).c_str());
    }
    POINT below{control->rect.x, control->rect.y + control->rect.height};
    ClientToScreen(window_, &below);
    SetForegroundWindow(window_);
    constexpr UINT kChoiceOnly = TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON;
    const int chosen = static_cast<int>(TrackPopupMenu(menu, kChoiceOnly, below.x, below.y, 0, window_, nullptr));
    DestroyMenu(menu);
    if (chosen > 0) input_.chooseItem(id, chosen - 1);
  }

  WindowModel& model_;
  ControlModel& controls_;
  ControlInput input_;
  // Set while a wake message waits in the queue; the notifier reads and sets
  // it from any thread.
  std::shared_ptr<std::atomic<bool>> wakePosted_;
  HWND window_ = nullptr;
  HWND field_ = nullptr;
  WNDPROC fieldDefault_ = nullptr;
  std::uint16_t fieldId_ = 0;
  bool settingFieldText_ = false;
  HDC buffer_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  void* bits_ = nullptr;
  HFONT font_ = nullptr;
};

WindowView::WindowView(WindowModel& model, ControlModel& controls)
    : model_(model), window_(std::make_unique<Window>(model, controls)) {
  model_.setViewNotifier(window_->notifier());
}

WindowView::~WindowView() { model_.setViewNotifier({}); }

void WindowView::show() {
  window_->show();
  followTopmost();
}

void WindowView::handleEvents(std::chrono::milliseconds timeout) { window_->handleMessages(timeout); }

void WindowView::followModel() { window_->followModel(); }

void WindowView::redraw() { window_->repaint(); }

bool WindowView::applyTopmost(bool topmost) {
  window_->setTopmost(topmost);
  return true;
}

std::vector<std::uint8_t> WindowView::captureRgb() { return window_->capture(); }

}  // namespace platform
