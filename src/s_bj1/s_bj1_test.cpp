#include "s_bj1.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "installer_harness.h"

namespace {

const std::string kTitle = "Kelvora安装";

struct Read {
  TInstallSettings s;
  std::string label;
  bool shown = false;
};

// Reads `script` as the background window's creation does; `error` is the
// default error box's text the reading must end with ("" for none).
Read ReadScript(const std::string& script, const std::string& error = "") {
  ScriptedUser user;
  if (!error.empty()) user.Box(kTitle, error, IDOK);
  harness::Program p(user, script);
  EXPECT_TRUE(user.Finished()) << script;
  return {InstallSettings, F_bj1->Label1->Caption(), F_bj1->Visible()};
}

}  // namespace

// The worked example: a script with CR LF line ends, every section.
TEST(ScriptReader, ReadsEverySection) {
  Read r = ReadScript(
      "[title]\r\nSales System 2.0\r\n\r\n[SPACE]\r\n12\r\n[DIR]\r\n\\sales\r\n\\sales\\data\r\n"
      "[GROUP]\r\nSales\r\nSales System\r\n\\SALES\\SALES.EXE\r\n[DISK]\r\nSALES.EX_ \\SALES\\SALES.EXE\r\n"
      "DISK2.TAG\r\nDATA.DB_ \\SALES\\DATA\\DATA.DB\r\n");
  EXPECT_EQ(r.s.SetupTitle, "SALES SYSTEM 2.0");
  EXPECT_EQ(r.s.SpaceMB, 12);
  EXPECT_EQ(r.s.DirList[1], "\\SALES");
  EXPECT_EQ(r.s.DirList[2], "\\SALES\\DATA");
  EXPECT_EQ(r.s.DirList[3], "");
  EXPECT_EQ(r.s.GroupInfo[1], "SALES");
  EXPECT_EQ(r.s.GroupInfo[2], "SALES SYSTEM");
  EXPECT_EQ(r.s.GroupInfo[3], "\\SALES\\SALES.EXE");
  EXPECT_EQ(r.s.DiskList[1], "SALES.EX_ \\SALES\\SALES.EXE");
  EXPECT_EQ(r.s.DiskList[2], "DISK2.TAG");
  EXPECT_EQ(r.s.DiskList[3], "DATA.DB_ \\SALES\\DATA\\DATA.DB");
  EXPECT_EQ(r.s.ListCounter, 4);
  EXPECT_EQ(r.s.DiskCounter, 4);
  EXPECT_EQ(r.s.CurrentSection, "[DISK]");
  EXPECT_EQ(r.label, "SALES SYSTEM 2.0");
  EXPECT_TRUE(r.shown);
}

// Line ends, Ctrl-Z, trimming, upper-casing and header recognition, seen
// through the title (the last [TITLE] value wins) and the counters.
TEST(ScriptReader, LineAndHeaderRules) {
  const struct { const char* name; std::string script; std::string title; int32_t dirs; } cases[] = {
      {"empty script", "", "", 0},
      {"blank lines only", " \r\n\t\r\n", "", 0},
      {"CR alone ends a line", "[TITLE]\rA\rB", "B", 0},
      {"LF-only file is one line: no header", "[TITLE]\nA\n[DIR]\n\\X\n", "", 0},
      {"Ctrl-Z ends the file mid-line", "[TITLE]\r\nAB\x1A" "CD\r\nEF\r\n", "AB", 0},
      {"lines before the first header are ignored", "X\r\n\\Y\r\n[DIR]\r\n\\D\r\n", "", 2},
      {"headers in any case, padded with blanks", "  [title] \r\nx\r\n\t[Dir]\r\n\\d\r\n", "X", 2},
      {"[ TITLE ] is a value line", "[TITLE]\r\n[ TITLE ]\r\n", "[ TITLE ]", 0},
      {"[TITLE] ; text is a value line", "[TITLE]\r\n[TITLE] ; text\r\n", "[TITLE] ; TEXT", 0},
      {"a byte-order mark spoils the header", "\xEF\xBB\xBF[TITLE]\r\nT\r\n", "", 0},
      {"[EXTRA] under [DIR] is a directory", "[DIR]\r\n[EXTRA]\r\n", "", 2},
      {"GB2312 text is unchanged, ASCII upper-cased", "[TITLE]\r\nsales 系统\r\n", "SALES 系统", 0},
      {"control bytes are trimmed", std::string("[TITLE]\r\n\0\x01 t \x1F\r\n", 15), "T", 0},
  };
  for (const auto& c : cases) {
    Read r = ReadScript(c.script);
    EXPECT_EQ(r.s.SetupTitle, c.title) << c.name;
    EXPECT_EQ(r.label, c.title) << c.name;  // the design caption is always replaced
    EXPECT_EQ(r.s.ListCounter, c.dirs) << c.name;
    EXPECT_TRUE(r.shown) << c.name;
  }
}

// Sections may repeat: a header starts its list again at slot 1, later
// slots keep what the earlier occurrence stored. [DIR] and [GROUP] share
// their counter.
TEST(ScriptReader, RepeatedSectionsAndCounters) {
  Read r = ReadScript(
      "[DISK]\r\nA B\r\nC\r\nD E\r\n[DIR]\r\n\\ONE\r\n[DISK]\r\nX Y\r\n[GROUP]\r\nG\r\n[DIR]\r\n\\TWO\r\n\\THREE\r\n");
  EXPECT_EQ(r.s.DiskCounter, 2);
  EXPECT_EQ(r.s.DiskList[1], "X Y");
  EXPECT_EQ(r.s.DiskList[2], "C");
  EXPECT_EQ(r.s.DiskList[3], "D E");
  EXPECT_EQ(r.s.DirList[1], "\\TWO");
  EXPECT_EQ(r.s.DirList[2], "\\THREE");
  EXPECT_EQ(r.s.GroupInfo[1], "G");
  EXPECT_EQ(r.s.ListCounter, 3);
}

