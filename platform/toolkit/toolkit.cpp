#include "toolkit.h"

#include <algorithm>
#include <cstdio>

#include "bytestr.h"
#include "dosfs.h"

TApplication* Application = nullptr;

// ---------------------------------------------------------------- components

TComponent::TComponent(TComponent* owner) : owner_(owner) {}

TComponent* TComponent::FindComponent(std::string_view name) const {
  for (const auto& c : owned_)
    if (c->Name() == name) return c.get();
  return nullptr;
}

void TComponent::InsertComponent(std::unique_ptr<TComponent> c) { owned_.push_back(std::move(c)); }

bool TComponent::SetProperty(const std::string& name, const LayoutValue& value) {
  if (name == "Name") {
    name_ = value.text;
    return true;
  }
  return false;
}

// ------------------------------------------------------------------ controls

void TControl::SetParent(TWinControl* parent) {
  if (parent_ == parent) return;
  if (parent_) std::erase(parent_->controls_, this);
  parent_ = parent;
  if (parent_) parent_->controls_.push_back(this);
}

TForm* TControl::ParentForm() const {
  const TControl* c = this;
  while (c->parent_) c = c->parent_;
  return dynamic_cast<TForm*>(const_cast<TControl*>(c));
}

void TControl::Changed(Prop p) {
  if (Application) Application->GetBackend().Changed(*this, p);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  const bool resized = width != width_ || height != height_;
  left_ = left, top_ = top, width_ = width, height_ = height;
  Changed(Prop::Bounds);
  if (resized)
    if (auto* w = dynamic_cast<TWinControl*>(this)) w->Realign();
}

void TControl::SetVisible(bool v) {
  if (v == visible_) return;
  visible_ = v;
  Changed(Prop::Visible);
  // A control hidden with the focus inside it passes the focus on to the
  // first control that can take it.
  if (!v)
    if (TForm* f = ParentForm(); f && f != this && f->ActiveControl() && !f->ActiveControl()->CanFocus()) {
      auto list = f->TabList();
      f->FocusControl(list.empty() ? nullptr : list.front());
    }
}

bool TControl::Showing() const {
  for (const TControl* c = this; c; c = c->parent_)
    if (!c->visible_) return false;
  return true;
}

void TControl::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  Changed(Prop::Enabled);
}

void TControl::SetCaption(const std::string& v) {
  if (v == caption_) return;
  caption_ = v;
  Changed(Prop::Caption);
}

void TControl::SetFont(const TFont& f) {
  parentFont_ = false;
  if (f == font_) return;
  font_ = f;
  Changed(Prop::Font);
  FontChanged();
}

void TControl::SetColor(TColor c) {
  if (c == color_) return;
  color_ = c;
  Changed(Prop::Color);
}

void TControl::SetAlign(TAlign a) {
  if (a == align_) return;
  align_ = a;
  if (parent_) parent_->Realign();
}

static TColor ColorFrom(const LayoutValue& v) {
  if (v.kind == LayoutValue::Number) return static_cast<TColor>(v.number);
  static const std::map<std::string, TColor> names = {
      {"clBlack", clBlack}, {"clRed", clRed},         {"clBlue", clBlue},       {"clNavy", clNavy},
      {"clSilver", clSilver}, {"clWhite", clWhite},   {"clBtnFace", clBtnFace}, {"clWindow", clWindow},
      {"clWindowText", clWindowText},
  };
  auto it = names.find(v.text);
  if (it == names.end()) throw Exception("Unknown colour " + v.text);
  return it->second;
}

