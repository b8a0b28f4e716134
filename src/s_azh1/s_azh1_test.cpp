// Whole installations, driven through the install dialog by a scripted user.
#include "s_azh1.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "installer_harness.h"
#include "registry.h"
#include "s_bj1.h"
#include "s_tsh1.h"

namespace fs = std::filesystem;
using dosfs::testing::TempMachine;

namespace {

const std::string kScript =
    "[TITLE]\r\n演示 Demo\r\n[SPACE]\r\n0\r\n[DIR]\r\n\\APP\r\n\\APP\\DATA\r\n"
    "[GROUP]\r\nDemo\r\nDemo App\r\n\\APP\\DEMO.EXE\r\n"
    "[DISK]\r\nDISK1.TAG\r\nDEMO.EXE \\APP\\DEMO.EXE\r\nDISK2.TAG\r\nDATA.DB \\APP\\DATA\\DATA.DB\r\n";

// A two-disk distribution: disk 1 in A:\, disk 2 in A:\DISK2.
void PutDistribution(TempMachine& m, const std::string& script = kScript) {
  m.Write('A', "SETUP.INI", script);
  m.Write('A', "DISK1.TAG", "");
  m.Write('A', "DEMO.EXE", "program");
  m.Write('A', "DISK2/DISK2.TAG", "");
  m.Write('A', "DISK2/DATA.DB", "data");
}

std::string ReadValue(const std::string& key, const std::string& name) {
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  reg.OpenKey(key, false);
  return reg.ReadString(name);
}

void Install(User& u) { u.Click("BitBtn1"); }
// The user selects the path (focus out of the field and back in) and types
// disk 2's.
void InsertDisk2(User& u) {
  u.Key(VK_TAB);
  u.Key(VK_TAB, ssShift);
  u.Type("A:\\DISK2");
  u.Key(VK_RETURN);
}

}  // namespace

// The typical road: two disks, success, the application ends.
TEST(InstallRun, SuccessOverTwoDisks) {
  TempMachine m(harness::kDrives);
  PutDistribution(m);
  ScriptedUser user;
  user.Modal("F_azh1", [](User& u) {
        EXPECT_TRUE(F_azh1->Panel3->Visible());
        EXPECT_FALSE(F_azh1->Panel2->Visible());
        EXPECT_EQ(F_azh1->DriveComboBox1->Drive(), 'c');
        EXPECT_EQ(u.Form().ActiveControl(), F_azh1->BitBtn1);
        u.Key(VK_RETURN);
      })
      .Modal("F_tsh1", InsertDisk2)
      .Box("提示", "系统安装成功！", IDOK);
  EXPECT_EQ(harness::RunFrom(m, user), 0);
  EXPECT_EQ(m.Read('C', "APP/DEMO.EXE"), "program");
  EXPECT_EQ(m.Read('C', "APP/DATA/DATA.DB"), "data");
  EXPECT_EQ(ReadValue("\\software\\borland\\blw32", "BLAPIPATH"), "C:\\APP");
  EXPECT_EQ(ReadValue("\\software\\borland\\database engine\\settings\\system\\init", "LANGDRIVER"), "china");
  EXPECT_EQ(user.Record().back(), "modal F_azh1 -> 2");
  EXPECT_TRUE(user.Finished());
}

// Drives A and B are refused before anything happens; the selector gets the
// focus back.
TEST(InstallRun, FloppyDrivesRefused) {
  for (char drive : {'a', 'b'}) {
    TempMachine m(harness::kDrives);
    PutDistribution(m);
    ScriptedUser user;
    user.Modal("F_azh1",
               [&](User& u) {
                 F_azh1->DriveComboBox1->SetDrive(drive);
                 Install(u);
               })
        .Box("提示", "A,B 驱动器不能安装！", IDOK)
        .Modal("F_azh1", [](User& u) {
          EXPECT_EQ(u.Form().ActiveControl(), F_azh1->DriveComboBox1);
          EXPECT_TRUE(F_azh1->Panel3->Visible());
          u.Key(VK_ESCAPE);
        });
    EXPECT_EQ(harness::RunFrom(m, user), 0);
    EXPECT_FALSE(fs::exists(m.Host('C', "APP")));
  }
}

