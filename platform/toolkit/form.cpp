#include <algorithm>
#include <cctype>
#include <cstdio>

#include "toolkit.h"
#include "trace.h"

// ---------------------------------------------------------------- layouts

namespace {

std::map<std::string, std::string, std::less<>>& Layouts() {
  static std::map<std::string, std::string, std::less<>> layouts;
  return layouts;
}

// Reads the layout text: nested "object Name: TClass ... end" blocks with
// "Property = value" lines; values are numbers ($ for hexadecimal), 'strings'
// ('' for a quote), identifiers and [sets].
class LayoutParser {
 public:
  LayoutParser(std::string_view text, std::string_view name) : text_(text), name_(name) {}

  struct Object {
    std::string name, cls;
    std::vector<std::pair<std::string, LayoutValue>> props;
    std::vector<Object> children;
  };

  Object Parse() {
    Object root = ParseObject();
    Skip();
    if (pos_ != text_.size()) Fail("text after the last end");
    return root;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw Exception("Layout " + name_ + ": " + what + " at offset " + std::to_string(pos_));
  }
  void Skip() {
    while (pos_ < text_.size() && static_cast<unsigned char>(text_[pos_]) <= ' ') ++pos_;
  }
  std::string Word() {
    Skip();
    size_t b = pos_;
    while (pos_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_' ||
                                   text_[pos_] == '.'))
      ++pos_;
    if (b == pos_) Fail("a name expected");
    return std::string(text_.substr(b, pos_ - b));
  }
  void Expect(char c) {
    Skip();
    if (pos_ >= text_.size() || text_[pos_] != c) Fail(std::string("'") + c + "' expected");
    ++pos_;
  }
  LayoutValue Value() {
    Skip();
    LayoutValue v;
    if (pos_ >= text_.size()) Fail("a value expected");
    char c = text_[pos_];
    if (c == '\'') {
      v.kind = LayoutValue::String;
      ++pos_;
      for (;;) {
        if (pos_ >= text_.size()) Fail("unterminated string");
        if (text_[pos_] == '\'') {
          if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
            v.text.push_back('\'');
            pos_ += 2;
            continue;
          }
          ++pos_;
          break;
        }
        v.text.push_back(text_[pos_++]);
      }
    } else if (c == '[') {
      v.kind = LayoutValue::Set;
      ++pos_;
      Skip();
      while (pos_ < text_.size() && text_[pos_] != ']') {
        v.items.push_back(Word());
        Skip();
        if (pos_ < text_.size() && text_[pos_] == ',') ++pos_;
        Skip();
      }
      Expect(']');
    } else if (c == '$') {
      ++pos_;
      std::string digits = Word();
      v.number = std::stoll(digits, nullptr, 16);
    } else if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) {
      size_t b = pos_++;
      while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_]))) ++pos_;
      v.number = std::stoll(std::string(text_.substr(b, pos_ - b)));
    } else {
      v.kind = LayoutValue::Ident;
      v.text = Word();
    }
    return v;
  }
  Object ParseObject() {
    if (Word() != "object") Fail("'object' expected");
    Object o;
    o.name = Word();
    Expect(':');
    o.cls = Word();
    for (;;) {
      Skip();
      size_t save = pos_;
      std::string w = Word();
      if (w == "end") return o;
      if (w == "object") {
        pos_ = save;
        o.children.push_back(ParseObject());
        continue;
      }
      Expect('=');
      o.props.emplace_back(w, Value());
    }
  }

  std::string_view text_;
  std::string name_;
  size_t pos_ = 0;
};

std::unique_ptr<TControl> MakeControl(const std::string& cls, TComponent* owner) {
  if (cls == "TLabel") return std::make_unique<TLabel>(owner);
  if (cls == "TPanel") return std::make_unique<TPanel>(owner);
  if (cls == "TBitBtn") return std::make_unique<TBitBtn>(owner);
  if (cls == "TEdit") return std::make_unique<TEdit>(owner);
  if (cls == "TProgressBar") return std::make_unique<TProgressBar>(owner);
  if (cls == "TImage") return std::make_unique<TImage>(owner);
  if (cls == "TDriveComboBox") return std::make_unique<TDriveComboBox>(owner);
  return nullptr;
}

}  // namespace

