#include "hive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "testing_machine.h"

namespace fs = std::filesystem;
using registry::Hive;
using registry::Key;
using registry::Value;
using ::testing::HasSubstr;
using namespace std::string_literals;

namespace {

const char kKey[] = "HKEY_LOCAL_MACHINE\\software\\test";

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// ---- Each value type has one written form, and reading it gives the exact
// bytes back ----

struct FormCase {
  const char* what;
  Value value;
  std::string line;  // the value's line in the file
};

const FormCase kForms[] = {
    {"plain text", {"BLAPIPATH", REG_SZ, "C:\\APP"}, R"("BLAPIPATH"="C:\\APP")"},
    {"both escapes in name and text", {"a\"b\\c", REG_SZ, "x\"y\\"}, R"("a\"b\\c"="x\"y\\")"},
    {"GB2312 bytes stay bytes", {"\xC4\xE3", REG_SZ, "\xC4\xE3\xBA\xC3"}, "\"\xC4\xE3\"=\"\xC4\xE3\xBA\xC3\""},
    // 乗 (81 5C): the escape rule is bytewise, so its second byte is doubled.
    {"GBK second byte 0x5C", {"g", REG_SZ, "\x81\x5C"}, "\"g\"=\"\x81\\\\\""},
    {"default value", {"", REG_SZ, "d"}, R"(@="d")"},
    {"zero-length text is no NUL", {"e", REG_SZ, ""}, R"("e"="")"},
    {"text with its NUL", {"n", REG_SZ, Bytes({'a', 0})}, R"("n"=hex(1):61,00)"},
    {"text with a line break", {"l", REG_SZ, "a\nb"}, R"("l"=hex(1):61,0a,62)"},
    {"dword", {"d", REG_DWORD, Bytes({10, 0, 0, 0})}, R"("d"=dword:0000000a)"},
    {"dword little-endian", {"d", REG_DWORD, Bytes({0x78, 0x56, 0x34, 0x12})}, R"("d"=dword:12345678)"},
    {"dword of 3 bytes", {"d", REG_DWORD, Bytes({1, 2, 3})}, R"("d"=hex(4):01,02,03)"},
    {"empty dword", {"d", REG_DWORD, ""}, R"("d"=hex(4):)"},
    {"binary", {"b", REG_BINARY, Bytes({0, 0xFF})}, R"("b"=hex:00,ff)"},
    {"empty binary", {"b", REG_BINARY, ""}, R"("b"=hex:)"},
    {"expandable text", {"x", REG_EXPAND_SZ, "%P%"}, R"("x"=hex(2):25,50,25)"},
    {"empty expandable text", {"x", REG_EXPAND_SZ, ""}, R"("x"=hex(2):)"},
    {"REG_NONE", {"z", REG_NONE, Bytes({1})}, R"("z"=hex(0):01)"},
    {"empty REG_NONE", {"z", REG_NONE, ""}, R"("z"=hex(0):)"},
    {"type 11 in hex", {"q", 11, Bytes({1, 2, 3, 4, 5, 6, 7, 8})}, R"("q"=hex(b):01,02,03,04,05,06,07,08)"},
    {"largest type", {"t", 0xFFFFFFFF, ""}, R"("t"=hex(ffffffff):)"},
};

TEST(HiveFormTest, EveryValueHasItsLineAndRoundTrips) {
  for (const FormCase& c : kForms) {
    SCOPED_TRACE(c.what);
    Hive hive;
    hive.CreateKey(kKey).SetValue(c.value.name, c.value.type, c.value.data);
    std::string text = hive.Format();
    EXPECT_EQ(text,
              "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\software]\n\n[HKEY_LOCAL_MACHINE\\software\\test]\n" + c.line + "\n\n");
    Hive back = Hive::Parse(text, "t.reg");
    const Key* key = back.FindKey(kKey);
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->Values().size(), 1u);
    EXPECT_EQ(key->Values()[0], c.value);
  }
}

TEST(HiveFormTest, AllValuesOfAKeyRoundTripTogetherInOrder) {
  Hive hive;
  Key& key = hive.CreateKey(kKey);
  for (const FormCase& c : kForms) key.SetValue(std::string(c.what), c.value.type, c.value.data);
  Hive back = Hive::Parse(hive.Format(), "t.reg");
  EXPECT_EQ(back.FindKey(kKey)->Values(), key.Values());
  EXPECT_EQ(back.Format(), hive.Format());
}

