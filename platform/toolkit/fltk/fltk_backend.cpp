// The FLTK backend. Each form gets one double-buffered window, made when the
// form is first shown; each control one widget inside it that draws from the
// model's properties. Input is never interpreted here: keys, clicks and the
// close box go to the form, whose dialog rules decide what happens.
#include "fltk_backend.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Menu_Button.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Widget.H>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "gbtext.h"
#include "paint.h"

// After the toolkit's headers: it brings in X11's macros (KeyPress, ...).
#include <FL/fl_draw.H>

namespace {

// ------------------------------------------------------------------- views

class LeafView : public Fl_Widget {
 public:
  explicit LeafView(TControl& c) : Fl_Widget(0, 0, 0, 0), model_(c) {}
  void draw() override { Paint(); }
  virtual void Paint() = 0;

 protected:
  TForm& Form() const { return *model_.ParentForm(); }
  TControl& model_;
};

// One line of text on an opaque background, "&" resolved.
class LabelView : public LeafView {
 public:
  using LeafView::LeafView;
  void Paint() override {
    auto& label = static_cast<TLabel&>(model_);
    if (!label.Transparent()) fl_rectf(x(), y(), w(), h(), paint::ToFl(label.Color()));
    fl_push_clip(x(), y(), w(), h());
    const fontmap::Choice c = paint::UseFont(label.Font());
    fl_color(paint::ToFl(label.Font().Color));
    paint::DrawCaption(label.Caption(), x(), y(), c);
    fl_pop_clip();
  }
};

// The picture stretched over the whole image at every paint.
class ImageView : public LeafView {
 public:
  using LeafView::LeafView;
  void Paint() override {
    auto& image = static_cast<TImage&>(model_);
    const Fl_RGB_Image* source = paint::Picture(image.Picture(), false);
    if (!source) {
      fl_rectf(x(), y(), w(), h(), paint::ToFl(Form().Color()));
      return;
    }
    if (!image.Stretch()) {
      const_cast<Fl_RGB_Image*>(source)->draw(x(), y());
      return;
    }
    if (!scaled_ || scaled_->w() != w() || scaled_->h() != h())
      scaled_.reset(static_cast<Fl_RGB_Image*>(const_cast<Fl_RGB_Image*>(source)->copy(w(), h())));
    scaled_->draw(x(), y());
  }

 private:
  std::unique_ptr<Fl_RGB_Image> scaled_;
};

class ButtonView : public LeafView {
 public:
  using LeafView::LeafView;
  void Paint() override {
    auto& b = static_cast<TBitBtn&>(model_);
    TWinControl* active = Form().ActiveControl();
    paint::ButtonLook look;
    look.pressed = pressed_;
    look.focused = active == &b;
    // The focused button, or the default one while no button has the focus,
    // wears the black frame: it is the one Enter clicks.
    look.defaultFrame = look.focused || (b.Default() && !dynamic_cast<TBitBtn*>(active));
    look.enabled = b.Enabled();
    const Fl_RGB_Image* glyph = b.Glyph().empty() ? nullptr : paint::Picture(b.Glyph(), true);
    paint::Button(x(), y(), w(), h(), look, glyph, b.Caption(), b.Font());
  }
  int handle(int event) override {
    switch (event) {
      case FL_PUSH:
        if (!Form().AcceptsInput()) return 1;
        pressed_ = true;
        window()->redraw();
        return 1;
      case FL_DRAG: {
        const bool inside = Fl::event_inside(this);
        if (inside != pressed_) pressed_ = inside, window()->redraw();
        return 1;
      }
      case FL_RELEASE:
        if (pressed_) {
          pressed_ = false;
          window()->redraw();
          Form().ClickControl(model_);  // may run a long handler with nested loops
        }
        return 1;
      default: return 0;
    }
  }

 private:
  bool pressed_ = false;
};

// A single-line edit: sunken border, text, selection and caret from the model.
class EditView : public LeafView {
 public:
  using LeafView::LeafView;
  static constexpr int kBorder = 2, kMargin = 1;

