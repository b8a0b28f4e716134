#include "registry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "dosfs.h"
#include "hive.h"
#include "testing_machine.h"

namespace fs = std::filesystem;
using registry::Value;
using ::testing::HasSubstr;
using namespace std::string_literals;

namespace {

const char kBlw32[] = "HKEY_LOCAL_MACHINE\\software\\borland\\blw32";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The text of the error behind a registry error, "" when none is attached.
std::string Cause(const std::exception& e) {
  try {
    std::rethrow_if_nested(e);
  } catch (const std::exception& inner) {
    return inner.what();
  }
  return "";
}

// Runs `op`, expecting ERegistryException with exactly `text`; returns the
// text of its cause.
template <typename Op>
std::string ExpectRegistryError(Op op, const std::string& text) {
  try {
    op();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), text);
    return Cause(e);
  }
  ADD_FAILURE() << "no error, expected: " << text;
  return "";
}

class RegistryTest : public ::testing::Test {
 protected:
  RegistryTest() { reg_.SetRootKey(HKEY_LOCAL_MACHINE); }

  std::string HiveFile() const { return machine_.root() + "/system.reg"; }

  dosfs::testing::TempMachine machine_;
  TRegistry reg_;
};

// ---- ReadString: missing or zero-size values read as ""; only text types
// are read; the text ends at its first NUL ----

struct ReadCase {
  const char* what;
  uint32_t type;
  std::string data;
  std::string expected;  // when `error` is false
  bool error = false;
};

TEST_F(RegistryTest, ReadStringRules) {
  const ReadCase cases[] = {
      {"text", REG_SZ, "D:\\IDAPI", "D:\\IDAPI"},
      {"GB2312 text", REG_SZ, "C:\\\xC4\xE3", "C:\\\xC4\xE3"},
      {"text with its NUL", REG_SZ, "abc\0"s, "abc"},
      {"embedded NUL cuts", REG_SZ, "ab\0cd"s, "ab"},
      {"NUL first", REG_SZ, "\0cd"s, ""},
      {"expandable text is not expanded", REG_EXPAND_SZ, "%WINDIR%\\x", "%WINDIR%\\x"},
      {"zero-size text", REG_SZ, "", ""},
      {"zero-size expandable", REG_EXPAND_SZ, "", ""},
      {"zero-size REG_NONE", REG_NONE, "", ""},
      {"zero-size binary", REG_BINARY, "", ""},
      {"zero-size dword", REG_DWORD, "", ""},
      {"zero-size odd type", 0x1234, "", ""},
      {"dword", REG_DWORD, "\x0a\0\0\0"s, "", true},
      {"binary", REG_BINARY, "text", "", true},
      {"REG_NONE with data", REG_NONE, "x", "", true},
      {"multi-string", 7, "a\0\0"s, "", true},
  };
  ASSERT_TRUE(reg_.OpenKey("\\software\\borland\\blw32", true));
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.what);
    registry::PutValue(kBlw32, "BLAPIPATH", c.type, c.data);
    if (c.error) {
      ExpectRegistryError([&] { reg_.ReadString("BLAPIPATH"); }, "Invalid data type for 'BLAPIPATH'");
    } else {
      EXPECT_EQ(reg_.ReadString("BLAPIPATH"), c.expected);
    }
  }
}

TEST_F(RegistryTest, MissingValuesKeysAndNoCurrentKeyReadEmpty) {
  registry::PutValue(kBlw32, "BLAPIPATH", REG_SZ, "x");
  EXPECT_EQ(reg_.ReadString("BLAPIPATH"), "");  // no key is open
  ASSERT_TRUE(reg_.OpenKey("\\SOFTWARE\\Borland\\BLW32", false));
  EXPECT_EQ(reg_.ReadString("blapipath"), "x");
  EXPECT_EQ(reg_.ReadString("DLLPATH"), "");
  // The current key removed behind our back (the hive edited by hand).
  std::ofstream(HiveFile(), std::ios::binary) << "REGEDIT4\n";
  EXPECT_EQ(reg_.ReadString("BLAPIPATH"), "");
  ExpectRegistryError([&] { reg_.WriteString("BLAPIPATH", "y"); }, "Failed to set data for 'BLAPIPATH'");
  EXPECT_EQ(ReadAll(HiveFile()), "REGEDIT4\n");
}

