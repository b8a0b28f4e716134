// The windowing toolkit: application object, forms, controls and message
// boxes, as a model with pluggable backends.
//
// Controls are plain objects holding their properties. A setter compares,
// stores, then notifies the backend; nothing else happens in it. The dialog
// rules (focus and tab order, Enter/Esc/Alt+letter/Space/arrows, modal
// results, close box, the terminate request) live here, so they behave the
// same with every backend. Texts are GB2312 byte strings.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "errors.h"

class TObject {
 public:
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

// Colours: 0x00BBGGRR, or a system colour (high bit set).
using TColor = uint32_t;
constexpr TColor RGB(int r, int g, int b) { return static_cast<TColor>(r | (g << 8) | (b << 16)); }
constexpr TColor clBlack = RGB(0, 0, 0), clRed = RGB(255, 0, 0), clBlue = RGB(0, 0, 255), clNavy = RGB(0, 0, 128),
                 clSilver = RGB(192, 192, 192), clWhite = RGB(255, 255, 255);
constexpr TColor clBtnFace = 0x8000000F, clWindow = 0x80000005, clWindowText = 0x80000008;

constexpr int ANSI_CHARSET = 0, DEFAULT_CHARSET = 1, GB2312_CHARSET = 134;

struct TFont {
  std::string Name = "MS Sans Serif";
  int Height = -11;  // negative: character height in pixels
  bool Bold = false;
  TColor Color = clWindowText;
  int Charset = DEFAULT_CHARSET;
  bool operator==(const TFont&) const = default;
};

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum class TBevelCut { bvNone, bvLowered, bvRaised };
enum class TFormBorderStyle { bsSizeable, bsDialog };
enum class TPosition { poDefault, poDesigned, poScreenCenter };
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };

// Modal results and message box answers.
constexpr int mrNone = 0, mrOk = 1, mrCancel = 2;
constexpr int IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7;
// Message box button sets and icons.
constexpr int MB_OK = 0, MB_OKCANCEL = 1, MB_ABORTRETRYIGNORE = 2, MB_YESNOCANCEL = 3, MB_YESNO = 4,
              MB_RETRYCANCEL = 5, MB_ICONSTOP = 0x10, MB_TASKMODAL = 0x2000;

// Keys (virtual key codes) and shift states.
constexpr int VK_BACK = 8, VK_TAB = 9, VK_RETURN = 13, VK_ESCAPE = 27, VK_SPACE = 32, VK_END = 35, VK_HOME = 36,
              VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40, VK_DELETE = 46, VK_F4 = 115;
constexpr int ssShift = 1, ssAlt = 2, ssCtrl = 4;

// The properties a backend is told about.
enum class Prop { Bounds, Visible, Enabled, Caption, Font, Color, Text, Selection, Position, Range, Items, Focus, Picture,
                  State };

class TWinControl;
class TForm;
class TApplication;

class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* owner);
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  TComponent* Owner() const { return owner_; }
  TComponent* FindComponent(std::string_view name) const;
  const std::vector<std::unique_ptr<TComponent>>& Components() const { return owned_; }
  virtual const char* ClassName() const = 0;
  // Applies one property of a window layout; false when the name is unknown.
  virtual bool SetProperty(const std::string& name, const struct LayoutValue& value);
  // Takes ownership of a component (the layout loader's children).
  void InsertComponent(std::unique_ptr<TComponent> c);

 private:
  std::string name_;
  TComponent* owner_;
  std::vector<std::unique_ptr<TComponent>> owned_;
};