  void Paint() override {
    auto& e = static_cast<TEdit&>(model_);
    fl_rectf(x(), y(), w(), h(), paint::ToFl(e.Color()));
    paint::SunkenBorder(x(), y(), w(), h());
    const int ix = x() + kBorder + kMargin, iy = y() + kBorder, iw = w() - 2 * (kBorder + kMargin);
    const fontmap::Choice c = paint::UseFont(e.Font());
    const std::string& text = e.Text();
    const bool focused = Form().ActiveControl() == &e;
    const int selStart = focused ? e.SelStart() : 0, selEnd = focused ? e.SelStart() + e.SelLength() : 0;
    const int caret = e.SelStart() + e.SelLength();
    const int caretX = X(text, caret);
    // Keep the caret in view.
    if (caretX - scroll_ > iw - 1) scroll_ = caretX - iw + 1;
    if (caretX < scroll_) scroll_ = caretX;
    if (X(text, static_cast<int>(text.size())) - scroll_ < iw - 1) scroll_ = std::max(0, X(text, static_cast<int>(text.size())) - iw + 1);

    fl_push_clip(x() + kBorder, iy, w() - 2 * kBorder, h() - 2 * kBorder);
    const int tx = ix - scroll_, ty = iy + 1;
    const std::string utf8 = gbtext::ToUtf8(text);
    fl_color(paint::ToFl(e.Font().Color));
    fl_draw(utf8.data(), static_cast<int>(utf8.size()), tx, ty + paint::Baseline(c));
    if (selEnd > selStart) {
      const int x0 = tx + X(text, selStart), x1 = tx + X(text, selEnd);
      fl_rectf(x0, ty, x1 - x0, c.cell, paint::kHighlight);
      const std::string sel = gbtext::ToUtf8(text.substr(static_cast<size_t>(selStart),
                                                         static_cast<size_t>(selEnd - selStart)));
      fl_color(FL_WHITE);
      fl_draw(sel.data(), static_cast<int>(sel.size()), x0, ty + paint::Baseline(c));
    } else if (focused && Form().AcceptsInput()) {
      fl_color(paint::kDark);
      fl_yxline(tx + caretX, ty, ty + c.cell - 1);
    }
    fl_pop_clip();
  }

  int handle(int event) override {
    auto& e = static_cast<TEdit&>(model_);
    switch (event) {
      case FL_PUSH:
        if (!Form().AcceptsInput()) return 1;
        Form().ClickControl(e);
        anchor_ = IndexAt(Fl::event_x());
        e.SetSelection(anchor_, 0);
        return 1;
      case FL_DRAG: {
        if (!Form().AcceptsInput() || anchor_ < 0) return 1;
        const int at = IndexAt(Fl::event_x());
        e.SetSelection(std::min(at, anchor_), std::abs(at - anchor_));
        return 1;
      }
      case FL_RELEASE: anchor_ = -1; return 1;
      default: return 0;
    }
  }