// ---- WriteString: REG_SZ with exactly the text's bytes ----

TEST_F(RegistryTest, WriteStringStoresExactlyTheTextAsRegSz) {
  registry::PutValue(kBlw32, "BLAPIPATH", REG_DWORD, "\x01\0\0\0"s);
  registry::PutValue(kBlw32, "DLLPATH", REG_EXPAND_SZ, "%P%");
  ASSERT_TRUE(reg_.OpenKey("\\software\\borland\\blw32", true));
  reg_.WriteString("blapipath", "D:\\IDAPI;C:\\APP");
  reg_.WriteString("DLLPATH", "\xC4\xE3\"\\");
  reg_.WriteString("LOCALE_LIB6", "");
  EXPECT_EQ(registry::GetValue(kBlw32, "BLAPIPATH"), (Value{"BLAPIPATH", REG_SZ, "D:\\IDAPI;C:\\APP"}));
  EXPECT_EQ(registry::GetValue(kBlw32, "DLLPATH"), (Value{"DLLPATH", REG_SZ, "\xC4\xE3\"\\"}));
  EXPECT_EQ(registry::GetValue(kBlw32, "LOCALE_LIB6"), (Value{"LOCALE_LIB6", REG_SZ, ""}));
  EXPECT_EQ(reg_.ReadString("BLAPIPATH"), "D:\\IDAPI;C:\\APP");
  EXPECT_THAT(ReadAll(HiveFile()), HasSubstr("[HKEY_LOCAL_MACHINE\\software\\borland\\blw32]\n"
                                             "\"BLAPIPATH\"=\"D:\\\\IDAPI;C:\\\\APP\"\n"
                                             "\"DLLPATH\"=\"\xC4\xE3\\\"\\\\\"\n"
                                             "\"LOCALE_LIB6\"=\"\"\n"));
}

TEST_F(RegistryTest, WriteStringWithoutCurrentKeyFails) {
  ExpectRegistryError([&] { reg_.WriteString("LANGDRIVER", "china"); }, "Failed to set data for 'LANGDRIVER'");
  ASSERT_TRUE(reg_.OpenKey("\\a", true));
  reg_.CloseKey();
  ExpectRegistryError([&] { reg_.WriteString("LANGDRIVER", "china"); }, "Failed to set data for 'LANGDRIVER'");
  EXPECT_EQ(registry::GetValue("HKEY_LOCAL_MACHINE\\a", "LANGDRIVER"), std::nullopt);
}

// ---- Keys: creation, the current key, relative and absolute paths ----

TEST_F(RegistryTest, CreateKeyMakesTheChainAndKeepsExistingCase) {
  registry::PutValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland", "v", REG_SZ, "1");
  reg_.CreateKey("\\software\\borland\\database engine\\settings\\drivers");
  reg_.CreateKey("\\software\\borland\\database engine\\settings\\drivers");
  EXPECT_EQ(ReadAll(HiveFile()),
            "REGEDIT4\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland]\n\"v\"=\"1\"\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\database engine]\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\database engine\\settings]\n\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland\\database engine\\settings\\drivers]\n\n");
}

TEST_F(RegistryTest, CreateKeyLeavesTheCurrentKeyAlone) {
  ASSERT_TRUE(reg_.OpenKey("\\software\\borland\\blw32", true));
  reg_.CreateKey("\\software\\borland\\database engine");
  reg_.WriteString("BLAPIPATH", "C:\\APP");
  EXPECT_NE(registry::GetValue(kBlw32, "BLAPIPATH"), std::nullopt);
  EXPECT_EQ(registry::GetValue("HKEY_LOCAL_MACHINE\\software\\borland\\database engine", "BLAPIPATH"), std::nullopt);
}

