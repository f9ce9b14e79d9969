#include "platform/window/window_view.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Image_Surface.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xlib.h>

#include "platform/os/utf16.h"
#include "platform/window/control_input.h"

namespace platform {
namespace {

constexpr int kFontSize = 13;
constexpr Colour kControlFace = rgb(0xF0, 0xF0, 0xF0);
constexpr Colour kControlEdge = rgb(0x80, 0x80, 0x80);
constexpr Colour kDisabledText = rgb(0xA0, 0xA0, 0xA0);

void setColour(Colour colour) {
  fl_color(static_cast<uchar>(colour & 0xFF), static_cast<uchar>((colour >> 8) & 0xFF),
           static_cast<uchar>((colour >> 16) & 0xFF));
}

std::string utf8Of(const std::u16string& text) {
  std::string utf8;
  convertUtf16ToUtf8(text, utf8);
  return utf8;
}

void drawControl(const ControlState& control) {
  const ControlRect& r = control.rect;
  std::string label = utf8Of(control.text);
  if (control.kind == ControlKind::ComboBox && control.selection >= 0 &&
      static_cast<std::size_t>(control.selection) < control.items.size()) {
    label = utf8Of(control.items[static_cast<std::size_t>(control.selection)]);
  }
  setColour(kControlFace);
  fl_rectf(r.x, r.y, r.width, r.height);
  setColour(kControlEdge);
  fl_rect(r.x, r.y, r.width, r.height);
  setColour(control.enabled ? 0 : kDisabledText);
  int textX = r.x + 3;
  if (control.kind == ControlKind::CheckBox) {
    fl_rect(r.x + 2, r.y + (r.height - 11) / 2, 11, 11);
    if (control.checked) {
      fl_line(r.x + 4, r.y + r.height / 2, r.x + 7, r.y + r.height / 2 + 3, r.x + 11, r.y + r.height / 2 - 3);
    }
    textX = r.x + 17;
  }
  fl_draw(label.c_str(), textX, r.y + (r.height + kFontSize) / 2 - 2);
}

std::u16string utf16Of(const char* text) {
  std::u16string utf16;
  convertUtf8ToUtf16(text == nullptr ? "" : text, utf16);
  return utf16;
}

// Asks the window manager to keep the window above the others, or no longer
// (the window manager's state list of the window; a display without one
// ignores it).
void requestAbove(Fl_Window& window, bool above) {
  Display* display = fl_display;
  const ::Window xid = fl_xid(&window);
  if (display == nullptr || xid == 0) return;
  constexpr long kRemove = 0;
  constexpr long kAdd = 1;
  constexpr long kFromApplication = 1;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = xid;
  event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = above ? kAdd : kRemove;
  event.xclient.data.l[1] = static_cast<long>(XInternAtom(display, "_NET_WM_STATE_ABOVE", False));
  event.xclient.data.l[2] = 0;
  event.xclient.data.l[3] = kFromApplication;
  XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XFlush(display);
}

// The edit box in use: a real text field laid over the model's box. Every
// change goes into the model at once; Enter tells the program.
class EditField : public Fl_Input {
 public:
  EditField(ControlInput& input) : Fl_Input(0, 0, 10, 10), input_(input) {
    box(FL_BORDER_BOX);
    textsize(kFontSize);
    maximum_size(kMaxEditText);
    when(FL_WHEN_CHANGED);
    callback([](Fl_Widget* widget, void*) {
      auto* field = static_cast<EditField*>(widget);
      field->input_.editText(utf16Of(field->value()));
    });
    hide();
  }

  int handle(int event) override {
    if (event == FL_KEYBOARD && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
      input_.enterPressed();
      return 1;
    }
    return Fl_Input::handle(event);
  }

