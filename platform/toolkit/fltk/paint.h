// Drawing pieces shared by the FLTK backend's windows and its message box:
// colours, fonts, pictures, bevels and button faces. Internal to the backend.
#pragma once

#include <FL/Enumerations.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Window.H>

#include <memory>
#include <string>
#include <string_view>

#include "fontmap.h"
#include "toolkit.h"

namespace paint {

// The classic 3-D colours.
inline const Fl_Color kFace = fl_rgb_color(192, 192, 192);
inline const Fl_Color kLight = fl_rgb_color(255, 255, 255);
inline const Fl_Color kShadow = fl_rgb_color(128, 128, 128);
inline const Fl_Color kDark = fl_rgb_color(0, 0, 0);
inline const Fl_Color kHighlight = fl_rgb_color(0, 0, 128);  // selection background

// A toolkit colour (0x00BBGGRR or a system colour) as an FLTK colour.
Fl_Color ToFl(TColor c);

// Registers the four font families with FLTK (regular and bold each).
void RegisterFonts();
// Makes `font` the current FLTK font; returns how it is drawn.
fontmap::Choice UseFont(const TFont& font);
// Offset from the top of a line's cell to the baseline, for the current font.
int Baseline(const fontmap::Choice& c);
// Width in pixels of UTF-8 text in the current font.
int TextWidth(const std::string& utf8);
// Draws one line of GB2312 text (with "&" accelerators resolved) with the
// cell's top-left at x, y in the current font and colour; the accelerator
// character is underlined.
void DrawCaption(const std::string& gbCaption, int x, int y, const fontmap::Choice& c);
// Width of a caption as DrawCaption draws it, in the current font.
int CaptionWidth(const std::string& gbCaption);

// A one-pixel frame: top and left edges in `topLeft`, bottom and right in
// `bottomRight` (the top-right and bottom-left corners take `bottomRight`).
void Frame3D(int x, int y, int w, int h, Fl_Color topLeft, Fl_Color bottomRight);
// The two-pixel sunken border of edits and combo boxes.
void SunkenBorder(int x, int y, int w, int h);
// A dotted focus rectangle; over the highlight colour it takes the colour
// an inverting pen gives there.
void FocusRect(int x, int y, int w, int h, Fl_Color color = kDark);

struct ButtonLook {
  bool pressed = false;
  bool defaultFrame = false;  // the black frame of the default (or focused) button
  bool focused = false;
  bool enabled = true;
};
// A push button face with an optional 36 x 18 glyph strip (left half
// enabled, right half disabled) left of the caption.
void Button(int x, int y, int w, int h, const ButtonLook& look, const Fl_RGB_Image* glyph,
            const std::string& gbCaption, const TFont& font);

// A picture built into the program, decoded once; nullptr when it is missing
// or does not decode. With `transparent`, the colour of the bottom-left pixel
// is see-through.
const Fl_RGB_Image* Picture(std::string_view name, bool transparent);

// Opens the X display (FLTK ends the process when it cannot).
void OpenDisplay();
// Sends the key event FLTK is handling to the form: the virtual key (if it
// has one) to KeyDown, then the typed text, as GB2312 bytes, to KeyPress.
void SendKey(TForm& form);
// Gives a window that has just been shown the keyboard focus.
void GiveKeyboardFocus(Fl_Window& window);

// The frame a dialog wears on a display without a window manager, which
// otherwise shows top-level windows bare: a one-pixel dark outline, then a
// raised bevel. It is a window of its own, kWidth pixels larger on each side
// than the framed one and stacked right below it, so the framed window's
// client area and layout are untouched. Where a window manager runs, it
// decorates the windows itself and the frame never shows.
class OuterFrame {
 public:
  static constexpr int kWidth = 2;
  OuterFrame();
  ~OuterFrame();
  OuterFrame(const OuterFrame&) = delete;
  OuterFrame& operator=(const OuterFrame&) = delete;
  // Shows the frame around `window`, which has just been shown (or moved or
  // resized while shown), and stacks it right below `window`.
  void Surround(Fl_Window& window);
  void Hide();

 private:
  std::unique_ptr<Fl_Window> window_;
};

}  // namespace paint

// The message box dialog (also used for the error boxes): modal, returns the
// ID of the button chosen.
int RunMessageBox(const std::string& gbText, const std::string& gbCaption, int flags);
