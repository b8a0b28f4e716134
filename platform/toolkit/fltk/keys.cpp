// Key translation, kept apart from <FL/fl_draw.H>: that header brings in
// X11's macros, one of which is named KeyPress.
#include <FL/Fl.H>

#include <string>

#include "gbtext.h"
#include "paint.h"

// Sends the key event FLTK is handling to the form: the virtual key (if it
// has one) to KeyDown, then the typed text, as GB2312 bytes, to KeyPress.
void paint::SendKey(TForm& form) {
  const int key = Fl::event_key();
  const int state = Fl::event_state();
  const int shift = ((state & FL_SHIFT) ? ssShift : 0) | ((state & FL_ALT) ? ssAlt : 0) |
                    ((state & FL_CTRL) ? ssCtrl : 0);
  int vk = 0;
  switch (key) {
    case FL_Enter: case FL_KP_Enter: vk = VK_RETURN; break;
    case FL_Escape: vk = VK_ESCAPE; break;
    case FL_Tab: case 0xfe20 /* ISO_Left_Tab */: vk = VK_TAB; break;
    case ' ': vk = VK_SPACE; break;
    case FL_Left: vk = VK_LEFT; break;
    case FL_Right: vk = VK_RIGHT; break;
    case FL_Up: vk = VK_UP; break;
    case FL_Down: vk = VK_DOWN; break;
    case FL_Home: vk = VK_HOME; break;
    case FL_End: vk = VK_END; break;
    case FL_BackSpace: vk = VK_BACK; break;
    case FL_Delete: vk = VK_DELETE; break;
    case FL_F + 4: vk = VK_F4; break;
    default:
      if (key >= 'a' && key <= 'z') vk = key - 'a' + 'A';
      else if (key >= '0' && key <= '9') vk = key;
      break;
  }
  if (vk) form.KeyDown(vk, shift);
  if (shift & (ssAlt | ssCtrl)) return;
  const char* text = Fl::event_text();
  const int length = Fl::event_length();
  if (length <= 0 || static_cast<unsigned char>(text[0]) < 0x20 || text[0] == 0x7F) return;
  for (char byte : gbtext::FromUtf8(std::string(text, static_cast<size_t>(length)))) form.KeyPress(byte);
}