// Without a leading backslash a path starts at the current key (at the root
// key when none is open); with one, always at the root key.
TEST_F(RegistryTest, RelativeAndAbsolutePaths) {
  reg_.CreateKey("top");  // no current key: below the root
  ASSERT_TRUE(reg_.OpenKey("\\software", true));
  ASSERT_TRUE(reg_.OpenKey("borland", true));  // software\borland
  reg_.CreateKey("blw32");                     // software\borland\blw32
  reg_.CreateKey("\\other");                   // the root's child, not software's
  ASSERT_TRUE(reg_.OpenKey("blw32", false));
  reg_.WriteString("v", "1");
  EXPECT_NE(registry::GetValue(kBlw32, "v"), std::nullopt);
  registry::Hive hive = registry::LoadHive(HiveFile());
  for (const char* path : {"HKEY_LOCAL_MACHINE\\top", "HKEY_LOCAL_MACHINE\\other"})
    EXPECT_NE(hive.FindKey(path), nullptr) << path;
  EXPECT_EQ(hive.FindKey("HKEY_LOCAL_MACHINE\\software\\borland\\other"), nullptr);
}

TEST_F(RegistryTest, OpenKeyFailureKeepsTheCurrentKeyAndNeverRaises) {
  ASSERT_TRUE(reg_.OpenKey("\\software\\borland\\blw32", true));
  EXPECT_FALSE(reg_.OpenKey("\\software\\missing", false));
  EXPECT_FALSE(reg_.OpenKey("\\a\\\\b", true));
  reg_.WriteString("v", "1");
  EXPECT_NE(registry::GetValue(kBlw32, "v"), std::nullopt);
  EXPECT_EQ(registry::LoadHive(HiveFile()).FindKey("HKEY_LOCAL_MACHINE\\software\\missing"), nullptr);
}

TEST_F(RegistryTest, RootKeySelectsTheSectionAndChangingItClosesTheKey) {
  TRegistry fresh;
  EXPECT_EQ(fresh.RootKey(), HKEY_CURRENT_USER);
  ASSERT_TRUE(fresh.OpenKey("\\software", true));
  fresh.WriteString("v", "user");
  fresh.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_EQ(fresh.RootKey(), HKEY_LOCAL_MACHINE);
  ExpectRegistryError([&] { fresh.WriteString("v", "machine"); }, "Failed to set data for 'v'");
  EXPECT_EQ(registry::GetValue("HKEY_CURRENT_USER\\software", "v"), (Value{"v", REG_SZ, "user"}));
  EXPECT_EQ(registry::GetValue("HKEY_LOCAL_MACHINE\\software", "v"), std::nullopt);
  fresh.SetRootKey(0x12345);
  EXPECT_FALSE(fresh.OpenKey("\\software", true));
  ExpectRegistryError([&] { fresh.CreateKey("\\software"); }, "Failed to create key \\software");
}

TEST_F(RegistryTest, InvalidKeyPathFailsWithThePathAsPassed) {
  ExpectRegistryError([&] { reg_.CreateKey("\\software\\\\borland"); }, "Failed to create key \\software\\\\borland");
  ExpectRegistryError([&] { reg_.CreateKey("\\\\software"); }, "Failed to create key \\\\software");
  EXPECT_FALSE(fs::exists(HiveFile()));
}

// ---- A hive that cannot be written or read ----

TEST_F(RegistryTest, HiveThatCannotExistFailsCreateKeyAndWritesNothing) {
  // The machine root lies below a plain file, so no directory can be made.
  const std::string blocker = machine_.root() + "/blocker";
  std::ofstream(blocker) << "x";
  dosfs::UseMachine(blocker + "/machine");
  std::string cause = ExpectRegistryError([&] { reg_.CreateKey("\\software\\borland\\blw32"); },
                                          "Failed to create key \\software\\borland\\blw32");
  EXPECT_THAT(cause, HasSubstr(blocker));
  EXPECT_FALSE(reg_.OpenKey("\\software\\borland\\blw32", true));
  EXPECT_EQ(ReadAll(blocker), "x");
}