// Long hex data is wrapped under 80 columns with "\" continuations.
TEST(HiveFormTest, LongHexDataWrapsAndReadsBack) {
  std::string data;
  for (int i = 0; i < 300; ++i) data += static_cast<char>(i * 7);
  Hive hive;
  hive.CreateKey(kKey).SetValue("a rather long value name", REG_BINARY, data);
  std::string text = hive.Format();
  std::istringstream lines(text);
  int continued = 0;
  for (std::string line; std::getline(lines, line);) {
    EXPECT_LT(line.size(), 80u) << line;
    if (!line.empty() && line.back() == '\\') ++continued;
  }
  EXPECT_GE(continued, 10);
  EXPECT_EQ(Hive::Parse(text, "t.reg").FindKey(kKey)->FindValue("a rather long value name")->data, data);
}

// What a person or a registry editor may write: CR LF, comments, blank lines,
// indented lines, upper-case hex, short dwords, blanks inside hex lists,
// wrapped lines, repeated keys and values (the last one wins).
TEST(HiveParseTest, AcceptsHandWrittenForms) {
  std::string text =
      "REGEDIT4\r\n\r\n"
      "; a comment\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Test]\r\n"
      "  \"d\"=dword:A\r\n"
      "\"b\"=hex:0A, FF,\\\r\n"
      "  01,\\\r\n"
      "\t02\r\n"
      "\"s\"=\"old\"\r\n"
      "\r\n"
      "[hkey_local_machine\\SOFTWARE\\TEST]   \r\n"
      "\"S\"=\"new\"\r\n";
  Hive hive = Hive::Parse(text, "t.reg");
  const Key* key = hive.FindKey(kKey);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->Name(), "Test");
  EXPECT_EQ(key->Values(), (std::vector<Value>{{"d", REG_DWORD, Bytes({10, 0, 0, 0})},
                                               {"b", REG_BINARY, Bytes({10, 0xFF, 1, 2})},
                                               {"s", REG_SZ, "new"}}));
}

struct BadCase {
  std::string text;
  const char* where;  // "t.reg, line N"
  const char* what;
};

const BadCase kBad[] = {
    {"", "line 1", "REGEDIT4"},
    {"REGEDIT5\n", "line 1", "REGEDIT4"},
    {"REGEDIT4\n\n\"a\"=\"b\"\n", "line 3", "before the first [key]"},
    {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\a\n", "line 2", "end with ]"},
    {"REGEDIT4\n[HKEY_NOWHERE\\a]\n", "line 2", "unknown root key"},
    {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\a\\\\b]\n", "line 2", "invalid key path"},
    {"REGEDIT4\n[-HKEY_LOCAL_MACHINE\\a]\n", "line 2", "not supported"},
    {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\a]\n\"a\"=\"b\n", "line 3", "no closing quote"},
    {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\a]\n\"a\"=\"b\\n\"\n", "line 3", "may follow a backslash"},
    {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\a]\n\"a\"=\"b\" x\n", "line 3", "after the closing quote"},
    {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\a]\n\"a\"=-\n", "line 3", "after ="},
    {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\a]\n\"a\" = \"b\"\n", "line 3", "expected ="},
    {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\a]\nplain words\n", "line 3", "expected \"name\"="},
    {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\a]\n\"a\"=dword:123456789\n", "line 3", "dword:"},
    {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\a]\n\"a\"=dword:xy\n", "line 3", "dword:"},
    {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\a]\n\"a\"=hex:123\n", "line 3", "two hex digits"},
    {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\a]\n\"a\"=hex:01,\n", "line 3", "two hex digits"},
    {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\a]\n\"a\"=hex(g):01\n", "line 3", "hex(type)"},
    {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\a]\n\"a\"=hexa:01\n", "line 3", "hex:"},
    {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\a]\n\"a\"=hex:01,\\\n", "line 3", "ends inside wrapped hex"},
    {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\a]\n\"a\"=hex:01,\\\n  02,\\\n  zz\n", "line 5", "two hex digits"},
    {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\a]\n\"a\0b\"=\"c\"\n"s, "line 3", "NUL, CR or LF"},
};

TEST(HiveParseTest, RejectsWhatItDoesNotUnderstandNamingFileAndLine) {
  for (const BadCase& c : kBad) {
    SCOPED_TRACE(c.text);
    try {
      Hive::Parse(c.text, "t.reg");
      ADD_FAILURE() << "parsed";
    } catch (const ERegistryException& e) {
      EXPECT_THAT(e.Message(), HasSubstr(std::string("t.reg, ") + c.where + ": "));
      EXPECT_THAT(e.Message(), HasSubstr(c.what));
    }
  }
}