class TControl : public TComponent {
 public:
  explicit TControl(TComponent* owner) : TComponent(owner) {}
  TWinControl* Parent() const { return parent_; }
  void SetParent(TWinControl* parent);
  TForm* ParentForm() const;  // the top-level form holding the control

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetBounds(int left, int top, int width, int height);
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }

  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, and every parent visible too.
  bool Showing() const;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);

  const std::string& Caption() const { return caption_; }
  virtual void SetCaption(const std::string& v);
  const TFont& Font() const { return font_; }
  void SetFont(const TFont& f);
  TColor Color() const { return color_; }
  void SetColor(TColor c);
  TAlign Align() const { return align_; }
  void SetAlign(TAlign a);
  bool ParentFont() const { return parentFont_; }

  bool SetProperty(const std::string& name, const LayoutValue& value) override;

 protected:
  void Changed(Prop p);
  virtual void FontChanged() {}

 private:
  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true, enabled_ = true, parentFont_ = true;
  std::string caption_;
  TFont font_;
  TColor color_ = clBtnFace;
  TAlign align_ = TAlign::alNone;
};

class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* owner) : TControl(owner) {}
  const std::vector<TControl*>& Controls() const { return controls_; }
  int TabOrder() const { return tabOrder_; }
  void SetTabOrder(int v) { tabOrder_ = v; }
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool v) { tabStop_ = v; }
  // Can take the keyboard focus: a tab stop, showing and enabled.
  bool CanFocus() const;
  bool Focused() const;
  void SetFocus();
  // Lays out children aligned to an edge or the client area.
  void Realign();
  virtual int ClientWidth() const { return Width(); }
  virtual int ClientHeight() const { return Height(); }

  bool SetProperty(const std::string& name, const LayoutValue& value) override;

  // Keyboard input reaching the control while it has the focus; true when
  // the control used the key.
  virtual bool WantKey(int /*key*/, int /*shift*/) { return false; }
  virtual bool WantChar(char /*ch*/) { return false; }
  virtual void FocusEnter() {}

 private:
  friend class TControl;
  std::vector<TControl*> controls_;
  int tabOrder_ = 0;
  bool tabStop_ = false;
};

class TLabel : public TControl {
 public:
  explicit TLabel(TComponent* owner);
  const char* ClassName() const override { return "TLabel"; }
  void SetCaption(const std::string& v) override;
  bool AutoSize() const { return autoSize_; }
  bool Transparent() const { return transparent_; }
  bool SetProperty(const std::string& name, const LayoutValue& value) override;
  // The caption as drawn: "&" removed ("&&" gives one "&"), and the index of
  // the underlined byte in it, or -1.
  static std::string StripAccel(const std::string& caption, int* underline = nullptr);

 protected:
  void FontChanged() override { AdjustSize(); }

 private:
  void AdjustSize();
  bool autoSize_ = true, transparent_ = false;
};

class TPanel : public TWinControl {
 public:
  explicit TPanel(TComponent* owner) : TWinControl(owner) {}
  const char* ClassName() const override { return "TPanel"; }
  TBevelCut BevelOuter() const { return bevelOuter_; }
  TBevelCut BevelInner() const { return bevelInner_; }
  int BorderWidth() const { return borderWidth_; }
  int BevelWidth() const { return 1; }
  bool SetProperty(const std::string& name, const LayoutValue& value) override;

 private:
  TBevelCut bevelOuter_ = TBevelCut::bvRaised, bevelInner_ = TBevelCut::bvNone;
  int borderWidth_ = 0;
};

class TBitBtn : public TWinControl {
 public:
  explicit TBitBtn(TComponent* owner);
  const char* ClassName() const override { return "TBitBtn"; }
  bool Default() const { return default_; }
  bool Cancel() const { return cancel_; }
  int ModalResult() const { return modalResult_; }
  const std::string& Glyph() const { return glyph_; }  // picture resource name
  // The letter marked with "&" in the caption, upper case; 0 when none.
  char Accelerator() const;
  // Clicks the button: its modal result (if any) becomes the form's, then
  // its click handler runs.
  void Click();
  TNotifyEvent OnClick;
  bool SetProperty(const std::string& name, const LayoutValue& value) override;
  bool WantKey(int key, int shift) override;

 private:
  bool default_ = false, cancel_ = false;
  int modalResult_ = mrNone;
  std::string glyph_;
};