// Free space: a drive without enough room, or one that cannot be queried
// (no medium), is refused before anything is created.
TEST(InstallRun, NotEnoughSpace) {
  const struct { const char* space; char drive; const char* message; } cases[] = {
      {"$7FFFFFFF", 'c', "C 盘没有足够的空间！"},  // 2 PiB: compared as a 64-bit count
      {"0", 'f', "F 盘没有足够的空间！"},          // -1 < 0
  };
  for (const auto& c : cases) {
    TempMachine m(harness::kDrives, "F");
    std::string script = kScript;
    script.replace(script.find("[SPACE]\r\n0"), 10, std::string("[SPACE]\r\n") + c.space);
    PutDistribution(m, script);
    ScriptedUser user;
    user.Modal("F_azh1",
               [&](User& u) {
                 F_azh1->DriveComboBox1->SetDrive(c.drive);
                 u.Key('A', ssAlt);
               })
        .Box("提示", c.message, IDOK)
        .Modal("F_azh1", [](User& u) {
          EXPECT_TRUE(F_azh1->Panel3->Visible());
          EXPECT_FALSE(F_azh1->Panel2->Visible());
          u.Key(VK_ESCAPE);
        });
    EXPECT_EQ(harness::RunFrom(m, user), 0) << c.message;
    EXPECT_FALSE(fs::exists(m.Host('C', "APP"))) << c.message;
    EXPECT_TRUE(user.Finished());
  }
}

// A [DISK] section of one line gives the progress bar a maximum below 0:
// the error box shows it and the progress panel stays on view with the
// checking text; nothing was created.
TEST(InstallRun, ProgressRangeError) {
  TempMachine m(harness::kDrives);
  PutDistribution(m, "[DIR]\r\n\\APP\r\n[DISK]\r\nDEMO.EXE \\APP\\DEMO.EXE\r\n");
  ScriptedUser user;
  user.Modal("F_azh1", Install)
      .Box("Kelvora安装", "TProgressBar property out of range.", IDOK)
      .Modal("F_azh1", [](User& u) {
        EXPECT_TRUE(F_azh1->Panel2->Visible());
        EXPECT_EQ(F_azh1->Label1->Caption(), "系统正在检测，请稍等...");
        u.Key(VK_ESCAPE);
      });
  EXPECT_EQ(harness::RunFrom(m, user), 0);
  EXPECT_FALSE(fs::exists(m.Host('C', "APP")));
  EXPECT_TRUE(user.Finished());
}

// An ignored failed copy: the registry settings are still made, then the run
// reports failure and returns to drive selection.
TEST(InstallRun, IgnoreEndsInFailureAfterRegistration) {
  TempMachine m(harness::kDrives);
  PutDistribution(m);
  fs::remove(m.Host('A', "DEMO.EXE"));
  ScriptedUser user;
  user.Modal("F_azh1", Install)
      .Box("提示", "A:\\DEMO.EXE不能正常安装！", IDIGNORE)
      .Modal("F_tsh1", InsertDisk2)
      .Box("提示", "系统安装失败！", IDOK)
      .Modal("F_azh1", [](User& u) {
        EXPECT_TRUE(F_azh1->Panel3->Visible());
        EXPECT_EQ(InstallOk, 0);
        u.Key(VK_ESCAPE);
      });
  EXPECT_EQ(harness::RunFrom(m, user), 0);
  EXPECT_EQ(ReadValue("\\software\\borland\\database engine", "DLLPATH"), "C:\\APP");
  EXPECT_TRUE(user.Finished());
}