 private:
  // What an edit box gives the program at most (UTF-16 units; the field
  // counts bytes, which is never fewer).
  static constexpr int kMaxEditText = 1023;
  ControlInput& input_;
};

// Raised when the connection to the display breaks (its server ended):
// Xlib would end the program there and then; returning lets it close.
std::atomic<bool> lostDisplay{false};
void onDisplayLost(Display* /*display*/, void* /*data*/) { lostDisplay.store(true); }
// Says nothing and ends nothing: the exit handler of each connection decides.
int onBrokenConnection(Display* /*display*/) { return 0; }

}  // namespace

bool displayAvailable() {
  const char* display = std::getenv("DISPLAY");  // NOLINT(concurrency-mt-unsafe): read at start only
  if (display == nullptr || display[0] == '\0') {
    return false;
  }
  if (fl_display != nullptr) {
    return true;
  }
  // The connection that finds the display is the one the window uses: a
  // display server with no other client resets when its last connection
  // closes, and the next open could find it gone.
  Display* opened = XOpenDisplay(nullptr);
  if (opened == nullptr) {
    return false;
  }
  fl_open_display(opened);
  XSetIOErrorHandler(onBrokenConnection);
  XSetIOErrorExitHandler(opened, onDisplayLost, nullptr);
  return true;
}

bool displayLost() { return lostDisplay.load(); }

class WindowView::Window : public Fl_Double_Window {
 public:
  Window(WindowModel& model, ControlModel& controls)
      : Fl_Double_Window(model.windowRect().left, model.windowRect().top, model.width(), model.height(),
                         model.title().c_str()),
        model_(model),
        controls_(controls),
        input_(model, controls) {
    field_ = new EditField(input_);  // owned by the window as its child
    callback(&Window::onClose, this);
    end();
  }

  // Clicks reach the controls as the program's commands; a click on an edit
  // box lays the text field over it; a drop-down list opens its items.
  int handle(int event) override {
    if (event == FL_PUSH && Fl::event_button() == FL_LEFT_MOUSE) {
      std::uint16_t id = 0;
      switch (input_.click(Fl::event_x(), Fl::event_y(), &id)) {
        case ClickOutcome::command:
          hideField();
          return 1;
        case ClickOutcome::openList:
          hideField();
          openList(id);
          return 1;
        case ClickOutcome::editFocused:
          showField(id);
          break;  // the field takes the click and places its cursor
        case ClickOutcome::nothing:
          hideField();
          break;
      }
    }
    return Fl_Double_Window::handle(event);
  }

  // Follows the model: a box that was disabled gives up the field, a text
  // that the program set is shown in it.
  void followModel() {
    const std::optional<std::uint16_t> focused = input_.focusedEdit();
    if (!focused || *focused != fieldId_) {
      hideField();
      return;
    }
    const std::string text = utf8Of(controls_.text(fieldId_).value_or(u""));
    if (text != field_->value()) field_->value(text.c_str());
  }

  // The window manager moved the window (or placed it on showing): the
  // program keeps the place, which it saves when it quits.
  void resize(int x, int y, int width, int height) override {
    Fl_Double_Window::resize(x, y, width, height);
    model_.moveTo(x, y);
  }

  void draw() override {
    fl_font(FL_HELVETICA, kFontSize);
    setColour(0);
    fl_rectf(0, 0, w(), h());
    for (const PaintItem& item : model_.lastPaint()) {
      setColour(item.colour);
      switch (item.kind) {
        case PaintItem::Kind::FillRect:
          fl_rectf(item.rect.left, item.rect.top, item.rect.right - item.rect.left, item.rect.bottom - item.rect.top);
          break;
        case PaintItem::Kind::Line:
          fl_line(item.rect.left, item.rect.top, item.rect.right, item.rect.bottom);
          break;
        case PaintItem::Kind::Text:
          fl_draw(item.text.c_str(), item.rect.left, item.rect.top + kFontSize);
          break;
      }
    }
    for (const std::uint16_t id : controls_.controlIds()) {
      if (const auto control = controls_.control(id)) {
        drawControl(*control);
      }
    }
    if (field_->visible()) draw_child(*field_);
  }