// ---- Keys and names ----

TEST(HiveKeyTest, KeysKeepTheirCaseAndAreFoundInAnyCase) {
  Hive hive;
  hive.CreateKey("HKEY_LOCAL_MACHINE\\Software\\Borland");
  Key& drivers = hive.CreateKey("hkey_local_machine\\SOFTWARE\\borland\\Drivers");
  drivers.SetValue("Path", REG_SZ, "1");
  drivers.SetValue("PATH", REG_DWORD, "2");
  const Key* software = hive.FindKey("HKEY_LOCAL_MACHINE\\software");
  ASSERT_NE(software, nullptr);
  EXPECT_EQ(software->Name(), "Software");
  ASSERT_EQ(software->SubKeys().size(), 1u);
  EXPECT_EQ(software->SubKeys()[0].Name(), "Borland");
  EXPECT_EQ(drivers.Values(), (std::vector<Value>{{"Path", REG_DWORD, "2"}}));
  EXPECT_EQ(hive.FindKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\BORLAND\\drivers"), &drivers);
  EXPECT_EQ(hive.FindKey("HKEY_LOCAL_MACHINE\\software\\missing"), nullptr);
  EXPECT_EQ(hive.FindKey("HKEY_LOCAL_MACHINE\\software\\\\borland"), nullptr);
  EXPECT_EQ(hive.FindKey(""), nullptr);
}

// Only ASCII letters fold: 統 (BD 79) and 結 (BD 59) differ only in a second
// byte that a bytewise fold would equate.
TEST(HiveKeyTest, DoubleByteCharactersCompareExactly) {
  EXPECT_TRUE(registry::SameName("Abc\xC4\xE3", "aBC\xC4\xE3"));
  EXPECT_FALSE(registry::SameName("\xBD\x79", "\xBD\x59"));
  EXPECT_FALSE(registry::SameName("ab", "abc"));
  Hive hive;
  hive.CreateKey("HKEY_LOCAL_MACHINE\\\xBD\x79");
  hive.CreateKey("HKEY_LOCAL_MACHINE\\\xBD\x59");
  EXPECT_EQ(hive.FindKey("HKEY_LOCAL_MACHINE")->SubKeys().size(), 2u);
}

struct SplitCase {
  const char* path;
  bool ok;
  std::vector<std::string> parts;
};

TEST(HiveKeyTest, SplitKeyPath) {
  const SplitCase cases[] = {
      {"", true, {}},
      {"software", true, {"software"}},
      {"software\\database engine\\settings", true, {"software", "database engine", "settings"}},
      {"\xC4\xE3\\\xBA\xC3", true, {"\xC4\xE3", "\xBA\xC3"}},
      // 乗 (81 5C) is one character, not a separator.
      {"a\x81\\b\\c", true, {"a\x81\\b", "c"}},
      {"a\\\\b", false, {}},
      {"a\\", false, {}},
      {"\\a", false, {}},
      {"a\nb", false, {}},
      {"a\x81", false, {}},  // unpaired lead byte
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.path);
    std::vector<std::string> parts;
    EXPECT_EQ(registry::SplitKeyPath(c.path, parts), c.ok);
    if (c.ok) {
      EXPECT_EQ(parts, c.parts);
    }
  }
}

TEST(HiveKeyTest, DoubleByteKeyNamesSurviveTheFile) {
  Hive hive;
  hive.CreateKey("HKEY_LOCAL_MACHINE\\a\x81\\b\\\xC4\xE3]").SetValue("v", REG_SZ, "1");
  Hive back = Hive::Parse(hive.Format(), "t.reg");
  const Key* key = back.FindKey("HKEY_LOCAL_MACHINE\\a\x81\\b\\\xC4\xE3]");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->Values().size(), 1u);
  EXPECT_EQ(back.Format(), hive.Format());
}

TEST(HiveKeyTest, EmptyKeysAndRootValuesAreWritten) {
  Hive hive;
  hive.CreateKey("HKEY_LOCAL_MACHINE\\software\\borland\\database engine\\settings\\drivers");
  hive.CreateKey("HKEY_USERS").SetValue("", REG_SZ, "r");
  std::string text = hive.Format();
  EXPECT_THAT(text, HasSubstr("[HKEY_LOCAL_MACHINE\\software\\borland\\database engine\\settings\\drivers]\n"));
  EXPECT_THAT(text, HasSubstr("[HKEY_USERS]\n@=\"r\"\n"));
  EXPECT_THAT(text, ::testing::Not(HasSubstr("[HKEY_LOCAL_MACHINE]")));
  EXPECT_NE(
      Hive::Parse(text, "t.reg").FindKey("HKEY_LOCAL_MACHINE\\software\\borland\\database engine\\settings\\drivers"),
      nullptr);
}

