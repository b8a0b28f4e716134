#include <gtest/gtest.h>

#include <filesystem>

#include "dosfs.h"
#include "installer_harness.h"
#include "s_azh1.h"
#include "s_bj1.h"
#include "s_tsh1.h"

namespace fs = std::filesystem;

namespace {

// The program with `script` read, drive C chosen, a run under way.
struct Walk {
  explicit Walk(const std::string& script) : p(user, script) {
    TargetDrive = 'C';
    InstallOk = 1;
    F_azh1->ProgressBar1->SetMax(150);
    F_azh1->ProgressBar1->SetPosition(0);
  }
  ScriptedUser user;
  harness::Program p;
  dosfs::testing::TempMachine& m = p.machine;
  int Position() const { return F_azh1->ProgressBar1->Position(); }
};

const std::string kTwoDisks =
    "[DIR]\r\n\\APP\r\n[DISK]\r\nDISK1.TAG\r\nX.TXT \\APP\\X.TXT\r\nDISK2.TAG\r\nY.TXT   \\APP\\MY FILE.TXT  \r\n";

void PutTwoDisks(const dosfs::testing::TempMachine& m) {
  m.Write('A', "disk1.tag", "");
  m.Write('A', "x.txt", "first");
  m.Write('A', "DISK2/disk2.tag", "");
  m.Write('A', "DISK2/y.txt", "second");
}

}  // namespace

// The first marker is found where the program started; the second is asked
// for with its number, the user types the path, and the walk goes on there.
TEST(CopyDiskFiles, TwoDiskWalk) {
  Walk w(kTwoDisks);
  PutTwoDisks(w.m);
  w.user.Modal("F_tsh1", [](User& u) {
    EXPECT_EQ(F_tsh1->Label3->Caption(), "2");
    EXPECT_EQ(F_tsh1->Edit1->Text(), "A:\\");
    EXPECT_EQ(F_tsh1->ActiveControl(), F_tsh1->Edit1);
    EXPECT_EQ(F_tsh1->Edit1->SelLength(), 3);  // typing replaces the path
    EXPECT_EQ(F_azh1->Label1->Caption(), "从 A:\\X.TXT");
    u.Type("a:\\disk2");
    u.Key(VK_RETURN);
  });
  CreateDirectories();
  EXPECT_TRUE(CopyDiskFiles());
  EXPECT_EQ(w.m.Read('C', "APP/X.TXT"), "first");
  EXPECT_EQ(w.m.Read('C', "APP/MY FILE.TXT"), "second");  // split at the first blank, trimmed
  EXPECT_EQ(InstallSettings.SourceDir, "A:\\DISK2\\");
  EXPECT_EQ(F_azh1->Label1->Caption(), "从 A:\\DISK2\\Y.TXT");
  EXPECT_EQ(F_azh1->Label2->Caption(), "到 C:\\APP\\MY FILE.TXT");
  EXPECT_EQ(w.Position(), 2);  // copy lines only
  EXPECT_EQ(InstallOk, 1);
  EXPECT_TRUE(w.user.Finished());
}

// A wrong path brings the prompt back with the text as typed; focus moving
// back into the field selects it for the right one.
TEST(CopyDiskFiles, WrongPathThenRightOne) {
  Walk w(kTwoDisks);
  PutTwoDisks(w.m);
  w.user
      .Modal("F_tsh1",
             [](User& u) {
               u.Type("a:\\nowhere");
               u.Key(VK_RETURN);
             })
      .Modal("F_tsh1", [](User& u) {
        EXPECT_EQ(F_tsh1->Label3->Caption(), "2");
        EXPECT_EQ(F_tsh1->Edit1->Text(), "a:\\nowhere");
        u.Key(VK_TAB, ssShift);
        u.Key(VK_TAB);
        u.Type("A:\\DISK2\\");
        u.Key('A', ssAlt);
      });
  CreateDirectories();
  EXPECT_TRUE(CopyDiskFiles());
  EXPECT_EQ(w.m.Read('C', "APP/MY FILE.TXT"), "second");
  EXPECT_TRUE(w.user.Finished());
}