 private:
  // Pixel offset of byte index `i` in the text, in the edit's font.
  int X(const std::string& text, int i) {
    paint::UseFont(model_.Font());
    return paint::TextWidth(gbtext::ToUtf8(text.substr(0, static_cast<size_t>(std::max(i, 0)))));
  }
  // The character boundary nearest to window x.
  int IndexAt(int wx) {
    const std::string& text = static_cast<TEdit&>(model_).Text();
    const int rel = wx - (x() + kBorder + kMargin) + scroll_;
    int best = 0, bestDistance = 1 << 30;
    for (size_t s : gbtext::CharStarts(text)) {
      const int d = std::abs(X(text, static_cast<int>(s)) - rel);
      if (d < bestDistance) bestDistance = d, best = static_cast<int>(s);
    }
    return best;
  }
  int scroll_ = 0, anchor_ = -1;
};

// Sunken frame with blocks filled in proportion to the position.
class ProgressView : public LeafView {
 public:
  using LeafView::LeafView;
  void Paint() override {
    auto& p = static_cast<TProgressBar&>(model_);
    fl_rectf(x(), y(), w(), h(), paint::kFace);
    paint::Frame3D(x(), y(), w(), h(), paint::kShadow, paint::kLight);
    const int ix = x() + 2, iy = y() + 2, iw = w() - 4, ih = h() - 4;
    const int range = p.Max() - p.Min();
    if (range <= 0 || iw <= 0 || ih <= 0) return;
    const int filled = static_cast<int>(static_cast<long long>(iw) * (p.Position() - p.Min()) / range);
    const int block = std::max(ih * 2 / 3, 2), gap = 2;
    fl_push_clip(ix, iy, filled, ih);
    for (int bx = ix; bx < ix + filled; bx += block + gap) fl_rectf(bx, iy, block, ih, paint::kHighlight);
    fl_pop_clip();
  }
};

// A drive list item: the kind picture, then the text in the selector's font.
struct ItemLabel {
  const Fl_RGB_Image* picture;
  std::string utf8;
  TFont font;
};
constexpr Fl_Labeltype kItemLabel = FL_FREE_LABELTYPE;

void DrawItemLabel(const Fl_Label* label, int X, int Y, int /*W*/, int H, Fl_Align) {
  const auto* item = reinterpret_cast<const ItemLabel*>(label->value);
  int tx = X + 2;
  if (item->picture) {
    const_cast<Fl_RGB_Image*>(item->picture)->draw(tx, Y + (H - item->picture->h()) / 2);
    tx += item->picture->w() + 4;
  }
  const fontmap::Choice c = paint::UseFont(item->font);
  fl_color(label->color);
  fl_draw(item->utf8.data(), static_cast<int>(item->utf8.size()), tx, Y + (H - c.cell) / 2 + paint::Baseline(c));
}

void MeasureItemLabel(const Fl_Label* label, int& W, int& H) {
  const auto* item = reinterpret_cast<const ItemLabel*>(label->value);
  const fontmap::Choice c = paint::UseFont(item->font);
  W = 2 + (item->picture ? item->picture->w() + 4 : 0) + paint::TextWidth(item->utf8) + 2;
  H = std::max(c.cell, item->picture ? item->picture->h() : 0) + 2;
}

// A drop-down list of drives: the current item with its kind picture and
// text, and the arrow button; a click opens the list.
class DriveView : public LeafView {
 public:
  using LeafView::LeafView;
  static const char* KindPicture(int kind) {
    static const char* const names[] = {"drive_removable", "drive_fixed", "drive_network", "drive_cdrom",
                                        "drive_ramdisk"};
    return kind >= 0 && kind < 5 ? names[kind] : "";
  }

  void Paint() override {
    auto& d = static_cast<TDriveComboBox&>(model_);
    fl_rectf(x(), y(), w(), h(), paint::ToFl(d.Color()));
    paint::SunkenBorder(x(), y(), w(), h());
    // The arrow button.
    const int bw = 16, bx = x() + w() - 2 - bw, by = y() + 2, bh = h() - 4;
    fl_rectf(bx, by, bw, bh, paint::kFace);
    paint::Frame3D(bx, by, bw, bh, paint::kFace, paint::kDark);
    paint::Frame3D(bx + 1, by + 1, bw - 2, bh - 2, paint::kLight, paint::kShadow);
    fl_color(paint::kDark);
    const int ax = bx + (bw - 7) / 2, ay = by + (bh - 4) / 2;
    for (int i = 0; i < 4; ++i) fl_xyline(ax + i, ay + i, ax + 6 - i);

    // The current item.
    const int ix = x() + 3, iy = y() + 3, iw = bx - 1 - ix, ih = h() - 6;
    const bool focused = Form().ActiveControl() == &d;
    if (focused) fl_rectf(ix, iy, iw, ih, paint::kHighlight);
    if (d.ItemIndex() >= 0) {
      const auto& item = d.Items()[static_cast<size_t>(d.ItemIndex())];
      fl_push_clip(ix, iy, iw, ih);
      int tx = ix + 2;
      if (const Fl_RGB_Image* pic = paint::Picture(KindPicture(item.kind), true)) {
        const_cast<Fl_RGB_Image*>(pic)->draw(tx, iy + (ih - pic->h()) / 2);
        tx += pic->w() + 4;
      }
      const fontmap::Choice c = paint::UseFont(d.Font());
      fl_color(focused ? FL_WHITE : paint::ToFl(d.Font().Color));
      const std::string utf8 = gbtext::ToUtf8(item.text);
      fl_draw(utf8.data(), static_cast<int>(utf8.size()), tx, iy + (ih - c.cell) / 2 + paint::Baseline(c));
      fl_pop_clip();
    }
    if (focused) paint::FocusRect(ix, iy, iw, ih, fl_rgb_color(255, 255, 127));
  }