TEST_F(RegistryTest, ReadOnlyMachineRootFailsCreateKeyAndWritesNothing) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only directories";
  const std::string dir = machine_.root() + "/ro";
  fs::create_directory(dir);
  fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
  dosfs::UseMachine(dir);
  ExpectRegistryError([&] { reg_.CreateKey("\\software\\borland\\blw32"); },
                      "Failed to create key \\software\\borland\\blw32");
  fs::permissions(dir, fs::perms::owner_all);
  EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(RegistryTest, CorruptHiveFailsEveryOperationAndStaysAsItIs) {
  ASSERT_TRUE(reg_.OpenKey("\\software\\borland\\blw32", true));
  const std::string corrupt = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\software]\nthis is no value\n";
  std::ofstream(HiveFile(), std::ios::binary) << corrupt;

  std::string cause = ExpectRegistryError([&] { reg_.CreateKey("\\software\\borland\\blw32"); },
                                          "Failed to create key \\software\\borland\\blw32");
  EXPECT_THAT(cause, HasSubstr(HiveFile() + ", line 4: "));
  cause = ExpectRegistryError([&] { reg_.ReadString("BLAPIPATH"); }, "Failed to get data for 'BLAPIPATH'");
  EXPECT_THAT(cause, HasSubstr(HiveFile() + ", line 4: "));
  ExpectRegistryError([&] { reg_.WriteString("BLAPIPATH", "C:\\APP"); }, "Failed to set data for 'BLAPIPATH'");
  EXPECT_FALSE(reg_.OpenKey("\\software", true));
  EXPECT_FALSE(reg_.OpenKey("\\software", false));

  EXPECT_EQ(ReadAll(HiveFile()), corrupt);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(machine_.root())) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a", "c", "drives", "system.reg", "system.reg.lock"}));
}

TEST_F(RegistryTest, MissingMachineRootIsCreatedOnFirstWrite) {
  const std::string root = machine_.root() + "/new/machine";
  dosfs::UseMachine(root);
  ASSERT_TRUE(reg_.OpenKey("\\software\\borland\\blw32", true));
  reg_.WriteString("BLAPIPATH", "C:\\APP");
  EXPECT_THAT(ReadAll(root + "/system.reg"), HasSubstr("\"BLAPIPATH\"=\"C:\\\\APP\"\n"));
}

// ---- Concurrent writers ----

// Each writer sets `count` values of its own through its own TRegistry.
void WriteMany(int writer, int count) {
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  reg.CreateKey("\\software\\shared");
  if (!reg.OpenKey("\\software\\shared", true)) throw ERegistryException("cannot open");
  for (int i = 0; i < count; ++i)
    reg.WriteString("w" + std::to_string(writer) + "_" + std::to_string(i), std::to_string(i));
}

void ExpectAllWritten(int writers, int count) {
  registry::Hive hive = registry::LoadHive(registry::HivePath());
  const registry::Key* key = hive.FindKey("HKEY_LOCAL_MACHINE\\software\\shared");
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->Values().size(), static_cast<size_t>(writers * count));
  for (int w = 0; w < writers; ++w)
    for (int i = 0; i < count; ++i) {
      const Value* v = key->FindValue("w" + std::to_string(w) + "_" + std::to_string(i));
      ASSERT_NE(v, nullptr) << "lost w" << w << "_" << i;
      EXPECT_EQ(v->data, std::to_string(i));
    }
}

constexpr int kWriters = 3;
constexpr int kValuesEach = 60;

TEST_F(RegistryTest, WritersInSeveralProcessesLoseNothing) {
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int rc = 0;
      try {
        WriteMany(w, kValuesEach);
      } catch (...) {
        rc = 1;
      }
      _exit(rc);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  ExpectAllWritten(kWriters, kValuesEach);
}

TEST_F(RegistryTest, WritersInSeveralThreadsLoseNothing) {
  std::vector<std::thread> threads;
  std::vector<int> failed(kWriters, 0);
  for (int w = 0; w < kWriters; ++w)
    threads.emplace_back([w, &failed] {
      try {
        WriteMany(w, kValuesEach);
      } catch (...) {
        failed[w] = 1;
      }
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failed, std::vector<int>(kWriters, 0));
  ExpectAllWritten(kWriters, kValuesEach);
}

}  // namespace