TEST(HiveKeyTest, InvalidNamesAreRefused) {
  Hive hive;
  EXPECT_THROW(hive.CreateKey("HKEY_NOWHERE\\a"), ERegistryException);
  EXPECT_THROW(hive.CreateKey("HKEY_LOCAL_MACHINE\\a\\"), ERegistryException);
  EXPECT_THROW(hive.CreateKey(""), ERegistryException);
  Key& key = hive.CreateKey(kKey);
  EXPECT_THROW(key.SetValue("a\r", REG_SZ, ""), ERegistryException);
  EXPECT_THROW(key.AddSubKey("a\\b"), ERegistryException);
  EXPECT_TRUE(key.Values().empty());
  EXPECT_TRUE(key.SubKeys().empty());
}

// ---- The file ----

class HiveFileTest : public ::testing::Test {
 protected:
  dosfs::testing::TempMachine machine_;
  std::string file_ = machine_.root() + "/system.reg";
};

TEST_F(HiveFileTest, MissingFileIsAnEmptyHiveAndUpdateCreatesDirectories) {
  EXPECT_EQ(registry::LoadHive(file_).Format(), "REGEDIT4\n\n");
  std::string deep = machine_.root() + "/not/yet/system.reg";
  registry::UpdateHive(deep, [](Hive& h) { h.CreateKey(kKey).SetValue("v", REG_SZ, "1"); });
  EXPECT_EQ(ReadAll(deep),
            "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\software]\n\n[HKEY_LOCAL_MACHINE\\software\\test]\n\"v\"=\"1\"\n\n");
}

TEST_F(HiveFileTest, PutAndGetValueOnTheMachineInUse) {
  EXPECT_EQ(registry::HivePath(), file_);
  registry::PutValue(kKey, "BLAPIPATH", REG_DWORD, Bytes({1, 0, 0, 0}));
  registry::PutValue(kKey, "other", REG_SZ, "x");
  EXPECT_EQ(registry::GetValue("hkey_local_machine\\SOFTWARE\\test", "blapipath"),
            (Value{"BLAPIPATH", REG_DWORD, Bytes({1, 0, 0, 0})}));
  EXPECT_EQ(registry::GetValue(kKey, "missing"), std::nullopt);
  EXPECT_EQ(registry::GetValue("HKEY_LOCAL_MACHINE\\missing", "other"), std::nullopt);
}

TEST_F(HiveFileTest, CorruptHiveIsNeitherReplacedNorDropped) {
  const std::string corrupt = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\a]\n\"x\"=dword:zz\n";
  std::ofstream(file_, std::ios::binary) << corrupt;
  try {
    registry::UpdateHive(file_, [](Hive& h) { h.CreateKey(kKey); });
    ADD_FAILURE() << "updated a corrupt hive";
  } catch (const ERegistryException& e) {
    EXPECT_THAT(e.Message(), HasSubstr(file_ + ", line 4: "));
  }
  EXPECT_EQ(ReadAll(file_), corrupt);
  EXPECT_THROW(registry::LoadHive(file_), ERegistryException);
}

TEST_F(HiveFileTest, FailedChangeWritesNothingAndLeavesNoTemporaryFile) {
  registry::UpdateHive(file_, [](Hive& h) { h.CreateKey(kKey).SetValue("v", REG_SZ, "1"); });
  const std::string before = ReadAll(file_);
  EXPECT_THROW(registry::UpdateHive(file_,
                                    [](Hive& h) {
                                      h.CreateKey(kKey).SetValue("v", REG_SZ, "2");
                                      throw ERegistryException("changed my mind");
                                    }),
               ERegistryException);
  EXPECT_EQ(ReadAll(file_), before);
  for (const auto& entry : fs::directory_iterator(machine_.root())) {
    std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "system.reg.lock" || !name.starts_with("system.reg.")) << "left behind: " << name;
  }
}

TEST_F(HiveFileTest, UpdateKeepsThePermissionBitsOfTheHive) {
  registry::UpdateHive(file_, [](Hive& h) { h.CreateKey(kKey); });
  fs::permissions(file_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  registry::UpdateHive(file_, [](Hive& h) { h.CreateKey(kKey).SetValue("v", REG_SZ, "1"); });
  EXPECT_EQ(fs::status(file_).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

}  // namespace
