#include <gtest/gtest.h>

#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <optional>

#include "dde.h"
#include "hive.h"
#include "progman_store.h"
#include "testing_server.h"
#include "installer_harness.h"
#include "s_azh1.h"
#include "s_bj1.h"

namespace {

const std::string kBlw32 = "HKEY_LOCAL_MACHINE\\software\\borland\\blw32";
const std::string kEngine = "HKEY_LOCAL_MACHINE\\software\\borland\\database engine";
const std::string kInit = kEngine + "\\settings\\system\\init";
const std::string kDrivers = kEngine + "\\settings\\drivers";

struct Existing {
  std::string key, name;
  uint32_t type;
  std::string data;
};
struct Expected {
  std::string key, name, data;
  uint32_t type = REG_SZ;
};

std::string Dword(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }



}  // namespace

// The search paths are extended, never replaced; the libraries are filled
// in only where nothing is set; the language driver is always written.
TEST(WriteEngineSettings, Rules) {
  const struct { const char* name; std::vector<Existing> before; std::vector<Expected> after; } cases[] = {
      {"a fresh machine",
       {},
       {{kBlw32, "BLAPIPATH", "C:\\APP"},
        {kBlw32, "LOCALE_LIB3", "C:\\APP\\charset.bll"},
        {kBlw32, "LOCALE_LIB6", "C:\\APP\\fareast.bll"},
        {kEngine, "DLLPATH", "C:\\APP"},
        {kInit, "LANGDRIVER", "china"}}},
      {"another path is extended",
       {{kBlw32, "BLAPIPATH", REG_SZ, "D:\\IDAPI"}},
       {{kBlw32, "BLAPIPATH", "D:\\IDAPI;C:\\APP"}}},
      {"found anywhere, also inside a longer entry",
       {{kEngine, "DLLPATH", REG_SZ, "C:\\APPS"}, {kBlw32, "BLAPIPATH", REG_SZ, "X;C:\\APP\\BIN"}},
       {{kEngine, "DLLPATH", "C:\\APPS"}, {kBlw32, "BLAPIPATH", "X;C:\\APP\\BIN"}}},
      {"the search is case-sensitive",
       {{kEngine, "DLLPATH", REG_SZ, "c:\\app"}},
       {{kEngine, "DLLPATH", "c:\\app;C:\\APP"}}},
      {"exactly one separator is added",
       {{kBlw32, "BLAPIPATH", REG_SZ, "D:\\IDAPI;"}},
       {{kBlw32, "BLAPIPATH", "D:\\IDAPI;;C:\\APP"}}},
      {"a library set elsewhere is kept; an empty one is filled",
       {{kBlw32, "LOCALE_LIB3", REG_SZ, "D:\\OLD\\charset.bll"}, {kBlw32, "LOCALE_LIB6", REG_SZ, ""}},
       {{kBlw32, "LOCALE_LIB3", "D:\\OLD\\charset.bll"}, {kBlw32, "LOCALE_LIB6", "C:\\APP\\fareast.bll"}}},
      {"the language driver is replaced",
       {{kInit, "LANGDRIVER", REG_SZ, "ascii"}},
       {{kInit, "LANGDRIVER", "china"}}},
      {"zero-length data of any type counts as empty",
       {{kBlw32, "BLAPIPATH", REG_DWORD, ""}, {kEngine, "DLLPATH", REG_BINARY, ""}},
       {{kBlw32, "BLAPIPATH", "C:\\APP"}, {kEngine, "DLLPATH", "C:\\APP"}}},
      {"an expandable path is extended unexpanded and written back as a string",
       {{kBlw32, "BLAPIPATH", REG_EXPAND_SZ, "%ROOT%\\IDAPI"}},
       {{kBlw32, "BLAPIPATH", "%ROOT%\\IDAPI;C:\\APP"}}},
      {"text ends at its first NUL",
       {{kEngine, "DLLPATH", REG_SZ, std::string("D:\\X\0C:\\APP", 11)}},
       {{kEngine, "DLLPATH", "D:\\X;C:\\APP"}}},
  };
  for (const auto& c : cases) {
    // Drive C, first directory \APP, on a machine holding `before`.
    ScriptedUser user;
    harness::Program p(user, "[DIR]\r\n\\APP\r\n");
    for (const auto& e : c.before) registry::PutValue(e.key, e.name, e.type, e.data);
    TargetDrive = 'C';
    WriteEngineSettings();
    for (const auto& e : c.after) {
      auto v = registry::GetValue(e.key, e.name);
      ASSERT_TRUE(v) << c.name << ": " << e.name;
      EXPECT_EQ(v->data, e.data) << c.name << ": " << e.name;
      EXPECT_EQ(v->type, e.type) << c.name << ": " << e.name;
    }
    const registry::Hive hive = registry::LoadHive(registry::HivePath());
    EXPECT_TRUE(hive.FindKey(kDrivers)) << c.name;  // made, and left empty
  }
}

