#include "progman.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "progman_store.h"
#include "testing_machine.h"

namespace progman {
namespace {

struct ParseCase {
  const char* text;
  std::vector<Command> commands;
};

// Arguments are split at commas as they stand; only quotes protect commas.
TEST(ProgmanParseExecute, SplitsCommandsAndArguments) {
  const ParseCase cases[] = {
      {"[creategroup(SALES)]", {{"creategroup", {"SALES"}}}},
      {"[creategroup()]", {{"creategroup", {""}}}},
      {"[Reload]", {{"Reload", {}}}},
      {"[creategroup(X)][showgroup(X,1)]", {{"creategroup", {"X"}}, {"showgroup", {"X", "1"}}}},
      {" \r\n[ AddItem (a, b ,c,) ] \t", {{"AddItem", {"a", " b ", "c", ""}}}},
      {"[additem(\"C:\\A,B.EXE\",\"X (1)\")]", {{"additem", {"C:\\A,B.EXE", "X (1)"}}}},
      {"[creategroup(A(B)]", {{"creategroup", {"A(B"}}}},
      // GBK second bytes may be '[' or ']': inside an argument they are data.
      {"[creategroup(\x81\x5B\x81\x5D)]", {{"creategroup", {"\x81\x5B\x81\x5D"}}}},
  };
  for (const ParseCase& c : cases) {
    auto got = ParseExecute(c.text);
    ASSERT_TRUE(got) << c.text;
    EXPECT_EQ(*got, c.commands) << c.text;
  }
}

TEST(ProgmanParseExecute, RefusesBrokenSyntax) {
  const char* bad[] = {
      "",     " ",   "creategroup(A)", "[creategroup(A)", "[creategroup(A]",  "[(A)]",
      "[creategroup(A)B)]",  // a ')' inside a name ends the arguments early
      "[creategroup(A)] x", "[additem(\"A)]", "[additem(\"A\"B)]", "[a-b]",
  };
  for (const char* text : bad) EXPECT_FALSE(ParseExecute(text)) << text;
}

class ProgmanCommandsTest : public ::testing::Test {
 protected:
  dosfs::testing::TempMachine machine_;
  ProgramManager pm_{machine_.root()};

  std::optional<Group> Stored(const std::string& name) { return ReadGroup(machine_.root(), name); }
};

TEST_F(ProgmanCommandsTest, CarriesOutTheInstallersCommands) {
  EXPECT_TRUE(pm_.Execute("[creategroup(SALES)]"));
  EXPECT_TRUE(pm_.Execute("[showgroup(SALES,1)]"));
  EXPECT_TRUE(pm_.Execute("[additem(D:\\SALES\\SALES.EXE,SALES SYSTEM,D:\\SALES\\SALES.EXE,0)]"));
  Item item{"D:\\SALES\\SALES.EXE", "SALES SYSTEM", "D:\\SALES\\SALES.EXE", 0};
  EXPECT_EQ(Stored("SALES"), (Group{"SALES", {item}}));

  // A second installation: creategroup activates the existing group, keeping
  // its items, and the same item is added once more.
  ProgramManager again(machine_.root());
  EXPECT_TRUE(again.Execute("[CREATEGROUP(SALES)][ShowGroup(SALES,1)][AddItem(D:\\SALES\\SALES.EXE,"
                            "SALES SYSTEM,D:\\SALES\\SALES.EXE,0)]"));
  EXPECT_EQ(Stored("SALES"), (Group{"SALES", {item, item}}));
}

TEST_F(ProgmanCommandsTest, AddsToTheActiveGroup) {
  ASSERT_TRUE(pm_.Execute("[creategroup(A)][creategroup(B)]"));
  EXPECT_TRUE(pm_.Execute("[additem(X.EXE)]"));
  EXPECT_TRUE(pm_.Execute("[showgroup(A,1)][additem(Y.EXE,,,)]"));
  EXPECT_EQ(Stored("A"), (Group{"A", {{"Y.EXE", "", "", 0}}}));
  EXPECT_EQ(Stored("B"), (Group{"B", {{"X.EXE", "", "", 0}}}));
}

// A refused command leaves the store and the active group as they were, and
// skips the rest of its execute string only.
TEST_F(ProgmanCommandsTest, RefusesWrongCommandsWithoutHarm) {
  ASSERT_TRUE(pm_.Execute("[creategroup(A)][additem(A.EXE)]"));
  const Group a = *Stored("A");
  const char* refused[] = {
      "[deletegroup(A)]",          "[creategroup]",          "[creategroup(A,B)]",
      "[showgroup(NONE,1)]",       "[showgroup(A)]",         "[showgroup(A,9)]",
      "[showgroup(A,x)]",          "[additem()]",            "[additem(A,B,C,x)]",
      "[additem(A,B,C,0,5)]",      "[unknown][creategroup(B)]",
      "[creategroup(C)][additem(C.EXE)",  // broken syntax: nothing of it runs
  };
  for (const char* text : refused) {
    EXPECT_FALSE(pm_.Execute(text)) << text;
    EXPECT_EQ(pm_.ActiveGroup(), "A") << text;
  }
  EXPECT_EQ(ReadGroups(machine_.root()), (std::vector<Group>{a}));
  EXPECT_TRUE(pm_.Execute("[additem(B.EXE)]")) << "later commands still work";
  EXPECT_EQ(Stored("A")->items.size(), 2u);
}

TEST_F(ProgmanCommandsTest, AddItemNeedsAnActiveGroup) {
  EXPECT_FALSE(pm_.Execute("[additem(A.EXE)]"));
  EXPECT_TRUE(ReadGroups(machine_.root()).empty());
}

TEST_F(ProgmanCommandsTest, LeavesAnUnreadableGroupFileAlone) {
  std::filesystem::create_directories(GroupsDir(machine_.root()));
  std::string file = GroupsDir(machine_.root()) + "/" + GroupFileName("A");
  std::ofstream(file) << "not a group\n";
  EXPECT_FALSE(pm_.Execute("[creategroup(A)]"));
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "not a group");
}

TEST_F(ProgmanCommandsTest, KeepsNamesAsBytes) {
  std::string name(kMaxGroupName, '\xB0');
  EXPECT_TRUE(pm_.Execute("[creategroup(" + name + ")][additem(\xD6\xD0.EXE,\xB2\xE2\xCA\xD4)]"));
  EXPECT_EQ(Stored(name), (Group{name, {{"\xD6\xD0.EXE", "\xB2\xE2\xCA\xD4", "", 0}}}));
  EXPECT_FALSE(pm_.Execute("[creategroup(" + name + "X)]")) << "a name too long to store";
}

}  // namespace
}  // namespace progman