TEST(CopyDiskFiles, PromptLeftAbandonsTheWalk) {
  const struct { const char* name; std::function<void(User&)> leave; } cases[] = {
      {"Esc", [](User& u) { u.Key(VK_ESCAPE); }},
      {"Exit button", [](User& u) { u.Click("BitBtn2"); }},
      {"close box", [](User& u) { u.CloseBox(); }},
  };
  for (const auto& c : cases) {
    Walk w(kTwoDisks);
    PutTwoDisks(w.m);
    fs::remove(w.m.Host('A', "DISK2/disk2.tag"));
    w.user.Modal("F_tsh1", c.leave).Box("提示", "系统安装失败！", IDOK);
    F_azh1->Panel3->Hide();
    F_azh1->Panel2->Show();
    CreateDirectories();
    EXPECT_FALSE(CopyDiskFiles()) << c.name;
    EXPECT_EQ(w.m.Read('C', "APP/X.TXT"), "first") << c.name;
    EXPECT_FALSE(fs::exists(w.m.Host('C', "APP/MY FILE.TXT"))) << c.name;
    EXPECT_TRUE(F_azh1->Panel3->Visible()) << c.name;  // back to drive selection
    EXPECT_FALSE(F_azh1->Panel2->Visible()) << c.name;
    EXPECT_TRUE(w.user.Finished()) << c.name;
  }
}

// Declining to overwrite keeps the old file and still advances the bar.
TEST(CopyDiskFiles, OverwriteQuestion) {
  const struct { int answer; const char* content; } cases[] = {{IDNO, "old"}, {IDYES, "new"}};
  for (const auto& c : cases) {
    Walk w("[DISK]\r\nX.TXT \\APP\\X.TXT\r\n");
    w.m.Write('A', "X.TXT", "new");
    w.m.Write('C', "APP/X.TXT", "old");
    w.user.Box("提示", "C:\\APP\\X.TXT 文件已存在，覆盖吗？", c.answer);
    EXPECT_TRUE(CopyDiskFiles());
    EXPECT_EQ(w.m.Read('C', "APP/X.TXT"), c.content);
    EXPECT_EQ(w.Position(), 1);
    EXPECT_EQ(InstallOk, 1);
    EXPECT_TRUE(w.user.Finished());
  }
}

// A failed copy asks Abort/Retry/Ignore: Retry tries again, Ignore marks the
// run failed and goes on with the next line.
TEST(CopyDiskFiles, RetryThenIgnore) {
  Walk w("[DISK]\r\nGONE.TXT \\APP\\GONE.TXT\r\nX.TXT \\APP\\X.TXT\r\n");
  fs::create_directories(w.m.Host('C', "APP"));
  w.m.Write('A', "X.TXT", "x");
  w.user.Box("提示", "A:\\GONE.TXT不能正常安装！", IDRETRY).Box("提示", "A:\\GONE.TXT不能正常安装！", IDIGNORE);
  EXPECT_TRUE(CopyDiskFiles());
  EXPECT_EQ(InstallOk, 0);
  EXPECT_EQ(w.m.Read('C', "APP/X.TXT"), "x");
  EXPECT_EQ(w.Position(), 2);
  EXPECT_TRUE(w.user.Finished());
}

TEST(CopyDiskFiles, AbortOnTheThirdLine) {
  Walk w("[DIR]\r\n\\APP\r\n[DISK]\r\nA.TXT \\APP\\A\r\nB.TXT \\APP\\B\r\nGONE.TXT \\APP\\C\r\nD.TXT \\APP\\D\r\n");
  for (const char* f : {"A.TXT", "B.TXT", "D.TXT"}) w.m.Write('A', f, f);
  w.user.Box("提示", "A:\\GONE.TXT不能正常安装！", IDABORT).Box("提示", "系统安装失败！", IDOK);
  CreateDirectories();
  EXPECT_FALSE(CopyDiskFiles());
  EXPECT_EQ(w.m.Read('C', "APP/A"), "A.TXT");
  EXPECT_EQ(w.m.Read('C', "APP/B"), "B.TXT");
  EXPECT_FALSE(fs::exists(w.m.Host('C', "APP/D")));
  EXPECT_EQ(w.Position(), 2);
  EXPECT_TRUE(w.user.Finished());
}

// A marker already present brings no prompt but still counts its disk.
TEST(CopyDiskFiles, MarkersPresentCountDisks) {
  Walk w("[DISK]\r\nD1\r\nD2\r\nD3\r\n");
  for (const char* f : {"D1", "D2"}) w.m.Write('A', f, "");
  w.user.Modal("F_tsh1", [](User& u) {
    EXPECT_EQ(F_tsh1->Label3->Caption(), "3");
    u.Key(VK_ESCAPE);
  }).Box("提示", "系统安装失败！", IDOK);
  EXPECT_FALSE(CopyDiskFiles());
  EXPECT_EQ(w.Position(), 0);  // markers never move the bar
  EXPECT_TRUE(w.user.Finished());
}