  int handle(int event) override {
    if (event != FL_PUSH) return event == FL_RELEASE || event == FL_DRAG ? 1 : 0;
    auto& d = static_cast<TDriveComboBox&>(model_);
    if (!Form().AcceptsInput()) return 1;
    Form().ClickControl(d);
    const auto& items = d.Items();
    if (items.empty()) return 1;
    // Each menu item's label is an ItemLabel, drawn by DrawItemLabel.
    std::vector<ItemLabel> labels;
    for (const auto& item : items)
      labels.push_back({paint::Picture(KindPicture(item.kind), true), gbtext::ToUtf8(item.text), d.Font()});
    std::vector<Fl_Menu_Item> menu(items.size() + 1);
    for (size_t i = 0; i < items.size(); ++i) {
      menu[i] = Fl_Menu_Item{};
      menu[i].label(kItemLabel, reinterpret_cast<const char*>(&labels[i]));
    }
    menu[items.size()] = Fl_Menu_Item{};
    // The list drops below the box: white, a thin black border, the
    // selection in the highlight colour. The button only lends its looks.
    Fl_Group::current(nullptr);
    Fl_Menu_Button looks(0, 0, 0, 0);
    looks.box(FL_BORDER_BOX);
    looks.color(FL_WHITE);
    looks.selection_color(paint::kHighlight);
    const Fl_Menu_Item* chosen = menu[0].pulldown(x(), y(), w(), h(), nullptr, &looks);
    if (chosen) d.SelectItem(static_cast<int>(chosen - menu.data()));
    window()->redraw();
    return 1;
  }
};

// A panel: raised outer bevel, a border of BorderWidth in the face colour,
// lowered inner bevel; children are cut off at its edges.
class PanelView : public Fl_Group {
 public:
  explicit PanelView(TPanel& p) : Fl_Group(0, 0, 0, 0), model_(p) { resizable(nullptr); }
  void draw() override {
    fl_push_clip(x(), y(), w(), h());
    fl_rectf(x(), y(), w(), h(), paint::ToFl(model_.Color()));
    int inset = 0;
    auto bevel = [&](TBevelCut cut) {
      if (cut == TBevelCut::bvNone) return;
      const bool raised = cut == TBevelCut::bvRaised;
      paint::Frame3D(x() + inset, y() + inset, w() - 2 * inset, h() - 2 * inset, raised ? paint::kLight : paint::kShadow,
                     raised ? paint::kShadow : paint::kLight);
      inset += model_.BevelWidth();
    };
    bevel(model_.BevelOuter());
    inset += model_.BorderWidth();
    bevel(model_.BevelInner());
    draw_children();
    fl_pop_clip();
  }

 private:
  TPanel& model_;
};

class FormWindow : public Fl_Double_Window {
 public:
  explicit FormWindow(TForm& f) : Fl_Double_Window(f.Width(), f.Height()), form_(f) {
    resizable(nullptr);
    box(FL_FLAT_BOX);
    callback([](Fl_Widget*, void* form) { static_cast<TForm*>(form)->CloseBox(); }, &form_);
  }
  TForm& Form() const { return form_; }

