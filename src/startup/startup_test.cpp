#include "startup.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "dosfs.h"
#include "installer_harness.h"
#include "s_azh1.h"
#include "s_bj1.h"

using dosfs::testing::TempMachine;

namespace {
const std::string kScript = "[TITLE]\r\nDemo\r\n[DISK]\r\nA B\r\nC D\r\n";
void PressEsc(User& u) { u.Key(VK_ESCAPE); }
}  // namespace

// Without SETUP.INI: one message box, no window, exit 0, current directory
// unchanged. A directory named SETUP.INI does not count.
TEST(Startup, MissingScript) {
  const struct { const char* name; bool directory; } cases[] = {{"no file", false}, {"a directory", true}};
  for (const auto& c : cases) {
    TempMachine m(harness::kDrives);
    if (c.directory) std::filesystem::create_directories(m.Host('A', "SETUP.INI"));
    ScriptedUser user;
    user.Box("错误", "A:\\SETUP.INI 不存在,不能安装！", IDOK);
    EXPECT_EQ(harness::RunFrom(m, user), 0) << c.name;
    EXPECT_EQ(user.Record().size(), 1u) << user.RecordText();
    EXPECT_EQ(dosfs::GetCurrentDir(), "A:\\") << c.name;
  }
}

// The source directory is the current one, upper-cased, with a backslash;
// a lower-case setup.ini is found; drive C becomes current. Esc in the
// install dialog ends the program.
TEST(Startup, SourceDirectoryAndEsc) {
  TempMachine m(harness::kDrives);
  m.Write('C', "setup/disk1/setup.ini", kScript);
  ScriptedUser user;
  user.Modal("F_azh1", [](User& u) {
    EXPECT_TRUE(F_bj1->Visible());
    EXPECT_EQ(F_bj1->Label1->Caption(), "DEMO");
    EXPECT_EQ(dosfs::GetCurrentDir(), "C:\\setup\\disk1");
    PressEsc(u);
  });
  EXPECT_EQ(harness::RunFrom(m, user, 'C', "setup/disk1"), 0);
  EXPECT_EQ(InstallSettings.SourceDir, "C:\\SETUP\\DISK1\\");
  EXPECT_TRUE(user.Finished());
}

// A bad script is reported in the default error box; the install dialog
// still opens, and the background window is first shown by the message loop.
TEST(Startup, BadScriptStillOpensTheDialog) {
  TempMachine m(harness::kDrives);
  m.Write('A', "SETUP.INI", "[SPACE]\r\n20 mb\r\n[DIR]\r\n\\APP\r\n");
  ScriptedUser user;
  bool shownBeforeLoop = true;
  user.Box("Kelvora安装", "'20 MB' is not a valid integer value.", IDOK)
      .Modal("F_azh1", [&](User& u) {
        shownBeforeLoop = F_bj1->Visible();
        u.CloseBox();
      })
      .Idle([](User& u) {
        EXPECT_EQ(&u.Form(), F_bj1);
        EXPECT_TRUE(F_bj1->Visible());
        EXPECT_EQ(F_bj1->Label1->Caption(), " 标题 ");
        u.CloseBox();
      });
  EXPECT_EQ(harness::RunFrom(m, user), 0);
  EXPECT_FALSE(shownBeforeLoop);
  EXPECT_EQ(InstallSettings.DirList[1], "");
  EXPECT_TRUE(user.Finished());
}

// The install dialog's close box ends its showing without ending the
// program: the background window stays alone until it is closed.
TEST(Startup, CloseBoxLeavesTheBackgroundWindow) {
  TempMachine m(harness::kDrives);
  m.Write('A', "SETUP.INI", kScript);
  ScriptedUser user;
  user.Modal("F_azh1", [](User& u) { u.CloseBox(); })
      .Idle([](User& u) {
        EXPECT_FALSE(Application->Terminated());
        EXPECT_FALSE(F_azh1->Visible());
        EXPECT_TRUE(u.Form().AcceptsInput());
        u.Key(VK_RETURN);  // nothing to click: the program keeps running
      })
      .Idle([](User& u) { u.CloseBox(); });
  EXPECT_EQ(harness::RunFrom(m, user), 0);
  EXPECT_EQ(user.Record(), (std::vector<std::string>{"modal F_azh1 -> 2"}));
  EXPECT_TRUE(user.Finished());
}

// Drive C missing from the drive table: the fatal error box, exit 1, no
// window.
TEST(Startup, NoDriveCIsFatal) {
  TempMachine m("A: removable a\n");
  m.Write('A', "SETUP.INI", kScript);
  ScriptedUser user;
  EXPECT_EQ(harness::RunFrom(m, user), 1);
  ASSERT_EQ(user.Record().size(), 1u);
  EXPECT_TRUE(user.Record()[0].starts_with("fatal [Application Error] Exception EInOutError in module setup at "));
  EXPECT_TRUE(user.Record()[0].ends_with(".\nI/O error 15."));
}