// An emptied path field makes the source the root of the current drive.
TEST(CopyDiskFiles, EmptyPathMeansTheCurrentDrivesRoot) {
  Walk w("[DISK]\r\nD1\r\n");
  w.m.Write('C', "D1", "");
  w.user.Modal("F_tsh1", [](User& u) {
    u.Key(VK_BACK);
    u.Key(VK_RETURN);
  });
  EXPECT_TRUE(CopyDiskFiles());
  EXPECT_EQ(InstallSettings.SourceDir, "\\");
}

// Nested directories are made outermost first; existing ones are left;
// ".." never leaves the drive; names match without regard to case.
TEST(CreateDirectories, NestedClampedAndCaseInsensitive) {
  Walk w("[DIR]\r\n\\APP\\DATA\\DEEP\r\n\\Old\\NEW\r\n\\..\\..\\ESCAPE\\\r\n");
  fs::create_directories(w.m.Host('C', "old"));
  w.m.Write('C', "old/keep.txt", "k");
  CreateDirectories();
  EXPECT_TRUE(fs::is_directory(w.m.Host('C', "APP/DATA/DEEP")));
  EXPECT_TRUE(fs::is_directory(w.m.Host('C', "old/NEW")));  // the existing "old" is used
  EXPECT_FALSE(fs::exists(w.m.Host('C', "OLD")));
  EXPECT_TRUE(fs::is_directory(w.m.Host('C', "ESCAPE")));
  EXPECT_FALSE(fs::exists(fs::path(w.m.root()) / "ESCAPE"));
  EXPECT_EQ(InstallSettings.ListCounter, 4);
}

// A full table ends after its last slot; paths beyond the 100-byte buffers
// and texts beyond MessageBuffer are passed whole.
TEST(CopyDiskFiles, FullTableAndLongPaths) {
  const std::string deep = "\\" + std::string(60, 'D') + "\\" + std::string(60, 'E');
  std::string script = "[DIR]\r\n" + deep + "\r\n[DISK]\r\n";
  for (int i = 1; i <= 50; ++i) script += "X.TXT " + deep + "\\F" + std::to_string(i) + "\r\n";
  Walk w(script);
  w.m.Write('A', "X.TXT", "x");
  w.m.Write('C', deep.substr(1, 60) + "/" + std::string(60, 'E') + "/F50", "old");
  w.user.Box("提示", "C:" + deep + "\\F50 文件已存在，覆盖吗？", IDYES);
  CreateDirectories();
  EXPECT_TRUE(CopyDiskFiles());
  EXPECT_EQ(w.Position(), 50);
  EXPECT_EQ(w.m.Read('C', deep.substr(1, 60) + "/" + std::string(60, 'E') + "/F50"), "x");
}

// The expanding copy: plain files byte for byte, compressed ones expanded,
// every failure reported as false.
TEST(ExpandCopy, Outcomes) {
  ScriptedUser user;
  harness::Program p(user);
  auto& m = p.machine;
  fs::create_directories(m.Host('C', "APP"));
  // "ab" as the compression utility writes it: header, then a flag byte
  // with two literals.
  const std::string szdd("SZDD\x88\xF0\x27\x33" "A" "\0" "\x02\0\0\0" "\x03" "ab", 17);
  m.Write('A', "PLAIN.EX_", "plain bytes");
  m.Write('A', "PACKED.TXT", szdd);
  m.Write('A', "EMPTY", "");
  m.Write('C', "APP/OLD", "a much longer old content");
  const struct { const char* src; const char* name; bool ok; const char* result; } cases[] = {
      {"A:\\PLAIN.EX_", "P", true, "plain bytes"},  // the name does not decide
      {"A:\\PACKED.TXT", "Q", true, "ab"},
      {"A:\\EMPTY", "E", true, ""},
      {"A:\\PLAIN.EX_", "OLD", true, "plain bytes"},  // replaced, not appended
      {"A:\\MISSING", "M", false, ""},               // an empty destination stays
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExpandCopy(c.src, ("C:\\APP\\" + std::string(c.name)).c_str()), c.ok) << c.src;
    EXPECT_TRUE(fs::is_regular_file(m.Host('C', "APP/" + std::string(c.name)))) << c.name;
    EXPECT_EQ(m.Read('C', "APP/" + std::string(c.name)), c.result) << c.name;
  }
  EXPECT_FALSE(ExpandCopy("A:\\PLAIN.EX_", "C:\\NODIR\\X"));
  EXPECT_FALSE(fs::exists(m.Host('C', "NODIR")));
}