  void draw() override {
    color(paint::ToFl(form_.Color()));
    Fl_Double_Window::draw();
  }

  int handle(int event) override {
    switch (event) {
      case FL_FOCUS:
      case FL_UNFOCUS: return 1;  // the window itself keeps the keyboard: no FLTK navigation
      case FL_KEYBOARD:
      case FL_SHORTCUT:
        paint::SendKey(form_);
        return 1;
      case FL_KEYUP: return 1;
      default: return Fl_Double_Window::handle(event);
    }
  }

  // The model's form size is the client size: a resize by the user or the
  // window manager goes into the model, which realigns the children.
  void resize(int X, int Y, int W, int H) override {
    Fl_Double_Window::resize(X, Y, W, H);
    if (framed_) frame_.Surround(*this);
    if (W != form_.Width() || H != form_.Height()) form_.SetBounds(form_.Left(), form_.Top(), W, H);
  }

  // Shows the window, with the outer frame unless it is maximised.
  void ShowFramed(bool framed) {
    show();
    framed_ = framed;
    if (framed_) frame_.Surround(*this);
    else frame_.Hide();
  }

  void hide() override {
    Fl_Double_Window::hide();
    frame_.Hide();
  }

 private:
  TForm& form_;
  paint::OuterFrame frame_;
  bool framed_ = false;
};

// ----------------------------------------------------------------- backend

class FltkBackend : public Backend {
 public:
  FltkBackend() {
    paint::OpenDisplay();
    paint::RegisterFonts();
    Fl::visible_focus(0);
    Fl::set_labeltype(kItemLabel, DrawItemLabel, MeasureItemLabel);
    if (const Fl_RGB_Image* icon = paint::Picture("icon", true)) Fl_Window::default_icon(icon);
  }

  ~FltkBackend() override {
    for (auto& [form, window] : windows_) window->hide();
  }

  void Changed(TControl& c, Prop p) override {
    TForm* form = c.ParentForm();
    if (!form) return;
    if (&c == form) return FormChanged(*form, p);
    auto it = windows_.find(form);
    if (it == windows_.end()) return;  // drawn from the model when first shown
    if (p == Prop::Bounds || p == Prop::Visible) Place(*form, *form, 0, 0);
    it->second->redraw();
  }

  void MeasureText(const TFont& font, const std::string& text, int& w, int& h) override {
    const fontmap::Choice c = paint::UseFont(font);
    w = paint::TextWidth(gbtext::ToUtf8(text));
    h = c.cell;
  }

  void ScreenSize(int& w, int& h) override { w = Fl::w(), h = Fl::h(); }

  void RunModal(TForm& form) override {
    while (form.ModalResult() == mrNone && !Application->Terminated()) Fl::wait(0.25);
  }

  int MessageBox(const std::string& text, const std::string& caption, int flags) override {
    return RunMessageBox(text, caption, flags);
  }

  void ProcessMessages() override { Fl::check(); }

  void HandleMessage() override { Fl::wait(0.25); }

  void FatalBox(const std::string& caption, const std::string& text) override {
    RunMessageBox(text, caption, MB_OK | MB_ICONSTOP | MB_TASKMODAL);
  }

 private:
  void FormChanged(TForm& form, Prop p) {
    auto it = windows_.find(&form);
    FormWindow* win = it == windows_.end() ? nullptr : it->second.get();
    if (p == Prop::Visible) {
      if (form.Visible()) ShowForm(form);
      else if (win) win->hide();
      return;
    }
    if (!win) return;
    if (p == Prop::Caption) win->copy_label(gbtext::ToUtf8(form.Caption()).c_str());
    if (p == Prop::Bounds) {
      if (win->w() != form.Width() || win->h() != form.Height()) win->size(form.Width(), form.Height());
      Place(form, form, 0, 0);
    }
    win->redraw();
  }

