// The outer frame of dialogs without a window manager. <FL/x.H> comes after
// the toolkit's headers: X11's macros collide with the model's names.
#include "paint.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xatom.h>

namespace paint {

namespace {

// Paints only its edges: the framed window covers the rest.
class FrameWindow : public Fl_Window {
 public:
  FrameWindow() : Fl_Window(0, 0, 1, 1) {
    end();
    box(FL_NO_BOX);
    clear_border();
    xclass("WindowFrame");
  }
  void draw() override {
    fl_color(kDark);
    fl_rect(0, 0, w(), h());
    Frame3D(1, 1, w() - 2, h() - 2, kLight, kShadow);
  }
  int handle(int) override { return 0; }
};

// The window a window manager names on the root window, or 0.
Window SupportingWmCheck(Window w) {
  const Atom check = XInternAtom(fl_display, "_NET_SUPPORTING_WM_CHECK", False);
  Atom type = 0;
  int format = 0;
  unsigned long n = 0, left = 0;
  unsigned char* data = nullptr;
  Window found = 0;
  if (XGetWindowProperty(fl_display, w, check, 0, 1, False, XA_WINDOW, &type, &format, &n, &left, &data) ==
          Success &&
      type == XA_WINDOW && format == 32 && n == 1)
    found = *reinterpret_cast<Window*>(data);
  if (data) XFree(data);
  return found;
}

// Whether a window manager runs, by its own statement: the root window and
// the window it names both name that window.
bool WindowManagerRuns() {
  static const bool runs = [] {
    const Window named = SupportingWmCheck(RootWindow(fl_display, fl_screen));
    return named != 0 && SupportingWmCheck(named) == named;
  }();
  return runs;
}

}  // namespace

OuterFrame::OuterFrame() = default;
OuterFrame::~OuterFrame() { Hide(); }

void OuterFrame::Surround(Fl_Window& window) {
  if (!window.shown() || WindowManagerRuns()) return;
  if (!window_) {
    Fl_Group* const building = Fl_Group::current();
    Fl_Group::current(nullptr);  // a top-level window, in no group
    window_ = std::make_unique<FrameWindow>();
    Fl_Group::current(building);
  }
  const int X = window.x() - kWidth, Y = window.y() - kWidth, W = window.w() + 2 * kWidth,
            H = window.h() + 2 * kWidth;
  window_->resize(X, Y, W, H);
  if (!window_->shown()) {
    window_->show();
    // A new window is mapped on top, and FLTK keeps new windows inside the
    // screen: put the frame where it belongs, under the framed window.
    window_->resize(X, Y, W, H);
  }
  XWindowChanges below{};
  below.sibling = fl_xid(&window);
  below.stack_mode = Below;
  XConfigureWindow(fl_display, fl_xid(window_.get()), CWSibling | CWStackMode, &below);
  window_->redraw();
}

void OuterFrame::Hide() {
  if (window_) window_->hide();
}

}  // namespace paint
