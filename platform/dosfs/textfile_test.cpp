#include "textfile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "errors.h"
#include "testing_machine.h"

using dosfs::testing::TempMachine;

namespace {
std::vector<std::string> ReadAll(const std::string& bytes) {
  TempMachine m;
  m.Write('A', "t.txt", bytes);
  dosfs::TextFile f;
  f.Reset("A:\\T.TXT");
  std::vector<std::string> lines;
  while (!f.Eof()) lines.push_back(f.ReadLn());
  f.Close();
  return lines;
}
}  // namespace

// The line rules: CR or CR LF ends a line, LF alone is an ordinary byte,
// Ctrl-Z ends the file, the end of the file ends the last line.
TEST(TextFile, LineRules) {
  using V = std::vector<std::string>;
  const struct { std::string in; V out; } cases[] = {
      {"", V{}},
      {"a\r\nb\r\n", V{"a", "b"}},
      {"a\rb", V{"a", "b"}},               // CR alone; last line without an end
      {"a\nb\nc", V{"a\nb\nc"}},           // LF-only file: one line
      {"a\r\r\nb", V{"a", "", "b"}},       // CR then CR LF
      {"a\n\rb", V{"a\n", "b"}},           // LF CR is not a line end unit
      {"ab\x1A" "cd\r\nef", V{"ab"}},      // Ctrl-Z ends the file mid-line
      {"\x1A" "abc", V{}},
      {"x\r\n\x1A\r\n", V{"x"}},
      {std::string("a\0b\r\n", 5), V{std::string("a\0b", 3)}},
      {std::string(100000, 'x') + "\r\ny", V{std::string(100000, 'x'), "y"}},  // no length limit
  };
  for (const auto& c : cases) EXPECT_EQ(ReadAll(c.in), c.out) << c.in.substr(0, 20);
}

TEST(TextFile, ErrorsCarryTheSystemCode) {
  TempMachine m;
  std::filesystem::create_directories(m.Host('A', "dir"));
  const struct { const char* path; const char* text; } cases[] = {
      {"A:\\MISSING.TXT", "File not found"},
      {"A:\\NODIR\\X.TXT", "File not found"},
      {"Q:\\X.TXT", "Invalid filename"},
  };
  for (const auto& c : cases) {
    dosfs::TextFile f;
    try {
      f.Reset(c.path);
      FAIL() << c.path;
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.Message(), c.text) << c.path;
    }
  }
  // A directory opens on the host but cannot be read.
  dosfs::TextFile d;
  try {
    d.Reset("A:\\DIR");
    d.Eof();
    FAIL() << "directory read";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "File access denied");
  }
}
