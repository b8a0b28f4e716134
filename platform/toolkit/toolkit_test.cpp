#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "headless.h"
#include "testing_machine.h"
#include "toolkit.h"

namespace {

// A dialog shaped like the installer's: a hidden panel first in tab order,
// a button strip, and a panel with an edit.
constexpr const char* kDialog = R"(
object F_test: TF_test
  Caption = 'Dialog'
  ClientWidth = 300
  ClientHeight = 177
  BorderStyle = bsDialog
  Position = poScreenCenter
  OnShow = FormShow
  object Panel2: TPanel
    Visible = False
    TabOrder = 0
    object Edit2: TEdit
      TabOrder = 0
    end
  end
  object Panel1: TPanel
    Height = 55
    Align = alBottom
    TabOrder = 1
    object BitBtn1: TBitBtn
      Caption = '&A ok'
      Default = True
      TabOrder = 0
      OnClick = BitBtn1Click
    end
    object BitBtn2: TBitBtn
      Caption = 'Esc'
      Cancel = True
      ModalResult = 2
      TabOrder = 1
    end
  end
  object Panel3: TPanel
    TabOrder = 2
    object Edit1: TEdit
      TabOrder = 0
    end
    object Label1: TLabel
      Caption = 'it''s'
      Font.Height = -16
    end
  end
end
)";

class TF_test : public TForm {
 public:
  explicit TF_test(TComponent* owner) : TForm(owner) {
    LoadLayout("F_test", {{"BitBtn1Click", [this](TObject*) { ++clicks; }},
                          {"FormShow", [this](TObject*) { ++shows; }}});
    BitBtn1 = Find<TBitBtn>("BitBtn1");
    BitBtn2 = Find<TBitBtn>("BitBtn2");
    Edit1 = Find<TEdit>("Edit1");
  }
  TBitBtn* BitBtn1;
  TBitBtn* BitBtn2;
  TEdit* Edit1;
  int clicks = 0, shows = 0;
};

struct Fixture : ::testing::Test {
  Fixture() {
    RegisterLayout("F_test", kDialog);
    app.CreateForm(form);
  }
  ScriptedUser user;
  HeadlessBackend backend{&user};
  TApplication app{backend};
  TF_test* form = nullptr;
  // Shows the dialog modally; `keys` act in it once; returns the result.
  int Modal(const std::function<void(User&)>& act) {
    user.Modal("F_test", act);
    return form->ShowModal();
  }
};

}  // namespace

using DialogRules = Fixture;

// Focus starts at the first control in tab order that can take it: the
// hidden panel's edit is skipped.
TEST_F(DialogRules, TabOrderSkipsHiddenControls) {
  std::vector<std::string> seen;
  user.Modal("F_test", [&](User& u) {
    for (int i = 0; i < 4; ++i) {
      seen.push_back(u.Form().ActiveControl()->Name());
      u.Key(VK_TAB);
    }
    seen.push_back(u.Form().ActiveControl()->Name());
    u.Key(VK_TAB, ssShift);
    seen.push_back(u.Form().ActiveControl()->Name());
    u.Key(VK_ESCAPE);
  });
  EXPECT_EQ(form->ShowModal(), mrCancel);
  EXPECT_EQ(seen, (std::vector<std::string>{"BitBtn1", "BitBtn2", "Edit1", "BitBtn1", "BitBtn2", "BitBtn1"}));
  EXPECT_EQ(form->shows, 1);
}

