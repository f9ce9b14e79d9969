#include "platform/window/fltk_view.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Image_Surface.H>
#include <FL/fl_draw.H>
#include <X11/Xlib.h>

#include "platform/os/utf16.h"

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

}  // namespace

bool displayAvailable() {
  const char* display = std::getenv("DISPLAY");  // NOLINT(concurrency-mt-unsafe): read at start only
  if (display == nullptr || display[0] == '\0') {
    return false;
  }
  Display* opened = XOpenDisplay(nullptr);
  if (opened == nullptr) {
    return false;
  }
  XCloseDisplay(opened);
  return true;
}

class FltkView::Window : public Fl_Double_Window {
 public:
  Window(WindowModel& model, ControlModel& controls)
      : Fl_Double_Window(model.windowRect().left, model.windowRect().top, model.width(), model.height(),
                         model.title().c_str()),
        model_(model),
        controls_(controls) {
    callback(&Window::onClose, this);
    end();
  }

  // A click on an enabled check box or push button reaches the program as
  // WM_COMMAND with BN_CLICKED (notify code 0) and the control's id.
  int handle(int event) override {
    if (event == FL_PUSH) {
      for (const std::uint16_t id : controls_.controlIds()) {
        const auto control = controls_.control(id);
        if (!control || !control->enabled ||
            (control->kind != ControlKind::CheckBox && control->kind != ControlKind::PushButton)) {
          continue;
        }
        const ControlRect& r = control->rect;
        if (Fl::event_x() >= r.x && Fl::event_x() < r.x + r.width && Fl::event_y() >= r.y &&
            Fl::event_y() < r.y + r.height) {
          model_.postMessage(kWmCommand, id);
          return 1;
        }
      }
    }
    return Fl_Double_Window::handle(event);
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
  }

 private:
  // The close box asks the program; the window is neither hidden nor destroyed.
  static void onClose(Fl_Widget*, void* self) { static_cast<Window*>(self)->model_.postMessage(kWmClose); }

  WindowModel& model_;
  ControlModel& controls_;
};

FltkView::FltkView(WindowModel& model, ControlModel& controls)
    : model_(model), window_(std::make_unique<Window>(model, controls)) {
  Fl::lock();  // makes Fl::awake usable from every thread
  model_.setViewNotifier([] { Fl::awake(); });
}

FltkView::~FltkView() {
  model_.setViewNotifier({});
  window_->hide();
  Fl::unlock();
}

void FltkView::show() { window_->show(); }

void FltkView::pump(std::chrono::milliseconds timeout) {
  Fl::wait(static_cast<double>(timeout.count()) / 1000.0);
  if (const std::uint64_t count = model_.paintCount(); count != shownPaint_) {
    shownPaint_ = count;
    window_->redraw();
  }
}

std::vector<std::uint8_t> FltkView::captureRgb() {
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