class TEdit : public TWinControl {
 public:
  explicit TEdit(TComponent* owner);
  const char* ClassName() const override { return "TEdit"; }
  const std::string& Text() const { return text_; }
  void SetText(const std::string& v);
  int SelStart() const { return selStart_; }
  int SelLength() const { return selLength_; }
  void SetSelection(int start, int length);
  void SelectAll() { SetSelection(0, static_cast<int>(text_.size())); }
  // Replaces the selection with typed bytes (GB2312).
  void InsertText(const std::string& bytes);
  bool WantKey(int key, int shift) override;
  bool WantChar(char ch) override;
  void FocusEnter() override { SelectAll(); }

 private:
  std::string text_;
  int selStart_ = 0, selLength_ = 0;
};

class TProgressBar : public TWinControl {
 public:
  explicit TProgressBar(TComponent* owner);
  const char* ClassName() const override { return "TProgressBar"; }
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  // A maximum below the minimum raises "TProgressBar property out of range"
  // and leaves the range unchanged.
  void SetMax(int v);
  void SetMin(int v);
  // Kept within Min..Max.
  void SetPosition(int v);
  bool SetProperty(const std::string& name, const LayoutValue& value) override;

 private:
  int min_ = 0, max_ = 100, position_ = 0;
};

class TImage : public TControl {
 public:
  explicit TImage(TComponent* owner) : TControl(owner) {}
  const char* ClassName() const override { return "TImage"; }
  const std::string& Picture() const { return picture_; }
  bool Stretch() const { return stretch_; }
  bool SetProperty(const std::string& name, const LayoutValue& value) override;

 private:
  std::string picture_;
  bool stretch_ = false;
};

// A drop-down list of the system's drives.
class TDriveComboBox : public TWinControl {
 public:
  struct Item {
    char letter;      // lower case
    int kind;         // dosfs::DriveKind as an integer
    std::string text;
  };
  explicit TDriveComboBox(TComponent* owner);
  const char* ClassName() const override { return "TDriveComboBox"; }
  // The selected drive letter, lower case.
  char Drive() const { return drive_; }
  void SetDrive(char letter);
  // Builds the items from the system's drives, once.
  void BuildItems();
  bool ItemsBuilt() const { return built_; }
  const std::vector<Item>& Items() const { return items_; }
  int ItemIndex() const { return itemIndex_; }
  // Chooses an item, as by mouse or keyboard.
  void SelectItem(int index);
  bool WantKey(int key, int shift) override;
  bool WantChar(char ch) override;

 private:
  std::vector<Item> items_;
  bool built_ = false;
  char drive_ = 'c';
  int itemIndex_ = -1;
};

class TForm : public TWinControl {
 public:
  explicit TForm(TComponent* owner);
  ~TForm() override;
  const char* ClassName() const override { return "TForm"; }

  int ClientWidth() const override { return Width(); }
  int ClientHeight() const override { return Height(); }
  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  TPosition Position() const { return position_; }
  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState s);
  bool ScrollBars() const { return scrollBars_; }

  int ModalResult() const { return modalResult_; }
  void SetModalResult(int r) { modalResult_ = r; }
  bool Modal() const { return modal_; }
  // Shows the form modally and returns its modal result: 1 or 2 as a button
  // sets it, 2 when it is closed or the application has been told to end.
  int ShowModal();
  // Makes the form visible and brings it to the front.
  void Show();
  // Closes the form: a modal form gets result 2; the main form ends the
  // application; any other form hides.
  void Close();

  TWinControl* ActiveControl() const { return active_; }
  void FocusControl(TWinControl* c);
  // Every focusable control in tab order.
  std::vector<TWinControl*> TabList() const;

  // Input from the user (mouse, keyboard, window frame). Ignored while
  // another form is modal above this one.
  void KeyDown(int key, int shift);
  void KeyPress(char ch);
  void ClickControl(TControl& c);
  void CloseBox();
  bool AcceptsInput() const;

  bool PlacedOnce() const { return placed_; }
  void MarkPlaced() { placed_ = true; }
  bool SetProperty(const std::string& name, const LayoutValue& value) override;

  TNotifyEvent OnCreate, OnShow;

 protected:
  using EventTable = std::map<std::string, TNotifyEvent>;
  // Creates the form's components from its window layout; event names in
  // the layout are bound through `events`.
  void LoadLayout(std::string_view layoutName, const EventTable& events);
  template <class T>
  T* Find(std::string_view name) {
    auto* c = dynamic_cast<T*>(FindComponent(name));
    if (!c) throw Exception("Component " + std::string(name) + " not found in layout");
    return c;
  }

 private:
  friend class TApplication;
  TBitBtn* FindButton(const std::function<bool(TBitBtn&)>& pred) const;
  void MoveFocus(bool forward);
  void MoveFocusBetweenButtons(bool forward);
  void ClickButton(TBitBtn& b);

  TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSizeable;
  TPosition position_ = TPosition::poDesigned;
  TWindowState windowState_ = TWindowState::wsNormal;
  bool scrollBars_ = true;
  int modalResult_ = mrNone;
  bool modal_ = false, placed_ = false;
  TWinControl* active_ = nullptr;
};