TEST(ScriptReader, SpaceValues) {
  const struct { const char* line; int32_t value; const char* error; } cases[] = {
      {"20", 20, ""},   {"+20", 20, ""}, {"-5", -5, ""}, {"$1F", 31, ""}, {" $ffffffff ", -1, ""},
      {"2147483648", 0, "'2147483648' is not a valid integer value."},
      {"12 mb", 0, "'12 MB' is not a valid integer value."},
      {"-", 0, "'-' is not a valid integer value."},
      {"-$10", 0, "'-$10' is not a valid integer value."},
  };
  for (const auto& c : cases) {
    Read r = ReadScript(std::string("[SPACE]\r\n") + c.line + "\r\n", c.error);
    EXPECT_EQ(r.s.SpaceMB, c.value) << c.line;
  }
}

// An error stops the reader where it occurs: no further line is read, the
// title label keeps its design caption and the window is not shown.
TEST(ScriptReader, ErrorStopsReading) {
  Read r = ReadScript("[TITLE]\r\nT\r\n[SPACE]\r\n20 mb\r\n[DIR]\r\n\\APP\r\n[DISK]\r\nA B\r\nC D\r\n",
                      "'20 MB' is not a valid integer value.");
  EXPECT_EQ(r.s.SetupTitle, "T");
  EXPECT_EQ(r.s.DirList[1], "");
  EXPECT_EQ(r.s.DiskCounter, 0);
  EXPECT_EQ(r.label, " 标题 ");
  EXPECT_FALSE(r.shown);
}

// A list that is full refuses a further line with an error box naming it;
// nothing else changes. A dropped [DISK] line would install the product
// with a file missing and report success.
TEST(ScriptReader, FullListRefusesAFurtherLine) {
  std::string script = "[TITLE]\r\nT\r\n[DISK]\r\n";
  for (int i = 1; i <= 51; ++i) script += "F" + std::to_string(i) + " \\D\\F" + std::to_string(i) + "\r\n";
  script += "[TITLE]\r\nLATER\r\n";
  Read r = ReadScript(script, "SETUP.INI 的 [DISK] 段超过 50 行: 'F51 \\D\\F51'");  // ends in "'": no period
  EXPECT_EQ(r.s.DiskList[50], "F50 \\D\\F50");
  EXPECT_EQ(r.s.DiskCounter, 51);
  EXPECT_EQ(r.s.SetupTitle, "T");

  Read g = ReadScript("[GROUP]\r\nA\r\nB\r\nC\r\nD\r\n", "SETUP.INI 的 [GROUP] 段超过 3 行: 'D'");
  EXPECT_EQ(g.s.GroupInfo[3], "C");
  EXPECT_EQ(g.s.ListCounter, 4);
}

TEST(ScriptReader, UnreadableScriptShowsTheIoError) {
  ScriptedUser user;
  user.Box(kTitle, "File not found.", IDOK);
  harness::Program p(user, "");
  InstallSettings.SourceDir = "A:\\NOWHERE\\";
  p.app.Dispatch([] { F_bj1->FormCreate(F_bj1); });
  EXPECT_TRUE(user.Finished());
}

// The program's texts are GB2312 bytes: the title label's design caption
// " 标题 ", the application title "Kelvora安装" on an error box, and the
// missing-script message.
TEST(Texts, AreGb2312Bytes) {
  ScriptedUser user;
  user.Box("Kelvora\xB0\xB2\xD7\xB0", "File not found.", IDOK);
  harness::Program p(user);
  std::filesystem::remove(p.machine.Host('A', "SETUP.INI"));
  InstallSettings.SourceDir = "A:\\";
  auto* fresh = new TF_bj1(&p.app);  // a second background window, not created through the application
  std::unique_ptr<TF_bj1> owner(fresh);
  EXPECT_EQ(fresh->Label1->Caption(), " \xB1\xEA\xCC\xE2 ");
  p.app.Dispatch([&] { fresh->FormCreate(fresh); });
  EXPECT_TRUE(user.Finished());

  dosfs::testing::TempMachine m(harness::kDrives);
  ScriptedUser missing;
  missing.Box("\xB4\xED\xCE\xF3", "A:\\SETUP.INI \xB2\xBB\xB4\xE6\xD4\xDA,\xB2\xBB\xC4\xDC\xB0\xB2\xD7\xB0\xA3\xA1", IDOK);
  EXPECT_EQ(harness::RunFrom(m, missing), 0);
  EXPECT_TRUE(missing.Finished());
}

TEST(MessageBuffer, LongTextsPassWhole) {
  ResetInstallSettings();
  const std::string fits(103, 'x');
  EXPECT_EQ(PutMessage(fits), static_cast<const char*>(MessageBuffer));
  EXPECT_EQ(std::string(MessageBuffer), fits);
  const std::string longer(300, 'y');
  const char* passed = PutMessage(longer);
  EXPECT_EQ(std::string(passed), longer);  // whole, not cut
  EXPECT_EQ(std::string(MessageBuffer), fits);  // and the buffer untouched
}