// A value of the wrong type stops the phase with the registry error; what
// comes after it is not written.
TEST(WriteEngineSettings, WrongTypeRaises) {
  ScriptedUser user;
  harness::Program p(user, "[DIR]\r\n\\APP\r\n");
  registry::PutValue(kBlw32, "BLAPIPATH", REG_DWORD, Dword(1));
  TargetDrive = 'C';
  try {
    WriteEngineSettings();
    FAIL();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), "Invalid data type for 'BLAPIPATH'");
  }
  EXPECT_FALSE(registry::GetValue(kBlw32, "LOCALE_LIB3"));
  EXPECT_FALSE(registry::GetValue(kInit, "LANGDRIVER"));
}

// Without the right to write the hive, creating the first key fails and
// nothing is written.
TEST(WriteEngineSettings, NoRights) {
  ScriptedUser user;
  harness::Program p(user, "[DIR]\r\n\\APP\r\n");
  std::filesystem::create_directories(registry::HivePath());  // a directory where the hive belongs
  TargetDrive = 'C';
  try {
    WriteEngineSettings();
    FAIL();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.Message(), "Failed to create key \\software\\borland\\blw32");
  }
}

// ------------------------------------------------------------ program group

namespace {

// The program with its [GROUP] lines read and the real progman listening.
struct WithProgman {
  explicit WithProgman(const std::string& groupLines) : p(user, "[GROUP]\r\n" + groupLines) {
    dde::SetProgramDir("/nonexistent");  // only the server started here
    server = dde::testing::StartServer(p.machine.root(), 60);
    EXPECT_TRUE(dde::testing::WaitUntil([&] { return dde::testing::Listening(p.machine.root()); }));
    TargetDrive = 'D';
  }
  ~WithProgman() {
    kill(server, SIGTERM);
    dde::testing::WaitExit(server);
    dde::SetProgramDir("");
  }
  // The group once it holds `items` items (or whatever is there at the end
  // of the wait).
  std::optional<progman::Group> Group(const std::string& name, size_t items) {
    std::optional<progman::Group> g;
    dde::testing::WaitUntil([&] {
      g = progman::ReadGroup(p.machine.root(), name);
      return g && g->items.size() >= items;
    });
    return g;
  }
  ScriptedUser user;
  harness::Program p;
  pid_t server = -1;
};

}  // namespace

// The three commands reach Program Manager as built: a group holding one
// item; a second installation adds the item again.
TEST(CreateProgramGroup, MakesTheGroupAndItem) {
  WithProgman pm("Sales\r\nSales System\r\n\\SALES\\SALES.EXE\r\n");
  CreateProgramGroup();
  auto g = pm.Group("SALES", 1);
  ASSERT_TRUE(g);
  ASSERT_EQ(g->items.size(), 1u);
  EXPECT_EQ(g->items[0].cmdLine, "D:\\SALES\\SALES.EXE");
  EXPECT_EQ(g->items[0].caption, "SALES SYSTEM");
  EXPECT_EQ(g->items[0].iconPath, "D:\\SALES\\SALES.EXE");
  CreateProgramGroup();
  g = pm.Group("SALES", 2);
  ASSERT_TRUE(g);
  EXPECT_EQ(g->items.size(), 2u);
}

// Texts are joined as they stand: missing lines stay empty, GB2312 bytes
// arrive as bytes, a command beyond MessageBuffer arrives whole.
TEST(CreateProgramGroup, CommandsAsTheyStand) {
  const std::string longCaption(180, 'C');
  const struct { const char* name; std::string lines, group, caption; } cases[] = {
      {"no [GROUP] lines", "", "", ""},
      {"one line", "Only\r\n", "ONLY", ""},
      {"GB2312 name", "演示程序\r\n演示\r\n\\A.EXE\r\n", "演示程序", "演示"},
      {"200-byte command", "G\r\n" + longCaption + "\r\n\\A.EXE\r\n", "G", longCaption},
  };
  for (const auto& c : cases) {
    WithProgman pm(c.lines);
    CreateProgramGroup();
    auto g = pm.Group(c.group, 1);
    ASSERT_TRUE(g) << c.name;
    ASSERT_EQ(g->items.size(), 1u) << c.name;
    EXPECT_EQ(g->items[0].caption, c.caption) << c.name;
  }
}

// The three commands, byte for byte, in order. Without Program Manager and
// nothing to start, nothing is sent, nothing is shown and nothing raised.
TEST(CreateProgramGroup, CommandTextsWithoutProgramManager) {
  ScriptedUser user;  // any message box would fail the test
  harness::Program p(user, "[GROUP]\r\nSales\r\nSales System\r\n\\SALES\\SALES.EXE\r\n");
  const std::string trace = p.machine.root() + "/trace.txt";
  setenv("KELVORA_TRACE", trace.c_str(), 1);
  dde::SetProgramDir("/nonexistent");
  TargetDrive = 'D';
  CreateProgramGroup();
  dde::SetProgramDir("");
  unsetenv("KELVORA_TRACE");
  std::ifstream in(trace);
  std::stringstream lines;
  lines << in.rdbuf();
  EXPECT_EQ(lines.str(),
            "dde progman execute [creategroup(SALES)] (no conversation)\n"
            "dde progman execute [showgroup(SALES,1)] (no conversation)\n"
            "dde progman execute [additem(D:\\SALES\\SALES.EXE,SALES SYSTEM,D:\\SALES\\SALES.EXE,0)] (no conversation)\n");
}
