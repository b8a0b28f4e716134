#include "dosfs.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "errors.h"
#include "testing_machine.h"

using dosfs::testing::TempMachine;
namespace fs = std::filesystem;

constexpr const char* kTable =
    "# letter kind dir label\n"
    "A: removable a\n"
    "c: fixed c SYSTEM\n"
    "D: cdrom d\n"
    "X: network x \\\\server\\share\n"
    "R: ramdisk r RAM DISK\n";

TEST(DriveTable, ReadsKindsLabelsAndRemoteNames) {
  TempMachine m(kTable, "D");
  const auto& drives = dosfs::Drives();
  ASSERT_EQ(drives.size(), 5u);
  EXPECT_EQ(drives[0].letter, 'A');
  EXPECT_EQ(drives[1].letter, 'C');  // lower-case letter in the table
  EXPECT_EQ(drives[1].label, "SYSTEM");
  EXPECT_EQ(drives[3].kind, dosfs::DriveKind::RamDisk);
  EXPECT_EQ(drives[3].label, "RAM DISK");  // the rest of the line
  EXPECT_EQ(drives[4].label, "\\\\server\\share");
  EXPECT_EQ(dosfs::FindDrive('q'), nullptr);
  EXPECT_FALSE(dosfs::DriveReady('D'));  // no medium
  EXPECT_TRUE(dosfs::DriveReady('C'));
}

// The current directory comes from the host's working directory, reported
// with a backslash only at a root.
TEST(CurrentDir, ReportsDosPath) {
  {
    TempMachine m(kTable, "", "a");
    EXPECT_EQ(dosfs::GetCurrentDir(), "A:\\");
  }
  {
    TempMachine m("C: fixed c\n", "", "");
    fs::create_directories(m.Host('C', "setup/disk1"));
    fs::current_path(m.Host('C', "setup/disk1"));
    dosfs::UseMachine(m.root());
    EXPECT_EQ(dosfs::GetCurrentDir(), "C:\\setup\\disk1");
  }
}

// Changing to "c:" goes to C's remembered directory; a drive that is not in
// the table fails with "invalid drive" and changes nothing.
TEST(ChDir, DriveLetterGoesToRememberedDirectory) {
  TempMachine m(kTable, "", "a");
  fs::create_directories(m.Host('C', "Work"));
  dosfs::ChDir("C:\\work");
  EXPECT_EQ(dosfs::GetCurrentDir(), "C:\\Work");  // spelled as the host spells it
  dosfs::ChDir("a:");
  EXPECT_EQ(dosfs::GetCurrentDir(), "A:\\");
  dosfs::ChDir("c:");
  EXPECT_EQ(dosfs::GetCurrentDir(), "C:\\Work");
  try {
    dosfs::ChDir("q:");
    FAIL() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "I/O error 15");
  }
  EXPECT_EQ(dosfs::GetCurrentDir(), "C:\\Work");
  EXPECT_THROW(dosfs::ChDir("C:\\missing"), EInOutError);
}

// The four path forms, ".." clamped at the root, and case-insensitive lookup.
TEST(HostPath, ResolvesEveryForm) {
  TempMachine m(kTable, "", "a");
  fs::create_directories(m.Host('C', "App/Data"));
  dosfs::ChDir("C:\\APP");
  dosfs::ChDir("A:\\");
  const std::string c = m.Host('C');
  const struct { const char* dos; std::string host; } cases[] = {
      {"C:\\APP\\DATA\\X.DB", c + "/App/Data/X.DB"},  // existing parts as spelled; new part as written
      {"c:data", c + "/App/Data"},                     // drive-relative: from C's current directory
      {"\\one", m.Host('A') + "/one"},                  // root-relative: current drive
      {"two", m.Host('A') + "/two"},                    // relative
      {"C:\\..\\..\\X", c + "/X"},                      // ".." never leaves the drive
      {"C:\\APP\\..\\..\\..\\etc\\passwd", c + "/etc/passwd"},
      {"C:/app/./data", c + "/App/Data"},
      {"C:\\", c},
  };
  for (const auto& k : cases) {
    auto host = dosfs::HostPath(k.dos);
    ASSERT_TRUE(host) << k.dos;
    EXPECT_EQ(fs::path(*host).lexically_normal(), fs::path(k.host).lexically_normal()) << k.dos;
  }
  EXPECT_FALSE(dosfs::HostPath("Q:\\X"));
}

// Two host names that differ only in case: the exact spelling wins, and
// otherwise the first in byte order.
TEST(HostPath, ExactNameWinsThenByteOrder) {
  TempMachine m(kTable);
  m.Write('C', "readme.TXT", "lower");
  m.Write('C', "README.txt", "upper");
  EXPECT_EQ(*dosfs::HostPath("C:\\readme.TXT"), m.Host('C', "readme.TXT"));
  EXPECT_EQ(*dosfs::HostPath("C:\\README.txt"), m.Host('C', "README.txt"));
  EXPECT_EQ(*dosfs::HostPath("C:\\Readme.Txt"), m.Host('C', "README.txt"));  // "R" < "r"
}

TEST(FileSystem, ExistenceCreationAndFreeSpace) {
  TempMachine m(kTable, "D");
  m.Write('A', "setup.ini", "x");
  fs::create_directories(m.Host('A', "SETUP.DIR"));
  EXPECT_TRUE(dosfs::FileExists("A:\\SETUP.INI"));     // name matched without case
  EXPECT_FALSE(dosfs::FileExists("A:\\SETUP.DIR"));    // a directory is no file
  EXPECT_TRUE(dosfs::DirectoryExists("a:\\setup.dir"));
  EXPECT_FALSE(dosfs::DirectoryExists("A:\\SETUP.INI"));
  EXPECT_FALSE(dosfs::FileExists("Q:\\SETUP.INI"));
  EXPECT_TRUE(dosfs::CreateDir("C:\\APP"));
  EXPECT_TRUE(dosfs::DirectoryExists("C:\\APP"));
  EXPECT_FALSE(dosfs::CreateDir("C:\\NO\\PARENT"));
  EXPECT_FALSE(dosfs::CreateDir("A:\\SETUP.INI"));      // a file of that name
  EXPECT_GT(dosfs::DiskFree('C'), 0);
  EXPECT_EQ(dosfs::DiskFree('D'), -1);  // no medium
  EXPECT_EQ(dosfs::DiskFree('Q'), -1);  // no such drive
}