void RegisterLayout(std::string_view name, std::string_view text) { Layouts()[std::string(name)] = std::string(text); }

// -------------------------------------------------------------------- forms

TForm::TForm(TComponent* owner) : TWinControl(owner) { SetVisible(false); }

TForm::~TForm() = default;

void TForm::LoadLayout(std::string_view layoutName, const EventTable& events) {
  auto it = Layouts().find(layoutName);
  if (it == Layouts().end()) throw Exception("No window layout " + std::string(layoutName));
  LayoutParser::Object root = LayoutParser(it->second, layoutName).Parse();

  auto apply = [&](TComponent& target, const LayoutParser::Object& o) {
    for (const auto& [prop, value] : o.props) {
      if (prop.starts_with("On")) {
        auto ev = events.find(value.text);
        if (ev == events.end()) throw Exception("No handler " + value.text + " for " + o.name);
        if (prop == "OnClick") dynamic_cast<TBitBtn&>(target).OnClick = ev->second;
        else if (prop == "OnCreate") OnCreate = ev->second;
        else if (prop == "OnShow") OnShow = ev->second;
        else throw Exception("Unknown event " + prop);
      } else if (!target.SetProperty(prop, value)) {
        throw Exception("Unknown property " + prop + " of " + o.name);
      }
    }
  };

  std::function<void(TWinControl&, const LayoutParser::Object&)> build = [&](TWinControl& parent,
                                                                              const LayoutParser::Object& o) {
    for (const auto& child : o.children) {
      auto control = MakeControl(child.cls, this);
      if (!control) throw Exception("Unknown component class " + child.cls);
      TControl* c = control.get();
      c->SetName(child.name);
      InsertComponent(std::move(control));
      c->SetParent(&parent);
      if (c->ParentFont()) {
        TFont inherited = parent.Font();
        c->SetFont(inherited);
        c->SetProperty("ParentFont", LayoutValue{LayoutValue::Ident, 0, "True", {}});
      }
      apply(*c, child);
      if (auto* w = dynamic_cast<TWinControl*>(c)) build(*w, child);
    }
  };
  SetName(root.name);
  apply(*this, root);
  build(*this, root);
  Realign();
}

bool TForm::SetProperty(const std::string& name, const LayoutValue& v) {
  if (name == "ClientWidth") SetWidth(static_cast<int>(v.number));
  else if (name == "ClientHeight") SetHeight(static_cast<int>(v.number));
  else if (name == "BorderStyle") borderStyle_ = v.text == "bsDialog" ? TFormBorderStyle::bsDialog
                                                                     : TFormBorderStyle::bsSizeable;
  else if (name == "Position") position_ = v.text == "poScreenCenter" ? TPosition::poScreenCenter
                                           : v.text == "poDefault"    ? TPosition::poDefault
                                                                      : TPosition::poDesigned;
  else if (name == "WindowState") windowState_ = v.text == "wsMaximized" ? TWindowState::wsMaximized
                                                                         : TWindowState::wsNormal;
  else if (name == "ScrollBars") scrollBars_ = v.AsBool();
  else if (name == "Visible") {
  }  // forms are shown by the program, never by their layout
  else return TWinControl::SetProperty(name, v);
  return true;
}

void TForm::SetWindowState(TWindowState s) {
  if (s == windowState_) return;
  windowState_ = s;
  Changed(Prop::State);
}

void TForm::FocusControl(TWinControl* c) {
  if (c == active_) return;
  active_ = c;
  if (c) c->FocusEnter();
  Changed(Prop::Focus);
}