// Which key clicks which button, from which focus. BitBtn1 has no modal
// result: a click runs its handler and the showing goes on.
TEST_F(DialogRules, KeysClickTheRightButton) {
  const struct { const char* name; std::function<void(User&)> keys; int clicks; int result; } cases[] = {
      {"Enter clicks the default", [](User& u) { u.Key(VK_RETURN); }, 1, 0},
      {"Enter on the edit clicks the default", [](User& u) { u.Key(VK_TAB); u.Key(VK_TAB); u.Key(VK_RETURN); }, 1, 0},
      {"Enter on Exit clicks Exit", [](User& u) { u.Key(VK_TAB); u.Key(VK_RETURN); }, 0, 2},
      {"Esc clicks the cancel button", [](User& u) { u.Key(VK_ESCAPE); }, 0, 2},
      {"Shift+Esc does nothing", [](User& u) { u.Key(VK_ESCAPE, ssShift); }, 0, 0},
      {"Alt+A from the edit", [](User& u) { u.Key(VK_TAB, ssShift); u.Key('A', ssAlt); }, 1, 0},
      {"A alone on a button", [](User& u) { u.Type("a"); }, 1, 0},
      {"A alone in the edit is typed", [](User& u) { u.Key(VK_TAB, ssShift); u.Type("a"); }, 0, 0},
      {"Space clicks the focused button", [](User& u) { u.Key(VK_RIGHT); u.Key(VK_SPACE); }, 0, 2},
      {"arrows move between buttons", [](User& u) { u.Key(VK_DOWN); u.Key(VK_UP); u.Key(VK_SPACE); }, 1, 0},
      {"Alt+F4 cancels", [](User& u) { u.Key(VK_F4, ssAlt); }, 0, 2},
      {"the close box cancels", [](User& u) { u.CloseBox(); }, 0, 2},
      {"a mouse click on Exit", [](User& u) { u.Click("BitBtn2"); }, 0, 2},
  };
  for (const auto& c : cases) {
    form->clicks = 0;
    form->FocusControl(nullptr);
    user.Modal("F_test", [&](User& u) {
      c.keys(u);
      if (form->ModalResult() == mrNone) form->SetModalResult(7);  // ends the showing
    });
    const int result = form->ShowModal();
    EXPECT_EQ(form->clicks, c.clicks) << c.name;
    EXPECT_EQ(result, c.result ? c.result : 7) << c.name;
  }
}

// A terminate request ends a modal showing with Cancel, also one that
// starts after the request.
TEST_F(DialogRules, TerminateEndsModalShowings) {
  EXPECT_EQ(Modal([&](User&) { app.Terminate(); }), mrCancel);
  EXPECT_EQ(form->ShowModal(), mrCancel);  // no script step is used
  EXPECT_TRUE(user.Finished());
  EXPECT_EQ(user.Record(), (std::vector<std::string>{"modal F_test -> 2", "modal F_test -> 2"}));
}

// The edit selects its whole text when the focus moves into it from another
// control, and keeps caret and selection when it already had the focus.
TEST_F(DialogRules, EditSelectsAllOnlyWhenFocusMovesIn) {
  form->Edit1->SetText("A:\\");
  form->Edit1->SetFocus();
  EXPECT_EQ(form->Edit1->SelLength(), 3);
  user.Modal("F_test", [](User& u) {
    u.Type("b:\\disk2");
    u.Key(VK_UP);  // moves the caret, as Left does
    u.Key(VK_DOWN);
    u.Key(VK_LEFT);
    u.Key(VK_ESCAPE);
  });
  form->ShowModal();
  EXPECT_EQ(form->Edit1->Text(), "b:\\disk2");
  form->Edit1->SetFocus();  // already focused: nothing changes
  EXPECT_EQ(form->Edit1->SelStart(), 7);
  EXPECT_EQ(form->Edit1->SelLength(), 0);
  form->BitBtn1->SetFocus();
  form->Edit1->SetFocus();
  EXPECT_EQ(form->Edit1->SelLength(), 8);
}

TEST_F(DialogRules, NoInputReachesAFormBelowAModalOne) {
  TF_test* second = nullptr;
  app.CreateForm(second);
  user.Modal("F_test", [&](User&) {
    second->Show();
    second->KeyDown(VK_RETURN, 0);
    second->ClickControl(*second->BitBtn1);
    form->SetModalResult(mrOk);
  });
  EXPECT_EQ(form->ShowModal(), mrOk);
  EXPECT_EQ(second->clicks, 0);
}

// ------------------------------------------------------------ application

