// toolkit_fltk_demo: the installer's three windows on the FLTK backend, with
// handlers that only report what happens, and the message boxes of every
// button set. A person can look at the windows without running an install;
// the screenshot checks drive it.
//
//   toolkit_fltk_demo background [TITLE]   the background window alone
//   toolkit_fltk_demo install [progress|disk]
//                                          the install dialog over it; with
//                                          disk, Install shows the progress
//                                          and then the disk prompt over it
//   toolkit_fltk_demo disk [NUMBER]        the disk prompt over it
//   toolkit_fltk_demo box SET              SET: ok okcancel abortretryignore
//                                          yesnocancel yesno retrycancel
//                                          error fatal
//
// Drives come from the machine root (KELVORA_MACHINE). Texts on the command
// line are UTF-8. Every event and result is printed on stdout, one a line.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "fltk_backend.h"
#include "gbtext.h"
#include "resources.h"
#include "toolkit.h"

namespace {

std::string g_title = "Kelvora安装演示";
bool g_progress = false;
bool g_diskOverInstall = false;
std::string g_disk = "2";

void Say(const std::string& gb) {
  std::printf("%s\n", gbtext::ToUtf8(gb).c_str());
  std::fflush(stdout);
}

class TF_bj1 : public TForm {
 public:
  explicit TF_bj1(TComponent* owner) : TForm(owner) {
    LoadLayout("F_bj1", {{"FormCreate", [this](TObject*) {
                            Find<TLabel>("Label1")->SetCaption(g_title);
                            Show();
                          }}});
  }
};

class TF_tsh1 : public TForm {
 public:
  using TForm::Find;
  explicit TF_tsh1(TComponent* owner) : TForm(owner) {
    LoadLayout("F_tsh1", {{"FormShow", [this](TObject*) { Find<TEdit>("Edit1")->SetFocus(); }}});
  }
};

class TF_azh1 : public TForm {
 public:
  explicit TF_azh1(TComponent* owner) : TForm(owner) {
    LoadLayout("F_azh1", {{"BitBtn1Click", [this](TObject*) { BitBtn1Click(); }},
                          {"BitBtn2Click", [](TObject*) {
                             Say("BitBtn2Click");
                             Application->Terminate();
                           }}});
  }
  // Shows the progress panel with texts as a run shows them: a name with
  // "&" and a destination too long for the panel.
  void ShowProgress() {
    Find<TPanel>("Panel3")->Hide();
    Find<TPanel>("Panel2")->Show();
    Find<TLabel>("Label1")->SetCaption("从 A:\\DATA\\R&D报告.DB");
    Find<TLabel>("Label2")->SetCaption("到 C:\\KELVORA\\DATABASE\\TABLES\\ARCHIVE\\1998\\CUSTOMERS.DB");
    Find<TProgressBar>("ProgressBar1")->SetPosition(60);
  }

 private:
  void BitBtn1Click() {
    Say("BitBtn1Click drive " + std::string(1, Find<TDriveComboBox>("DriveComboBox1")->Drive()));
    ShowProgress();
    if (!g_diskOverInstall) return;
    // As a run asks for the next disk: from inside the click, over the dialog.
    Application->ProcessMessages();
    if (!prompt_) Application->CreateForm(prompt_);
    prompt_->Find<TLabel>("Label3")->SetCaption("2");
    prompt_->Find<TEdit>("Edit1")->SetText("A:\\DISK1\\");
    Say("disk prompt result " + std::to_string(prompt_->ShowModal()));
  }
  TF_tsh1* prompt_ = nullptr;
};

int Box(const std::string& set) {
  static const std::map<std::string, int> sets = {
      {"ok", MB_OK},       {"okcancel", MB_OKCANCEL}, {"abortretryignore", MB_ABORTRETRYIGNORE},
      {"yesnocancel", MB_YESNOCANCEL}, {"yesno", MB_YESNO}, {"retrycancel", MB_RETRYCANCEL}};
  if (set == "error") {
    Application->ShowException(EInOutError(2));
    return 0;
  }
  if (set == "fatal") {
    Application->ShowFatal(EInOutError(15), "SETUP.EXE");
    return 1;
  }
  auto it = sets.find(set);
  if (it == sets.end()) return 2;
  const int answer = Application->MessageBox("文件 C:\\KELVORA\\DATA.DB 已存在，\n是否覆盖？", "提示", it->second);
  std::printf("answer %d\n", answer);
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: toolkit_fltk_demo background [TITLE] | install [progress|disk] | disk [NUMBER] | box SET\n"
               "  SET: ok okcancel abortretryignore yesnocancel yesno retrycancel error fatal\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string mode = argv[1];
  const std::string arg = argc > 2 ? argv[2] : "";
  auto backend = MakeFltkBackend();
  TApplication app(*backend);
  app.SetTitle("Kelvora安装");
  resources::RegisterLayouts();

  if (mode == "box") return Box(arg);
  if (mode == "background") {
    if (argc > 2) g_title = gbtext::FromUtf8(arg);
  } else if (mode == "install") {
    g_progress = arg == "progress";
    g_diskOverInstall = arg == "disk";
  } else if (mode == "disk") {
    if (!arg.empty()) g_disk = arg;
  } else {
    return Usage();
  }

  TF_bj1* F_bj1 = nullptr;
  app.CreateForm(F_bj1);
  if (mode == "install") {
    TF_azh1* F_azh1 = nullptr;
    app.CreateForm(F_azh1);
    if (g_progress) F_azh1->ShowProgress();
    std::printf("modal result %d\n", F_azh1->ShowModal());
    std::fflush(stdout);
  } else if (mode == "disk") {
    TF_tsh1* F_tsh1 = nullptr;
    app.CreateForm(F_tsh1);
    F_tsh1->Find<TLabel>("Label3")->SetCaption(gbtext::FromUtf8(g_disk));
    F_tsh1->Find<TEdit>("Edit1")->SetText("A:\\");
    std::printf("modal result %d\n", F_tsh1->ShowModal());
    Say("Edit1 " + F_tsh1->Find<TEdit>("Edit1")->Text());
    Application->Terminate();  // nothing more to show
  }
  app.Run();
  Say("end");
  return 0;
}