std::vector<TWinControl*> TForm::TabList() const {
  std::vector<TWinControl*> out;
  std::function<void(const TWinControl&)> walk = [&](const TWinControl& parent) {
    std::vector<TWinControl*> kids;
    for (TControl* c : parent.Controls())
      if (auto* w = dynamic_cast<TWinControl*>(c); w && w->Visible()) kids.push_back(w);
    std::stable_sort(kids.begin(), kids.end(), [](auto* a, auto* b) { return a->TabOrder() < b->TabOrder(); });
    for (TWinControl* w : kids) {
      if (w->CanFocus()) out.push_back(w);
      walk(*w);
    }
  };
  walk(*this);
  return out;
}

void TForm::Show() {
  if (!Visible()) {
    // A drive selector lists the drives when its window is first made.
    for (const auto& c : Components())
      if (auto* drives = dynamic_cast<TDriveComboBox*>(c.get())) drives->BuildItems();
    if (OnShow) Application->Dispatch([this] { OnShow(this); });
    if (!active_ || !active_->CanFocus()) {
      auto list = TabList();
      FocusControl(list.empty() ? nullptr : list.front());
    }
    SetVisible(true);
    trace::Line("show " + Name());
  }
}

int TForm::ShowModal() {
  if (modal_) throw EInvalidOperation("Cannot make a visible window modal");
  modalResult_ = mrNone;
  modal_ = true;
  Application->modalStack_.push_back(this);
  struct Restore {
    TForm* f;
    ~Restore() {
      std::erase(Application->modalStack_, f);
      f->modal_ = false;
      f->Hide();
      trace::Line("hide " + f->Name());
    }
  } restore{this};
  Show();
  Application->GetBackend().RunModal(*this);  // returns at once when already told to end
  if (Application->Terminated() && modalResult_ == mrNone) modalResult_ = mrCancel;
  trace::Line("modal result " + Name() + " " + std::to_string(modalResult_));
  return modalResult_;
}

void TForm::Close() {
  if (modal_) modalResult_ = mrCancel;
  else if (Application->MainForm() == this) Application->Terminate();
  else Hide();
}

bool TForm::AcceptsInput() const {
  if (!Visible() || !Enabled() || Application->InMessageBox()) return false;
  const auto& stack = Application->ModalStack();
  return stack.empty() || stack.back() == this;
}

TBitBtn* TForm::FindButton(const std::function<bool(TBitBtn&)>& pred) const {
  for (const auto& c : Components())
    if (auto* b = dynamic_cast<TBitBtn*>(c.get()); b && b->Showing() && b->Enabled() && pred(*b)) return b;
  return nullptr;
}

void TForm::ClickButton(TBitBtn& b) { b.Click(); }

void TForm::MoveFocus(bool forward) {
  auto list = TabList();
  if (list.empty()) return;
  auto it = std::find(list.begin(), list.end(), active_);
  long i = it == list.end() ? (forward ? -1 : 0) : it - list.begin();
  const long n = static_cast<long>(list.size());
  FocusControl(list[static_cast<size_t>(((i + (forward ? 1 : -1)) % n + n) % n)]);
}

void TForm::MoveFocusBetweenButtons(bool forward) {
  std::vector<TWinControl*> buttons;
  for (TWinControl* w : TabList())
    if (dynamic_cast<TBitBtn*>(w) && w->Parent() == active_->Parent()) buttons.push_back(w);
  auto it = std::find(buttons.begin(), buttons.end(), active_);
  if (it == buttons.end()) return;
  const long n = static_cast<long>(buttons.size());
  const long i = it - buttons.begin();
  FocusControl(buttons[static_cast<size_t>(((i + (forward ? 1 : -1)) % n + n) % n)]);
}