  FormWindow& Build(TForm& form) {
    auto win = std::make_unique<FormWindow>(form);
    win->begin();
    AddChildren(form);
    win->end();
    win->copy_label(gbtext::ToUtf8(form.Caption()).c_str());
    win->xclass(form.Name().c_str());  // the window class names the form, for tools such as xdotool
    if (form.BorderStyle() == TFormBorderStyle::bsDialog) win->size_range(form.Width(), form.Height(), form.Width(), form.Height());
    else win->size_range(100, 100, 0, 0);
    FormWindow& ref = *win;
    windows_[&form] = std::move(win);
    Place(form, form, 0, 0);
    return ref;
  }

  // Widgets for a parent's children: graphic controls (labels, images) are
  // painted by the parent, under its windowed children.
  void AddChildren(TWinControl& parent) {
    for (int pass = 0; pass < 2; ++pass)
      for (TControl* c : parent.Controls()) {
        const bool windowed = dynamic_cast<TWinControl*>(c) != nullptr;
        if (windowed != (pass == 1)) continue;
        Fl_Widget* w = nullptr;
        if (auto* l = dynamic_cast<TLabel*>(c)) w = new LabelView(*l);
        else if (auto* i = dynamic_cast<TImage*>(c)) w = new ImageView(*i);
        else if (auto* b = dynamic_cast<TBitBtn*>(c)) w = new ButtonView(*b);
        else if (auto* e = dynamic_cast<TEdit*>(c)) w = new EditView(*e);
        else if (auto* pb = dynamic_cast<TProgressBar*>(c)) w = new ProgressView(*pb);
        else if (auto* d = dynamic_cast<TDriveComboBox*>(c)) w = new DriveView(*d);
        else if (auto* p = dynamic_cast<TPanel*>(c)) {
          auto* g = new PanelView(*p);
          g->begin();
          AddChildren(*p);
          g->end();
          w = g;
        }
        if (w) views_[c] = w;
      }
  }

  // Positions and shows or hides the widgets of a parent's children; (ax, ay)
  // is the parent's client origin in the window.
  void Place(TForm& form, TWinControl& parent, int ax, int ay) {
    for (TControl* c : parent.Controls()) {
      auto it = views_.find(c);
      if (it == views_.end()) continue;
      Fl_Widget* w = it->second;
      w->resize(ax + c->Left(), ay + c->Top(), c->Width(), c->Height());
      if (c->Visible()) w->show();
      else w->hide();
      if (auto* wc = dynamic_cast<TWinControl*>(c)) Place(form, *wc, ax + c->Left(), ay + c->Top());
    }
  }

  void ShowForm(TForm& form) {
    auto it = windows_.find(&form);
    FormWindow& win = it == windows_.end() ? Build(form) : *it->second;
    if (!form.PlacedOnce()) {
      form.MarkPlaced();
      if (form.WindowState() == TWindowState::wsMaximized) {
        int X, Y, W, H;
        Fl::screen_work_area(X, Y, W, H);
        win.resize(X, Y, W, H);
      } else if (form.Position() == TPosition::poScreenCenter) {
        win.position(std::max(0, (Fl::w() - win.w()) / 2), std::max(0, (Fl::h() - win.h()) / 2));
      } else if (form.Position() == TPosition::poDesigned) {
        win.position(form.Left(), form.Top());
      }
    }
    if (form.Modal()) win.set_modal();
    else win.clear_modal_states();
    win.ShowFramed(form.WindowState() != TWindowState::wsMaximized);
    paint::GiveKeyboardFocus(win);
  }

  std::map<TForm*, std::unique_ptr<FormWindow>> windows_;
  std::map<TControl*, Fl_Widget*> views_;
};

}  // namespace

std::unique_ptr<Backend> MakeFltkBackend() { return std::make_unique<FltkBackend>(); }
