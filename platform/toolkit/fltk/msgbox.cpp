// The message box: a small modal window with the text, an optional stop
// icon and a row of buttons captioned as a Simplified-Chinese system
// captions them. Enter answers with the focused button (the first at the
// start), Esc with Cancel where there is one (with OK when OK is the only
// button), a letter or Alt+letter with the button it marks.
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "gbtext.h"
#include "paint.h"

// After the toolkit's headers: it brings in X11's macros (KeyPress, ...).
#include <FL/fl_draw.H>

namespace {

struct Choice {
  const char* caption;  // GB2312
  int id;
};

std::vector<Choice> ButtonsOf(int flags) {
  const Choice ok{"确定", IDOK}, cancel{"取消", IDCANCEL}, abort{"中止(&A)", IDABORT}, retry{"重试(&R)", IDRETRY},
      ignore{"忽略(&I)", IDIGNORE}, yes{"是(&Y)", IDYES}, no{"否(&N)", IDNO};
  switch (flags & 0xF) {
    case MB_OKCANCEL: return {ok, cancel};
    case MB_ABORTRETRYIGNORE: return {abort, retry, ignore};
    case MB_YESNOCANCEL: return {yes, no, cancel};
    case MB_YESNO: return {yes, no};
    case MB_RETRYCANCEL: return {retry, cancel};
    default: return {ok};
  }
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (text[i] == '\n' || text[i] == '\r') lines.emplace_back();
    else lines.back().push_back(text[i]);
  }
  return lines;
}

// The stop icon: a red disc with a dark rim and a white cross, 32 x 32.
void StopIcon(int x, int y) {
  fl_color(fl_rgb_color(255, 0, 0));
  fl_pie(x + 1, y + 1, 30, 30, 0, 360);
  fl_color(fl_rgb_color(128, 0, 0));
  fl_line_style(FL_SOLID, 2);
  fl_arc(x + 1, y + 1, 30, 30, 0, 360);
  fl_color(FL_WHITE);
  fl_line_style(FL_SOLID | FL_CAP_ROUND, 4);
  fl_line(x + 10, y + 10, x + 21, y + 21);
  fl_line(x + 21, y + 10, x + 10, y + 21);
  fl_line_style(0);
}

class MessageWindow : public Fl_Double_Window {
 public:
  static constexpr int kMargin = 12, kButtonW = 75, kButtonH = 23, kGap = 6, kIcon = 32;

  MessageWindow(const std::string& text, const std::string& caption, int flags)
      : Fl_Double_Window(100, 100), lines_(Lines(text)), buttons_(ButtonsOf(flags)), icon_(flags & MB_ICONSTOP) {
    end();
    font_.Name = "宋体";
    font_.Height = -12;
    font_.Charset = GB2312_CHARSET;
    for (const Choice& c : buttons_)
      if (c.id == IDCANCEL || (buttons_.size() == 1 && c.id == IDOK)) cancelId_ = c.id;

    const fontmap::Choice fc = paint::UseFont(font_);
    lineH_ = fc.cell + 2;
    int textW = 0;
    for (const auto& l : lines_) textW = std::max(textW, paint::TextWidth(gbtext::ToUtf8(l)));
    const int textH = static_cast<int>(lines_.size()) * lineH_;
    textX_ = kMargin + (icon_ ? kIcon + 14 : 4);
    textY_ = kMargin + (icon_ && textH < kIcon ? (kIcon - textH) / 2 : 0);
    const int contentBottom = std::max(textY_ + textH, icon_ ? kMargin + kIcon : 0);
    const int n = static_cast<int>(buttons_.size());
    const int rowW = n * kButtonW + (n - 1) * kGap;
    const int width = std::max({textX_ + textW + kMargin + 4, rowW + 2 * kMargin, 120});
    buttonsX_ = (width - rowW) / 2;
    buttonsY_ = contentBottom + 14;
    size(width, buttonsY_ + kButtonH + kMargin);
    position(std::max(0, (Fl::w() - w()) / 2), std::max(0, (Fl::h() - h()) / 2));
    size_range(w(), h(), w(), h());
    copy_label(gbtext::ToUtf8(caption).c_str());
    xclass("MessageBox");
    callback([](Fl_Widget*, void* self) { static_cast<MessageWindow*>(self)->Cancel(); }, this);
  }