// A value of a window layout: a number, a string, an identifier or a set.
struct LayoutValue {
  enum Kind { Number, String, Ident, Set } kind = Number;
  long long number = 0;
  std::string text;               // String or Ident
  std::vector<std::string> items;  // Set
  bool AsBool() const { return kind == Ident && text == "True"; }
};

// What draws the model. The headless backend draws nothing; the real one
// makes windows.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual void Changed(TControl& /*c*/, Prop /*p*/) {}
  // Width and height of a one-line text in a font.
  virtual void MeasureText(const TFont& font, const std::string& text, int& w, int& h);
  virtual void ScreenSize(int& w, int& h) { w = 1024, h = 768; }
  // Runs a nested loop until the form's modal result is set or the
  // application has been told to end.
  virtual void RunModal(TForm& form) = 0;
  virtual int MessageBox(const std::string& text, const std::string& caption, int flags) = 0;
  virtual void ProcessMessages() = 0;
  // Waits for one message and handles it.
  virtual void HandleMessage() = 0;
  virtual void FatalBox(const std::string& caption, const std::string& text) = 0;
};

class TApplication : public TComponent {
 public:
  explicit TApplication(Backend& backend);
  ~TApplication() override;
  const char* ClassName() const override { return "TApplication"; }
  Backend& GetBackend() const { return backend_; }

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& t) { title_ = t; }
  TForm* MainForm() const { return mainForm_; }

  // Creates a form into its reference: the reference is set before the
  // form's creation handler runs; an error escaping that handler is shown in
  // the default error box and creation goes on. The first form created
  // becomes the main form.
  template <class T>
  void CreateForm(T*& reference) {
    auto* form = new T(this);
    Adopt(form);
    reference = form;
    Created(*form);
  }

  // With a main form: shows it if hidden, then handles messages until the
  // application has been told to end. Without one: returns at once.
  void Run();
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  void ProcessMessages() { backend_.ProcessMessages(); }
  int MessageBox(const std::string& text, const std::string& caption, int flags);
  // The default error box: the error's text ("." appended when its last
  // byte sorts after "."), the application title as caption.
  void ShowException(const Exception& e);
  // The fatal error box of an error that escaped the program's entry.
  void ShowFatal(const Exception& e, const std::string& module);
  // Runs an event handler; errors are shown in the default error box.
  void Dispatch(const std::function<void()>& handler);

  // Forms shown modally, innermost last.
  const std::vector<TForm*>& ModalStack() const { return modalStack_; }
  bool InMessageBox() const { return messageBoxes_ > 0; }

  static std::string AddPeriod(const std::string& text);

 private:
  friend class TForm;
  void Adopt(TForm* form);
  void Created(TForm& form);
  Backend& backend_;
  std::string title_;
  TForm* mainForm_ = nullptr;
  bool terminated_ = false;
  std::vector<TForm*> modalStack_;
  std::vector<std::unique_ptr<TForm>> forms_;
  int messageBoxes_ = 0;
};

// The one application object of the process (set by TApplication's
// constructor).
extern TApplication* Application;

// Window layouts built into the program, by name.
void RegisterLayout(std::string_view name, std::string_view text);
