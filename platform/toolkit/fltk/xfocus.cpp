// X11's own calls. <FL/x.H> comes after the toolkit's headers: X11's macros
// (KeyPress, None, ...) collide with the model's names.
#include "paint.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

namespace {
int IgnoreXError(Display*, XErrorEvent*) { return 0; }
}  // namespace

void paint::GiveKeyboardFocus(Fl_Window& window) {
  // Without a window manager nobody gives a new window the keyboard; with
  // one, the window may not be mapped yet and the request fails harmlessly.
  Fl::flush();
  XSync(fl_display, False);
  auto old = XSetErrorHandler(IgnoreXError);
  XSetInputFocus(fl_display, fl_xid(&window), RevertToParent, CurrentTime);
  XSync(fl_display, False);
  XSetErrorHandler(old);
}

void paint::OpenDisplay() { fl_open_display(); }