TEST(Application, ReferenceIsSetBeforeTheCreationHandlerAndFirstFormIsMain) {
  RegisterLayout("F_made", "object F_made: TF_made\n OnCreate = FormCreate\nend");
  struct TF_made;
  static TF_made* ref = nullptr;
  static bool sawReference = false;
  struct TF_made : TForm {
    explicit TF_made(TComponent* o) : TForm(o) {
      LoadLayout("F_made", {{"FormCreate", [this](TObject*) {
                               sawReference = ref == this;
                               throw EConvertError("'20 MB' is not a valid integer value");
                             }}});
    }
  };
  ScriptedUser user;
  user.Box("Kelvora", "'20 MB' is not a valid integer value.", IDOK);
  HeadlessBackend backend(&user);
  TApplication app(backend);
  app.SetTitle("Kelvora");
  app.CreateForm(ref);
  EXPECT_TRUE(sawReference);
  EXPECT_EQ(app.MainForm(), ref);  // main form even though its handler failed
  EXPECT_FALSE(ref->Visible());
  TF_made* second = nullptr;
  user.Box("", "", IDOK);
  app.CreateForm(second);
  EXPECT_EQ(app.MainForm(), ref);
  EXPECT_TRUE(user.Finished());
}

// "." is appended when the last byte sorts after "." in byte order.
TEST(Application, DefaultErrorBoxPeriodRule) {
  const struct { std::string in, out; } cases[] = {
      {"File not found", "File not found."},
      {"I/O error 15", "I/O error 15."},
      {"ends in quote'", "ends in quote'"},
      {"ends in period.", "ends in period."},
      {"ends in minus-", "ends in minus-"},  // '-' (0x2D) < '.'
      {"slash/", "slash/."},                  // '/' (0x2F) > '.'
      {"\xCA\xA7\xB0\xDC", "\xCA\xA7\xB0\xDC."},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(TApplication::AddPeriod(c.in), c.out) << c.in;
}

TEST(Application, FatalBoxNamesTheErrorKindAndModule) {
  ScriptedUser user;
  HeadlessBackend backend(&user);
  TApplication app(backend);
  app.ShowFatal(EInOutError(15), "setup");
  ASSERT_EQ(user.Record().size(), 1u);
  const std::string& r = user.Record()[0];
  EXPECT_TRUE(r.starts_with("fatal [Application Error] Exception EInOutError in module setup at ")) << r;
  EXPECT_TRUE(r.ends_with(".\nI/O error 15.")) << r;
}

TEST(Application, RunWithoutMainFormReturnsAtOnce) {
  ScriptedUser user;
  HeadlessBackend backend(&user);
  TApplication app(backend);
  app.Run();  // an idle loop would throw ScriptError: the script is empty
  EXPECT_FALSE(app.Terminated());
}

// ----------------------------------------------------------------- controls

TEST(Controls, LabelAccelerators) {
  const struct { std::string in, shown; int underline; } cases[] = {
      {"&A ok", "A ok", 0}, {"a&&b", "a&b", -1}, {"x&", "x&", -1}, {"ab&c&d", "abcd", 2}, {"", "", -1},
  };
  for (const auto& c : cases) {
    int u = 99;
    EXPECT_EQ(TLabel::StripAccel(c.in, &u), c.shown) << c.in;
    EXPECT_EQ(u, c.underline) << c.in;
  }
}

TEST(Controls, LabelSizesItselfToItsText) {
  HeadlessBackend backend;
  TApplication app(backend);
  TLabel label(nullptr);
  label.SetCaption("abc");
  const int three = label.Width();
  label.SetCaption("a&bcdef");
  EXPECT_EQ(label.Width(), 2 * three);  // "&" takes no room
  EXPECT_GT(label.Height(), 0);
  label.SetCaption("");  // an empty label stays one blank wide
  EXPECT_EQ(label.Width(), three / 3);
  EXPECT_GT(label.Height(), 0);
}

TEST(Controls, ProgressBarRange) {
  HeadlessBackend backend;
  TApplication app(backend);
  TProgressBar bar(nullptr);
  bar.SetMax(150);
  bar.SetPosition(200);
  EXPECT_EQ(bar.Position(), 150);
  try {
    bar.SetMax(-1);
    FAIL();
  } catch (const EInvalidOperation& e) {
    EXPECT_EQ(e.Message(), "TProgressBar property out of range");
  }
  EXPECT_EQ(bar.Max(), 150);
  bar.SetMax(0);
  bar.SetPosition(bar.Position() + 1);
  EXPECT_EQ(bar.Position(), 0);
}

// Items: letter order, lower case, volume in brackets, network remote
// names; removable drives and drives without medium are never read.
TEST(Controls, DriveSelectorItems) {
  dosfs::testing::TempMachine m(
      "A: removable a FLOPPY\nC: fixed c SYSTEM\nD: cdrom d CDROM\nE: fixed e\nR: ramdisk r RamDisk\n"
      "X: network x \\\\Server\\Share\nY: network y\n",
      "D");  // A: holds a disk, but its label is not read
  HeadlessBackend backend;
  TApplication app(backend);
  TDriveComboBox box(nullptr);
  box.BuildItems();
  std::vector<std::string> texts;
  for (const auto& i : box.Items()) texts.push_back(i.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"a:", "c: [system]", "d: []", "e: []", "r: [ramdisk]",
                                             "x: \\\\server\\share", "y: []"}));
  EXPECT_EQ(box.Drive(), 'c');
  EXPECT_EQ(box.ItemIndex(), 1);
  EXPECT_TRUE(box.WantChar('x'));
  EXPECT_EQ(box.Drive(), 'x');
  box.WantKey(VK_DOWN, 0);
  EXPECT_EQ(box.Drive(), 'y');
  box.WantKey(VK_DOWN, 0);  // stays on the last
  EXPECT_EQ(box.Drive(), 'y');
}