bool TControl::SetProperty(const std::string& name, const LayoutValue& v) {
  if (name == "Left") SetLeft(static_cast<int>(v.number));
  else if (name == "Top") SetTop(static_cast<int>(v.number));
  else if (name == "Width") SetWidth(static_cast<int>(v.number));
  else if (name == "Height") SetHeight(static_cast<int>(v.number));
  else if (name == "Visible") SetVisible(v.AsBool());
  else if (name == "Enabled") SetEnabled(v.AsBool());
  else if (name == "Caption") SetCaption(v.text);
  else if (name == "Color") SetColor(ColorFrom(v));
  else if (name == "ParentFont") parentFont_ = v.AsBool();
  else if (name == "Align") {
    static const std::map<std::string, TAlign> aligns = {{"alNone", TAlign::alNone},   {"alTop", TAlign::alTop},
                                                         {"alBottom", TAlign::alBottom}, {"alLeft", TAlign::alLeft},
                                                         {"alRight", TAlign::alRight}, {"alClient", TAlign::alClient}};
    SetAlign(aligns.at(v.text));
  } else if (name.starts_with("Font.")) {
    TFont f = font_;
    const std::string part = name.substr(5);
    if (part == "Name") f.Name = v.text;
    else if (part == "Height") f.Height = static_cast<int>(v.number);
    else if (part == "Color") f.Color = ColorFrom(v);
    else if (part == "Charset") f.Charset = v.kind == LayoutValue::Number ? static_cast<int>(v.number)
                                            : v.text == "GB2312_CHARSET" ? GB2312_CHARSET
                                            : v.text == "ANSI_CHARSET"   ? ANSI_CHARSET
                                                                         : DEFAULT_CHARSET;
    else if (part == "Style") f.Bold = std::find(v.items.begin(), v.items.end(), "fsBold") != v.items.end();
    else return false;
    SetFont(f);
  } else return TComponent::SetProperty(name, v);
  return true;
}

// -------------------------------------------------------------- win controls

bool TWinControl::CanFocus() const {
  // The form's own visibility does not count: a form about to be shown
  // already places its focus.
  for (const TControl* c = this; c->Parent(); c = c->Parent())
    if (!c->Visible()) return false;
  return tabStop_ && Enabled();
}

bool TWinControl::Focused() const {
  TForm* f = ParentForm();
  return f && f->ActiveControl() == this;
}

void TWinControl::SetFocus() {
  if (TForm* f = ParentForm()) f->FocusControl(this);
}

void TWinControl::Realign() {
  for (TControl* c : controls_) {
    switch (c->Align()) {
      case TAlign::alBottom: c->SetBounds(0, ClientHeight() - c->Height(), ClientWidth(), c->Height()); break;
      case TAlign::alTop: c->SetBounds(0, 0, ClientWidth(), c->Height()); break;
      case TAlign::alClient: c->SetBounds(0, 0, ClientWidth(), ClientHeight()); break;
      default: break;
    }
  }
}

bool TWinControl::SetProperty(const std::string& name, const LayoutValue& v) {
  if (name == "TabOrder") tabOrder_ = static_cast<int>(v.number);
  else if (name == "TabStop") tabStop_ = v.AsBool();
  else return TControl::SetProperty(name, v);
  return true;
}

// -------------------------------------------------------------------- labels

TLabel::TLabel(TComponent* owner) : TControl(owner) {}

std::string TLabel::StripAccel(const std::string& caption, int* underline) {
  std::string out;
  if (underline) *underline = -1;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size()) {
      ++i;
      if (caption[i] != '&' && underline && *underline < 0) *underline = static_cast<int>(out.size());
    }
    out.push_back(caption[i]);
  }
  return out;
}

void TLabel::SetCaption(const std::string& v) {
  TControl::SetCaption(v);
  AdjustSize();
}

void TLabel::AdjustSize() {
  if (!autoSize_ || !Application) return;
  int w = 0, h = 0;
  // An empty label keeps the room of one blank, one line high.
  const std::string shown = StripAccel(Caption());
  Application->GetBackend().MeasureText(Font(), shown.empty() ? " " : shown, w, h);
  SetBounds(Left(), Top(), w, h);
}

bool TLabel::SetProperty(const std::string& name, const LayoutValue& v) {
  if (name == "AutoSize") autoSize_ = v.AsBool();
  else if (name == "Transparent") transparent_ = v.AsBool();
  else return TControl::SetProperty(name, v);
  return true;
}

void Backend::MeasureText(const TFont& font, const std::string& text, int& w, int& h) {
  // Without a display: a fixed cell, half as wide as high per byte.
  const int cell = font.Height < 0 ? -font.Height : font.Height;
  h = cell + cell / 3;
  w = static_cast<int>(text.size()) * (h / 2);
}