 private:
  // The close box asks the program; the window is neither hidden nor destroyed.
  // Escape, which FLTK hands to the window's callback too, closes nothing.
  static void onClose(Fl_Widget*, void* self) {
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
    static_cast<Window*>(self)->model_.postMessage(kWmClose);
  }

  void showField(std::uint16_t id) {
    const std::optional<ControlState> control = controls_.control(id);
    if (!control) return;
    if (!field_->visible() || fieldId_ != id) {
      fieldId_ = id;
      const ControlRect& r = control->rect;
      field_->resize(r.x, r.y, r.width, r.height);
      field_->value(utf8Of(control->text).c_str());
      field_->show();
    }
    field_->take_focus();
    redraw();
  }

  void hideField() {
    if (!field_->visible()) return;
    field_->hide();
    fieldId_ = 0;
    input_.releaseFocus();
    redraw();
  }

  // The list's items under the box; a choice reaches the program.
  void openList(std::uint16_t id) {
    const std::optional<ControlState> control = controls_.control(id);
    if (!control || control->items.empty()) return;
    std::vector<std::string> labels;
    labels.reserve(control->items.size());
    for (const std::u16string& item : control->items) labels.push_back(utf8Of(item));
    std::vector<Fl_Menu_Item> menu(labels.size() + 1);  // the last one, all zero, ends the menu
    for (std::size_t i = 0; i < labels.size(); ++i) {
      menu[i].label(labels[i].c_str());
      menu[i].labelsize(kFontSize);
    }
    const Fl_Menu_Item* current =
        control->selection >= 0 ? &menu[static_cast<std::size_t>(control->selection)] : nullptr;
    const ControlRect& r = control->rect;
    const Fl_Menu_Item* chosen = menu.front().pulldown(r.x, r.y + r.height, r.width, 0, current, nullptr);
    if (chosen != nullptr) input_.chooseItem(id, static_cast<int>(chosen - menu.data()));
  }

  WindowModel& model_;
  ControlModel& controls_;
  ControlInput input_;
  EditField* field_ = nullptr;
  std::uint16_t fieldId_ = 0;
};

WindowView::WindowView(WindowModel& model, ControlModel& controls)
    : model_(model), window_(std::make_unique<Window>(model, controls)) {
  Fl::lock();  // makes Fl::awake usable from every thread
  model_.setViewNotifier([] { Fl::awake(); });
}

WindowView::~WindowView() {
  model_.setViewNotifier({});
  window_->hide();
  Fl::unlock();
}

void WindowView::show() {
  window_->show();
  followTopmost();
}

void WindowView::handleEvents(std::chrono::milliseconds timeout) {
  Fl::wait(static_cast<double>(timeout.count()) / 1000.0);
}

void WindowView::followModel() { window_->followModel(); }

void WindowView::redraw() { window_->redraw(); }

bool WindowView::applyTopmost(bool topmost) {
  if (!window_->shown()) return false;
  requestAbove(*window_, topmost);
  return true;
}

std::vector<std::uint8_t> WindowView::captureRgb() {
  const int width = window_->w();
  const int height = window_->h();
  Fl_Image_Surface surface(width, height);
  surface.set_current();
  window_->draw();
  Fl_RGB_Image* image = surface.image();
  Fl_Display_Device::display_device()->set_current();
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
  if (image != nullptr && image->d() >= 3 && image->data() != nullptr) {
    const auto* pixels = reinterpret_cast<const std::uint8_t*>(image->data()[0]);
    const int depth = image->d();
    const int lineBytes = image->ld() != 0 ? image->ld() : image->w() * depth;
    for (int y = 0; y < std::min(height, image->h()); ++y) {
      for (int x = 0; x < std::min(width, image->w()); ++x) {
        const std::uint8_t* pixel = pixels + y * lineBytes + x * depth;
        std::uint8_t* out = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
        out[0] = pixel[0];
        out[1] = pixel[1];
        out[2] = pixel[2];
      }
    }
  }
  delete image;
  return rgb;
}

}  // namespace platform