// Abort returns to drive selection; Install works again and the second run
// repeats the whole walk from the source directory the first one left.
TEST(InstallRun, AbortThenSecondRun) {
  TempMachine m(harness::kDrives);
  PutDistribution(m);
  fs::remove(m.Host('A', "DISK2/DATA.DB"));
  ScriptedUser user;
  user.Modal("F_azh1", Install)
      .Modal("F_tsh1", InsertDisk2)
      .Box("提示", "A:\\DISK2\\DATA.DB不能正常安装！", IDABORT)
      .Box("提示", "系统安装失败！", IDOK)
      .Modal("F_azh1",
             [&](User& u) {
               EXPECT_TRUE(F_azh1->Panel3->Visible());
               EXPECT_EQ(F_azh1->DriveComboBox1->Drive(), 'c');
               m.Write('A', "DISK2/DATA.DB", "data");
               Install(u);
             })
      // The first marker is looked for in A:\DISK2\ now: the prompt shows 1.
      .Modal("F_tsh1",
             [](User& u) {
               EXPECT_EQ(F_tsh1->Label3->Caption(), "1");
               EXPECT_EQ(F_tsh1->Edit1->Text(), "A:\\DISK2\\");
               u.Key(VK_TAB);  // to OK, then back into the field: all selected
               u.Key(VK_TAB, ssShift);
               u.Type("a:\\");
               u.Key(VK_RETURN);
             })
      .Box("提示", "C:\\APP\\DEMO.EXE 文件已存在，覆盖吗？", IDYES)
      .Modal("F_tsh1", InsertDisk2)
      // The failed copy left an empty destination behind.
      .Box("提示", "C:\\APP\\DATA\\DATA.DB 文件已存在，覆盖吗？", IDYES)
      .Box("提示", "系统安装成功！", IDOK);
  EXPECT_EQ(harness::RunFrom(m, user), 0);
  EXPECT_EQ(m.Read('C', "APP/DATA/DATA.DB"), "data");
  EXPECT_TRUE(user.Finished()) << user.RecordText();
}

// Enter on the Exit button, and Esc, end the application.
TEST(InstallRun, ExitKeys) {
  const struct { const char* name; std::function<void(User&)> keys; } cases[] = {
      {"Esc", [](User& u) { u.Key(VK_ESCAPE); }},
      {"Enter on Exit", [](User& u) { u.Key(VK_TAB); u.Key(VK_RETURN); }},
      {"Space on Exit", [](User& u) { u.Key(VK_RIGHT); u.Key(VK_SPACE); }},
  };
  for (const auto& c : cases) {
    TempMachine m(harness::kDrives);
    PutDistribution(m);
    ScriptedUser user;
    user.Modal("F_azh1", c.keys);
    EXPECT_EQ(harness::RunFrom(m, user), 0) << c.name;
    EXPECT_EQ(user.Record(), (std::vector<std::string>{"modal F_azh1 -> 2"})) << c.name;
    EXPECT_FALSE(fs::exists(m.Host('C', "APP"))) << c.name;
  }
}

// Alt+A starts a run from the drive selector.
TEST(InstallRun, AltAFromTheSelector) {
  TempMachine m(harness::kDrives);
  PutDistribution(m);
  ScriptedUser user;
  user.Modal("F_azh1",
             [](User& u) {
               u.Key(VK_TAB, ssShift);
               ASSERT_EQ(u.Form().ActiveControl(), F_azh1->DriveComboBox1);
               u.Type("e");  // selects drive E
               u.Key('A', ssAlt);
             })
      .Modal("F_tsh1", InsertDisk2)
      .Box("提示", "系统安装成功！", IDOK);
  EXPECT_EQ(harness::RunFrom(m, user), 0);
  EXPECT_EQ(m.Read('E', "APP/DATA/DATA.DB"), "data");
}

// Exit pressed while the run lets messages through: the run goes on, and
// the disk prompt reached afterwards returns Cancel at once.
TEST(InstallRun, DiskPromptAfterTerminateReturnsCancel) {
  TempMachine m(harness::kDrives);
  PutDistribution(m);
  ScriptedUser user;
  user.Modal("F_azh1", Install)
      .Pending([](User& u) { u.Key(VK_ESCAPE); })
      .Box("提示", "系统安装失败！", IDOK);
  EXPECT_EQ(harness::RunFrom(m, user), 0);
  EXPECT_EQ(user.Record(), (std::vector<std::string>{"modal F_tsh1 -> 2", "box [提示] 系统安装失败！ -> 1",
                                                     "modal F_azh1 -> 2"}));
  EXPECT_EQ(m.Read('C', "APP/DEMO.EXE"), "program");
}

// Install pressed again while a run is under way starts no second run.
TEST(InstallRun, NestedInstallIgnored) {
  TempMachine m(harness::kDrives);
  PutDistribution(m);
  ScriptedUser user;
  user.Modal("F_azh1", Install)
      .Pending([](User& u) {
        u.Key('A', ssAlt);
        u.Key(VK_RETURN);
        u.Click("BitBtn1");
      })
      .Modal("F_tsh1", InsertDisk2)
      .Box("提示", "系统安装成功！", IDOK);
  EXPECT_EQ(harness::RunFrom(m, user), 0);
  EXPECT_TRUE(user.Finished());
}