// -------------------------------------------------------------------- panels

static TBevelCut BevelFrom(const std::string& s) {
  return s == "bvRaised" ? TBevelCut::bvRaised : s == "bvLowered" ? TBevelCut::bvLowered : TBevelCut::bvNone;
}

bool TPanel::SetProperty(const std::string& name, const LayoutValue& v) {
  if (name == "BevelOuter") bevelOuter_ = BevelFrom(v.text);
  else if (name == "BevelInner") bevelInner_ = BevelFrom(v.text);
  else if (name == "BorderWidth") borderWidth_ = static_cast<int>(v.number);
  else return TWinControl::SetProperty(name, v);
  return true;
}

// ------------------------------------------------------------------- buttons

TBitBtn::TBitBtn(TComponent* owner) : TWinControl(owner) { SetTabStop(true); }

char TBitBtn::Accelerator() const {
  int at = -1;
  std::string shown = TLabel::StripAccel(Caption(), &at);
  if (at < 0) return 0;
  char c = shown[static_cast<size_t>(at)];
  return bytestr::IsLowerAscii(static_cast<unsigned char>(c)) ? static_cast<char>(c - 0x20) : c;
}

void TBitBtn::Click() {
  TForm* form = ParentForm();
  if (modalResult_ != mrNone && form) form->SetModalResult(modalResult_);
  if (OnClick) OnClick(this);
}

bool TBitBtn::WantKey(int key, int shift) {
  if (shift) return false;
  if (key == VK_SPACE) {
    Click();
    return true;
  }
  return false;
}

bool TBitBtn::SetProperty(const std::string& name, const LayoutValue& v) {
  if (name == "Default") default_ = v.AsBool();
  else if (name == "Cancel") cancel_ = v.AsBool();
  else if (name == "ModalResult") modalResult_ = static_cast<int>(v.number);
  else if (name == "Glyph") glyph_ = v.text;
  else if (name == "Kind") {
    if (v.text == "bkOK") default_ = true, modalResult_ = mrOk, glyph_ = "ok";
  } else return TWinControl::SetProperty(name, v);
  return true;
}

// --------------------------------------------------------------------- edits

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
  SetTabStop(true);
  SetColor(clWindow);
}

void TEdit::SetText(const std::string& v) {
  if (v == text_) return;
  text_ = v;
  selStart_ = std::min(selStart_, static_cast<int>(text_.size()));
  selLength_ = 0;
  Changed(Prop::Text);
}

void TEdit::SetSelection(int start, int length) {
  const int n = static_cast<int>(text_.size());
  start = std::clamp(start, 0, n);
  length = std::clamp(length, 0, n - start);
  if (start == selStart_ && length == selLength_) return;
  selStart_ = start, selLength_ = length;
  Changed(Prop::Selection);
}

void TEdit::InsertText(const std::string& bytes) {
  std::string t = text_;
  t.replace(static_cast<size_t>(selStart_), static_cast<size_t>(selLength_), bytes);
  const int caret = selStart_ + static_cast<int>(bytes.size());
  text_ = t;
  selStart_ = caret, selLength_ = 0;
  Changed(Prop::Text);
}

bool TEdit::WantChar(char ch) {
  if (static_cast<unsigned char>(ch) < 0x20) return false;
  InsertText(std::string(1, ch));
  return true;
}

bool TEdit::WantKey(int key, int shift) {
  if (shift & (ssAlt | ssCtrl)) return false;
  const int n = static_cast<int>(text_.size());
  switch (key) {
    case VK_LEFT:
    case VK_UP: SetSelection(selLength_ ? selStart_ : selStart_ - 1, 0); return true;
    case VK_RIGHT:
    case VK_DOWN: SetSelection(selLength_ ? selStart_ + selLength_ : selStart_ + 1, 0); return true;
    case VK_HOME: SetSelection(0, 0); return true;
    case VK_END: SetSelection(n, 0); return true;
    case VK_BACK:
      if (!selLength_ && selStart_ > 0) SetSelection(selStart_ - 1, 1);
      InsertText("");
      return true;
    case VK_DELETE:
      if (!selLength_) SetSelection(selStart_, 1);
      InsertText("");
      return true;
    default: return false;
  }
}

