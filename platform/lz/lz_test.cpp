#include "lz.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "szdd_testing.h"
#include "testing_machine.h"

namespace {

using lz::testing::ReadTestdata;

namespace fs = std::filesystem;
using namespace std::string_literals;
using dosfs::testing::TempMachine;

// The whole expanding copy as the installer does it: open both, copy, close
// both whatever happened.
LONG ExpandCopy(const char* src, const char* dst) {
  OFSTRUCT ofs{};
  INT in = LZOpenFileA(src, &ofs, OF_READ);
  INT out = LZOpenFileA(dst, &ofs, OF_CREATE);
  LONG r = LZCopy(in, out);
  LZClose(in);
  LZClose(out);
  return r;
}

// ---- Copies that succeed: the destination holds the (expanded) content ----

TEST(LzCopy, CopiesPlainAndExpandsCompressedContent) {
  const std::string mixed = ReadTestdata("mixed.bin");
  const std::string gb = ReadTestdata("gb2312.txt");
  const std::string notSzdd = "\x53\x5A\x44\x44\x88\xF0\x27\x30" "A\0\3\0\0\0xyz"s;
  struct Case {
    const char* what;
    const char* sourceName;
    std::string source;
    std::string expected;
  };
  const Case cases[] = {
      {"plain file byte for byte", "MIXED.BIN", mixed, mixed},
      {"compressed file expanded", "MIXED.BI_", ReadTestdata("mixed.bin_"), mixed},
      {"compressed file with an ordinary name expanded", "TEXT.TXT", ReadTestdata("gb2312.txt_"), gb},
      {"trailing underscore but not compressed: unchanged", "README.TX_", "not compressed\r\n",
       "not compressed\r\n"},
      {"bad magic: copied unchanged", "ALMOST.EX_", notSzdd, notSzdd},
      {"shorter than the header: unchanged", "SHORT.EX_", "\x53\x5A\x44\x44\x88\xF0\x27\x33" "A",
       "\x53\x5A\x44\x44\x88\xF0\x27\x33" "A"},
      {"header only: expands to nothing", "EMPTY.EX_", lz::testing::SzddHeader(0), ""},
      {"length field ignored (says 100)", "SHORTER.EX_", lz::testing::SzddHeader(100) + "\x07" "abc", "abc"},
      {"length field ignored (says 0)", "LONGER.EX_", lz::testing::SzddHeader(0) + "\x07" "abc", "abc"},
      {"empty file", "EMPTY.DAT", "", ""},
  };
  for (const Case& c : cases) {
    TempMachine m;
    m.Write('A', c.sourceName, c.source);
    fs::create_directory(m.Host('C', "APP"));
    std::string src = std::string("A:\\") + c.sourceName;
    EXPECT_EQ(ExpandCopy(src.c_str(), "C:\\APP\\OUT.DAT"), static_cast<LONG>(c.expected.size())) << c.what;
    EXPECT_EQ(m.Read('C', "APP/OUT.DAT"), c.expected) << c.what;
  }
}

TEST(LzCopy, ReplacesAnExistingDestination) {
  TempMachine m;
  m.Write('A', "NEW.TXT", "new");
  m.Write('C', "APP/OLD.TXT", std::string(5000, 'o'));
  EXPECT_EQ(ExpandCopy("A:\\NEW.TXT", "c:\\app\\old.txt"), 3);
  EXPECT_EQ(m.Read('C', "APP/OLD.TXT"), "new");
}

// ---- Copies that fail --------------------------------------------------

TEST(LzCopy, MissingSourceFailsButCreatesTheDestination) {
  TempMachine m;
  fs::create_directory(m.Host('C', "APP"));
  EXPECT_LT(ExpandCopy("A:\\NOFILE.EX_", "C:\\APP\\X.EXE"), 0);
  ASSERT_TRUE(fs::exists(m.Host('C', "APP/X.EXE")));
  EXPECT_EQ(fs::file_size(m.Host('C', "APP/X.EXE")), 0u);
}

TEST(LzCopy, DestinationInAMissingDirectoryFailsAndCreatesNothing) {
  TempMachine m;
  m.Write('A', "X.EXE", "data");
  EXPECT_LT(ExpandCopy("A:\\X.EXE", "C:\\NODIR\\X.EXE"), 0);
  EXPECT_FALSE(fs::exists(m.Host('C', "NODIR")));
}

TEST(LzCopy, UnknownCompressionModeFailsWithoutWriting) {
  TempMachine m;
  m.Write('A', "X.EX_", lz::testing::SzddHeader(3, 'B') + "\x07" "abc");
  EXPECT_EQ(ExpandCopy("A:\\X.EX_", "C:\\X.EXE"), LZERROR_UNKNOWNALG);
  EXPECT_EQ(m.Read('C', "X.EXE"), "");
}

// Host files the test cannot make fail on demand are reached through
// symbolic links in the drive: /dev/full refuses every write, and reading
// this process's memory at offset 0 is an input/output error.
TEST(LzCopy, ReportsReadAndWriteErrors) {
  TempMachine m;
  m.Write('A', "BIG.EX_", lz::testing::SzddFile(std::string(300000, 'x')));
  m.Write('A', "BIG.DAT", std::string(300000, 'x'));
  fs::create_symlink("/dev/full", m.Host('C', "FULL.DAT"));
  fs::create_symlink("/proc/self/mem", m.Host('A', "MEM.DAT"));
  EXPECT_EQ(ExpandCopy("A:\\BIG.EX_", "C:\\FULL.DAT"), LZERROR_WRITE);
  EXPECT_EQ(ExpandCopy("A:\\BIG.DAT", "C:\\FULL.DAT"), LZERROR_WRITE);
  EXPECT_EQ(ExpandCopy("A:\\MEM.DAT", "C:\\OUT.DAT"), LZERROR_READ);
}

// A count beyond 2^31-1 bytes saturates instead of turning negative. The
// source is a sparse file, on tmpfs where reading its hole allocates nothing
// (else in the drive itself), and the destination /dev/null.
TEST(LzCopy, CountOfAHugeCopySaturates) {
  TempMachine m;
  std::error_code ec;
  std::string huge = fs::is_directory("/dev/shm", ec) ? "/dev/shm/lz_test-XXXXXX" : m.Host('A', "HUGE-XXXXXX");
  int fd = mkstemp(huge.data());
  ASSERT_GE(fd, 0);
  close(fd);
  fs::resize_file(huge, (uint64_t{1} << 31) + 5);
  if (huge.rfind("/dev/shm/", 0) == 0) fs::create_symlink(huge, m.Host('A', "HUGE.DAT"));
  else fs::rename(huge, m.Host('A', "HUGE.DAT"));
  fs::create_symlink("/dev/null", m.Host('C', "NULL.DAT"));
  LONG n = ExpandCopy("A:\\HUGE.DAT", "C:\\NULL.DAT");
  fs::remove(huge, ec);
  EXPECT_EQ(n, INT32_MAX);
}

// ---- Handles -------------------------------------------------------------

TEST(LzHandles, BadHandlesAreReportedByPosition) {
  TempMachine m;
  m.Write('A', "X.TXT", "abc");
  OFSTRUCT ofs{};
  INT in = LZOpenFileA("A:\\X.TXT", &ofs, OF_READ);
  INT out = LZOpenFileA("C:\\Y.TXT", &ofs, OF_CREATE);
  ASSERT_GE(in, 0);
  ASSERT_GE(out, 0);
  INT closed = LZOpenFileA("A:\\X.TXT", &ofs, OF_READ);
  LZClose(closed);
  struct Case {
    const char* what;
    INT src, dst;
    LONG expected;
  };
  const Case cases[] = {
      {"source an error code", HFILE_ERROR, out, LZERROR_BADINHANDLE},
      {"source -8", LZERROR_UNKNOWNALG, out, LZERROR_BADINHANDLE},
      {"destination an error code", in, HFILE_ERROR, LZERROR_BADOUTHANDLE},
      {"both error codes: the source is reported", -1, -1, LZERROR_BADINHANDLE},
      {"source never opened", 4711, out, LZERROR_BADINHANDLE},
      {"destination never opened", in, 4711, LZERROR_BADOUTHANDLE},
      {"source closed", closed, out, LZERROR_BADINHANDLE},
      {"source opened for writing", out, out, LZERROR_BADINHANDLE},
      {"destination opened for reading", in, in, LZERROR_BADOUTHANDLE},
  };
  for (const Case& c : cases) EXPECT_EQ(LZCopy(c.src, c.dst), c.expected) << c.what;
  EXPECT_EQ(LZCopy(in, out), 3) << "the good handles still work";
  LZClose(in);
  LZClose(out);
  LZClose(-1);
  LZClose(4711);
  EXPECT_EQ(LZCopy(in, out), LZERROR_BADINHANDLE) << "closed";
}

TEST(LzHandles, ClosedHandlesAreReusedAndStayDistinctWhileOpen) {
  TempMachine m;
  m.Write('A', "X.TXT", "abc");
  OFSTRUCT ofs{};
  INT a = LZOpenFileA("A:\\X.TXT", &ofs, OF_READ);
  INT b = LZOpenFileA("A:\\X.TXT", &ofs, OF_READ);
  EXPECT_NE(a, b);
  LZClose(a);
  INT c = LZOpenFileA("C:\\C.TXT", &ofs, OF_CREATE);
  EXPECT_EQ(c, a);
  EXPECT_EQ(LZCopy(b, c), 3);
  LZClose(b);
  LZClose(c);
  EXPECT_EQ(m.Read('C', "C.TXT"), "abc");
}

// ---- The open-file record -------------------------------------------------

TEST(LzOpen, FillsTheOpenFileRecord) {
  TempMachine m("A: removable a\nC: fixed c\n");
  m.Write('A', "X.TXT", "abc");
  fs::create_directory(m.Host('C', "APP"));
  fs::create_symlink("/dev/zero", m.Host('C', "ZERO"));
  struct Case {
    const char* what;
    std::string path;
    WORD style;
    bool opens;
    WORD errCode;
    uint8_t fixed;
  };
  const Case cases[] = {
      {"existing file on a removable disk", "A:\\X.TXT", OF_READ, true, 0, 0},
      {"created on a fixed disk", "C:\\APP\\NEW.TXT", OF_CREATE, true, 0, 1},
      {"missing file", "A:\\NOFILE.TXT", OF_READ, false, 2, 0},
      {"missing directory", "C:\\NODIR\\X.TXT", OF_READ, false, 3, 1},
      {"create in a missing directory", "C:\\NODIR\\X.TXT", OF_CREATE, false, 3, 1},
      {"drive not in the table", "Q:\\X.TXT", OF_READ, false, 3, 0},
      {"a directory is not a file", "C:\\APP", OF_READ, false, 5, 1},
      {"create over a directory", "C:\\APP", OF_CREATE, false, 5, 1},
      {"a device is not read", "C:\\ZERO", OF_READ, false, 5, 1},
  };
  for (const Case& c : cases) {
    OFSTRUCT ofs;
    std::memset(&ofs, 0xCC, sizeof ofs);
    INT h = LZOpenFileA(c.path.c_str(), &ofs, c.style);
    EXPECT_EQ(h >= 0, c.opens) << c.what;
    if (!c.opens) {
      EXPECT_EQ(h, HFILE_ERROR) << c.what;
    }
    LZClose(h);
    EXPECT_EQ(ofs.cBytes, sizeof(OFSTRUCT)) << c.what;
    EXPECT_EQ(ofs.nErrCode, c.errCode) << c.what;
    EXPECT_EQ(ofs.fFixedDisk, c.fixed) << c.what;
    EXPECT_STREQ(ofs.szPathName, c.path.c_str()) << c.what;
  }
}

TEST(LzOpen, LongPathIsCutInTheRecordAndOddStylesAreRefused) {
  TempMachine m;
  std::string name(150, 'N');
  m.Write('A', name, "abc");
  std::string path = "A:\\" + name;
  OFSTRUCT ofs;
  std::memset(&ofs, 0xCC, sizeof ofs);
  INT h = LZOpenFileA(path.c_str(), &ofs, OF_READ);
  EXPECT_GE(h, 0);
  LZClose(h);
  EXPECT_EQ(std::string(ofs.szPathName), path.substr(0, OFS_MAXPATHNAME - 1));

  const WORD OF_WRITE = 0x0001, OF_EXIST = 0x4000, OF_SHARE_DENY_WRITE = 0x0020;
  EXPECT_EQ(LZOpenFileA("A:\\X.TXT", &ofs, OF_WRITE), LZERROR_BADVALUE);
  EXPECT_EQ(LZOpenFileA("A:\\X.TXT", &ofs, OF_EXIST), LZERROR_BADVALUE);
  EXPECT_EQ(LZOpenFileA(nullptr, &ofs, OF_READ), LZERROR_BADVALUE);
  h = LZOpenFileA(path.c_str(), nullptr, OF_READ | OF_SHARE_DENY_WRITE);
  EXPECT_GE(h, 0) << "share bits are ignored, the record may be null";
  LZClose(h);
}

}  // namespace
