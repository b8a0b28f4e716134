#include "s_azh1.h"

#include "dosfs.h"
#include "s_bj1.h"

TF_azh1* F_azh1 = nullptr;
char TargetDrive = 0;
int32_t InstallOk = 0;

namespace {
// True while a run is under way: the buttons stay live during a run (the
// dialog repaints between its steps), but a second run never starts inside
// the first.
bool RunActive = false;
}  // namespace

TF_azh1::TF_azh1(TComponent* Owner) : TForm(Owner) {
  LoadLayout("F_azh1", {{"BitBtn1Click", [this](TObject* Sender) { BitBtn1Click(Sender); }},
                        {"BitBtn2Click", [this](TObject* Sender) { BitBtn2Click(Sender); }}});
  Panel1 = Find<TPanel>("Panel1");
  BitBtn1 = Find<TBitBtn>("BitBtn1");
  BitBtn2 = Find<TBitBtn>("BitBtn2");
  Panel2 = Find<TPanel>("Panel2");
  ProgressBar1 = Find<TProgressBar>("ProgressBar1");
  Label1 = Find<TLabel>("Label1");
  Panel3 = Find<TPanel>("Panel3");
  DriveComboBox1 = Find<TDriveComboBox>("DriveComboBox1");
  Label2 = Find<TLabel>("Label2");
  Label3 = Find<TLabel>("Label3");
  DdeClientConv1.SetLink("progman", "");
  DdeClientConv1.ConnectMode = ddeManual;
}

void ShowFailure(const std::string& text) {
  Application->MessageBox(text, "提示", MB_OK);
  F_azh1->Panel2->Hide();
  F_azh1->Panel3->Show();
}

void TF_azh1::BitBtn1Click(TObject* /*Sender*/) {
  if (RunActive) return;
  RunActive = true;
  struct EndOfRun {
    ~EndOfRun() { RunActive = false; }
  } endOfRun;

  TargetDrive = static_cast<char>(DriveComboBox1->Drive());
  if (TargetDrive >= 'a' && TargetDrive <= 'z') TargetDrive = static_cast<char>(TargetDrive - 0x20);
  if (TargetDrive == 'A' || TargetDrive == 'B') {
    Panel2->Hide();
    Panel3->Show();
    Application->MessageBox("A,B 驱动器不能安装！", "提示", MB_OK);
    DriveComboBox1->SetFocus();
    return;
  }
  InstallOk = 1;

  ProgressBar1->SetPosition(0);
  Label2->SetCaption("");
  Panel3->Hide();
  Panel2->Show();
  Label1->SetCaption("系统正在检测，请稍等...");
  Application->ProcessMessages();

  ProgressBar1->SetMax(InstallSettings.DiskCounter - 3);

  const int64_t free = dosfs::DiskFree(TargetDrive);
  const int64_t required = static_cast<int64_t>(InstallSettings.SpaceMB) * 1048576;
  if (free < required) {
    ShowFailure(PutMessage(std::string(1, TargetDrive) + " 盘没有足够的空间！"));
    return;
  }

  CreateDirectories();
  if (!CopyDiskFiles()) return;
  WriteEngineSettings();
  CreateProgramGroup();

  if (InstallOk == 1) {
    Application->MessageBox("系统安装成功！", "提示", MB_OK);
    Application->Terminate();
  } else {
    ShowFailure("系统安装失败！");
  }
}

void TF_azh1::BitBtn2Click(TObject* /*Sender*/) { Application->Terminate(); }