// ------------------------------------------------------------- progress bars

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner) {}

void TProgressBar::SetMax(int v) {
  if (v < min_) throw EInvalidOperation(std::string(ClassName()) + " property out of range");
  if (v == max_) return;
  max_ = v;
  position_ = std::min(position_, max_);
  Changed(Prop::Range);
}

void TProgressBar::SetMin(int v) {
  if (v > max_) throw EInvalidOperation(std::string(ClassName()) + " property out of range");
  if (v == min_) return;
  min_ = v;
  position_ = std::max(position_, min_);
  Changed(Prop::Range);
}

void TProgressBar::SetPosition(int v) {
  v = std::clamp(v, min_, max_);
  if (v == position_) return;
  position_ = v;
  Changed(Prop::Position);
}

bool TProgressBar::SetProperty(const std::string& name, const LayoutValue& v) {
  if (name == "Min") SetMin(static_cast<int>(v.number));
  else if (name == "Max") SetMax(static_cast<int>(v.number));
  else if (name == "Position") SetPosition(static_cast<int>(v.number));
  else return TWinControl::SetProperty(name, v);
  return true;
}

bool TImage::SetProperty(const std::string& name, const LayoutValue& v) {
  if (name == "Picture") picture_ = v.text;
  else if (name == "Stretch") stretch_ = v.AsBool();
  else return TControl::SetProperty(name, v);
  return true;
}

// ----------------------------------------------------------- drive selectors

TDriveComboBox::TDriveComboBox(TComponent* owner) : TWinControl(owner) {
  SetTabStop(true);
  SetColor(clWhite);
  // The drive current when the selector is made.
  const std::string cur = dosfs::GetCurrentDir();
  if (!cur.empty()) drive_ = static_cast<char>(std::tolower(static_cast<unsigned char>(cur[0])));
}

void TDriveComboBox::BuildItems() {
  if (built_) return;
  built_ = true;
  for (const dosfs::Drive& d : dosfs::Drives()) {
    Item item{static_cast<char>(std::tolower(static_cast<unsigned char>(d.letter))), static_cast<int>(d.kind), ""};
    const std::string letter(1, item.letter);
    if (d.kind == dosfs::DriveKind::Removable) {
      item.text = letter + ":";  // never touched: no medium is read
    } else {
      std::string volume;
      if (d.kind == dosfs::DriveKind::Network && !d.label.empty()) {
        volume = d.label;
      } else {
        // A label that cannot be read (no medium) gives empty brackets.
        volume = "[" + (dosfs::DriveReady(d.letter) ? d.label : std::string()) + "]";
      }
      std::string lower = volume;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      item.text = letter + ": " + lower;
    }
    items_.push_back(item);
  }
  itemIndex_ = -1;
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].letter == drive_) {
      itemIndex_ = static_cast<int>(i);
      break;
    }
  Changed(Prop::Items);
}

void TDriveComboBox::SetDrive(char letter) {
  letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
  drive_ = letter;
  int index = -1;
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].letter == letter) index = static_cast<int>(i);
  itemIndex_ = index;
  Changed(Prop::Selection);
}

void TDriveComboBox::SelectItem(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return;
  SetDrive(items_[static_cast<size_t>(index)].letter);
}

bool TDriveComboBox::WantKey(int key, int shift) {
  if (shift & (ssAlt | ssCtrl)) return false;
  if (key == VK_UP || key == VK_LEFT) {
    SelectItem(std::max(itemIndex_ - 1, 0));
    return true;
  }
  if (key == VK_DOWN || key == VK_RIGHT) {
    SelectItem(itemIndex_ + 1);
    return true;
  }
  return false;
}

bool TDriveComboBox::WantChar(char ch) {
  const char want = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  const int n = static_cast<int>(items_.size());
  for (int k = 1; k <= n; ++k) {
    const int i = (itemIndex_ + k + n) % n;
    if (items_[static_cast<size_t>(i)].text[0] == want) {
      SelectItem(i);
      return true;
    }
  }
  return true;  // the list uses every typed character
}