  int Run() {
    set_modal();
    show();
    frame_.Surround(*this);
    paint::GiveKeyboardFocus(*this);
    while (answer_ == 0 && shown()) Fl::wait(0.25);
    hide();
    frame_.Hide();
    return answer_ ? answer_ : (cancelId_ ? cancelId_ : buttons_.front().id);
  }

  void draw() override {
    fl_rectf(0, 0, w(), h(), paint::kFace);
    if (icon_) StopIcon(kMargin, kMargin);
    const fontmap::Choice fc = paint::UseFont(font_);
    fl_color(paint::kDark);
    for (size_t i = 0; i < lines_.size(); ++i) {
      const std::string utf8 = gbtext::ToUtf8(lines_[i]);
      fl_draw(utf8.data(), static_cast<int>(utf8.size()), textX_,
              textY_ + static_cast<int>(i) * lineH_ + paint::Baseline(fc));
    }
    for (int i = 0; i < static_cast<int>(buttons_.size()); ++i) {
      paint::ButtonLook look;
      look.focused = look.defaultFrame = i == focus_;
      look.pressed = i == pressed_;
      paint::Button(ButtonX(i), buttonsY_, kButtonW, kButtonH, look, nullptr, buttons_[static_cast<size_t>(i)].caption,
                    font_);
    }
  }

  int handle(int event) override {
    switch (event) {
      case FL_FOCUS: case FL_UNFOCUS: case FL_KEYUP: return 1;
      case FL_KEYBOARD: case FL_SHORTCUT: Key(); return 1;
      case FL_PUSH: {
        const int i = ButtonAt(Fl::event_x(), Fl::event_y());
        if (i >= 0) focus_ = pressed_ = i, redraw();
        return 1;
      }
      case FL_DRAG: return 1;
      case FL_RELEASE: {
        const int i = ButtonAt(Fl::event_x(), Fl::event_y());
        if (pressed_ >= 0 && i == pressed_) answer_ = buttons_[static_cast<size_t>(i)].id;
        pressed_ = -1;
        redraw();
        return 1;
      }
      default: return Fl_Double_Window::handle(event);
    }
  }

 private:
  int ButtonX(int i) const { return buttonsX_ + i * (kButtonW + kGap); }
  int ButtonAt(int x, int y) const {
    for (int i = 0; i < static_cast<int>(buttons_.size()); ++i)
      if (x >= ButtonX(i) && x < ButtonX(i) + kButtonW && y >= buttonsY_ && y < buttonsY_ + kButtonH) return i;
    return -1;
  }
  void Cancel() {
    if (cancelId_) answer_ = cancelId_;
  }
  void Key() {
    const int key = Fl::event_key();
    const int n = static_cast<int>(buttons_.size());
    const bool shift = Fl::event_state(FL_SHIFT);
    if (key == FL_Enter || key == FL_KP_Enter || key == ' ') answer_ = buttons_[static_cast<size_t>(focus_)].id;
    else if (key == FL_Escape) Cancel();
    else if (key == FL_F + 4 && Fl::event_state(FL_ALT)) Cancel();
    else if (key == FL_Tab || key == 0xfe20) focus_ = (focus_ + (shift || key == 0xfe20 ? n - 1 : 1)) % n;
    else if (key == FL_Right || key == FL_Down) focus_ = (focus_ + 1) % n;
    else if (key == FL_Left || key == FL_Up) focus_ = (focus_ + n - 1) % n;
    else if (key >= 'a' && key <= 'z') {
      for (const Choice& c : buttons_) {
        const std::string caption = c.caption;
        const size_t amp = caption.find('&');
        if (amp != std::string::npos && amp + 1 < caption.size() &&
            std::toupper(static_cast<unsigned char>(caption[amp + 1])) == key - 'a' + 'A')
          answer_ = c.id;
      }
    }
    redraw();
  }

  std::vector<std::string> lines_;
  std::vector<Choice> buttons_;
  bool icon_;
  paint::OuterFrame frame_;
  TFont font_;
  int lineH_ = 14, textX_ = 0, textY_ = 0, buttonsX_ = 0, buttonsY_ = 0;
  int focus_ = 0, pressed_ = -1, answer_ = 0, cancelId_ = 0;
};

}  // namespace

int RunMessageBox(const std::string& gbText, const std::string& gbCaption, int flags) {
  MessageWindow window(gbText, gbCaption, flags);
  return window.Run();
}