void TForm::KeyDown(int key, int shift) {
  if (!AcceptsInput()) return;
  Application->Dispatch([&] {
    if (key == VK_F4 && shift == ssAlt) return Close();
    if (shift == ssAlt && std::isalnum(key)) {
      if (TBitBtn* b = FindButton([&](TBitBtn& x) { return x.Accelerator() == key; })) ClickButton(*b);
      return;
    }
    if (key == VK_TAB && !(shift & (ssAlt | ssCtrl))) return MoveFocus(!(shift & ssShift));
    if (active_ && active_->WantKey(key, shift)) return;
    if (shift) return;
    auto* focusedButton = dynamic_cast<TBitBtn*>(active_);
    if (key == VK_RETURN) {
      TBitBtn* b = focusedButton ? focusedButton : FindButton([](TBitBtn& x) { return x.Default(); });
      if (b) ClickButton(*b);
    } else if (key == VK_ESCAPE) {
      if (TBitBtn* b = FindButton([](TBitBtn& x) { return x.Cancel(); })) ClickButton(*b);
    } else if (focusedButton && (key == VK_LEFT || key == VK_UP || key == VK_RIGHT || key == VK_DOWN)) {
      MoveFocusBetweenButtons(key == VK_RIGHT || key == VK_DOWN);
    }
  });
}

void TForm::KeyPress(char ch) {
  if (!AcceptsInput()) return;
  Application->Dispatch([&] {
    if (active_ && active_->WantChar(ch)) return;
    // A letter alone works as the accelerator while a button has the focus.
    if (dynamic_cast<TBitBtn*>(active_)) {
      const char up = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      if (TBitBtn* b = FindButton([&](TBitBtn& x) { return x.Accelerator() == up; })) ClickButton(*b);
    }
  });
}

void TForm::ClickControl(TControl& c) {
  if (!AcceptsInput() || !c.Showing() || !c.Enabled()) return;
  Application->Dispatch([&] {
    if (auto* w = dynamic_cast<TWinControl*>(&c); w && w->CanFocus()) FocusControl(w);
    if (auto* b = dynamic_cast<TBitBtn*>(&c)) ClickButton(*b);
  });
}

void TForm::CloseBox() {
  if (AcceptsInput()) Close();
}

// -------------------------------------------------------------- application

TApplication::TApplication(Backend& backend) : TComponent(nullptr), backend_(backend) { Application = this; }

TApplication::~TApplication() {
  forms_.clear();
  if (Application == this) Application = nullptr;
}

void TApplication::Adopt(TForm* form) { forms_.emplace_back(form); }

void TApplication::Created(TForm& form) {
  if (form.OnCreate) Dispatch([&] { form.OnCreate(&form); });
  if (!mainForm_) mainForm_ = &form;
}

void TApplication::Run() {
  if (!mainForm_) return;
  if (!mainForm_->Visible()) mainForm_->Show();
  do backend_.HandleMessage();
  while (!terminated_);
}

int TApplication::MessageBox(const std::string& text, const std::string& caption, int flags) {
  ++messageBoxes_;
  struct Done {
    int& n;
    ~Done() { --n; }
  } done{messageBoxes_};
  const int answer = backend_.MessageBox(text, caption, flags);
  trace::MessageBox(caption, text, flags, answer);
  return answer;
}

std::string TApplication::AddPeriod(const std::string& text) {
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') return text + ".";
  return text;
}

void TApplication::ShowException(const Exception& e) { MessageBox(AddPeriod(e.Message()), title_, MB_OK | MB_ICONSTOP); }

void TApplication::ShowFatal(const Exception& e, const std::string& module) {
  char address[32];
  std::snprintf(address, sizeof address, "%08lX",
                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(e.Address()) & 0xFFFFFFFFu));
  const std::string text = std::string("Exception ") + e.ClassName() + " in module " + module + " at " + address +
                           ".\n" + AddPeriod(e.Message());
  trace::MessageBox("Application Error", text, MB_OK | MB_ICONSTOP | MB_TASKMODAL, IDOK);
  backend_.FatalBox("Application Error", text);
}

void TApplication::Dispatch(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const Exception& e) {
    ShowException(e);
  }
}