// The drive items appear with the form's first showing, not at creation,
// and are not rebuilt when the drives change later.
TEST(Controls, DriveSelectorItemsAreBuiltAtFirstShowing) {
  dosfs::testing::TempMachine m("C: fixed c SYSTEM\n");
  RegisterLayout("F_drives", "object F_drives: TF\n object D: TDriveComboBox\n end\nend");
  struct TF : TForm {
    explicit TF(TComponent* owner) : TForm(owner) { LoadLayout("F_drives", {}); }
  };
  HeadlessBackend backend;
  TApplication app(backend);
  TF* form = nullptr;
  app.CreateForm(form);
  auto* box = dynamic_cast<TDriveComboBox*>(form->FindComponent("D"));
  ASSERT_NE(box, nullptr);
  EXPECT_FALSE(box->ItemsBuilt());
  form->Show();
  ASSERT_EQ(box->Items().size(), 1u);
  EXPECT_EQ(box->ItemIndex(), 0);
  form->Hide();
  dosfs::testing::TempMachine later("C: fixed c SYSTEM\nD: fixed d DATA\n");
  form->Show();
  EXPECT_EQ(box->Items().size(), 1u);
}

TEST(Layout, ErrorsNameTheProblem) {
  HeadlessBackend backend;
  TApplication app(backend);
  const struct { const char* text; const char* error; } cases[] = {
      {"object F: TF\n Bogus = 1\nend", "Unknown property Bogus"},
      {"object F: TF\n object X: TNothing\n end\nend", "Unknown component class TNothing"},
      {"object F: TF\n Caption = 'open\nend", "unterminated string"},
      {"object F: TF\n OnShow = Missing\nend", "No handler Missing"},
  };
  struct TF : TForm {
    using TForm::LoadLayout;
    using TForm::TForm;
  };
  for (const auto& c : cases) {
    RegisterLayout("bad", c.text);
    TF f(nullptr);
    try {
      f.LoadLayout("bad", {});
      ADD_FAILURE() << c.text;
    } catch (const Exception& e) {
      EXPECT_NE(e.Message().find(c.error), std::string::npos) << e.Message();
    }
  }
}

// With KELVORA_TRACE naming a file, windows, message boxes (in UTF-8) and
// modal results are traced as they happen.
TEST_F(DialogRules, TraceWhenAsked) {
  const std::string file = ::testing::TempDir() + "/trace.txt";
  std::remove(file.c_str());
  setenv("KELVORA_TRACE", file.c_str(), 1);
  user.Modal("F_test", [&](User&) {
    app.MessageBox("\xCC\xE1\xCA\xBE\nline", "Cap", MB_YESNO);
    form->SetModalResult(mrOk);
  }).Box("Cap", "", IDNO);
  form->ShowModal();
  unsetenv("KELVORA_TRACE");
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(),
            "show F_test\nmsgbox [Cap] \xE6\x8F\x90\xE7\xA4\xBA\\nline {Yes/No}\nanswer 7\n"  // UTF-8
            "modal result F_test 1\nhide F_test\n");
}
