#include "progman_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "testing_machine.h"

namespace fs = std::filesystem;

namespace progman {
namespace {

// The documented file text of the installer's typical group.
TEST(ProgmanGroupFormat, WritesTheDocumentedText) {
  Group sales{"SALES", {{"D:\\SALES\\SALES.EXE", "SALES SYSTEM", "D:\\SALES\\SALES.EXE", 0}}};
  EXPECT_EQ(FormatGroup(sales),
            "[Group]\nName=SALES\n\n[Item]\nCmdLine=D:\\SALES\\SALES.EXE\nCaption=SALES SYSTEM\n"
            "IconPath=D:\\SALES\\SALES.EXE\nIconIndex=0\n");
}

// Every byte string survives the file: GB2312 stays raw, line breaks, '%' and
// '=' inside values do not break the line structure.
TEST(ProgmanGroupFormat, RoundTripsAnyBytes) {
  const Group cases[] = {
      {"", {}},
      {"\xCF\xFA\xCA\xDB", {{"C:\\\xD6\xD0\\A.EXE", "\xB2\xE2\xCA\xD4", "", -3}}},
      {"A=B%41\r\n\x01\x7F", {{"x=y", "100%", "line\nbreak", 2147483647}, {"SECOND", "", "", 0}}},
      {"[Group]", {{"[Item]", "Name=X", "", 1}}},
  };
  for (const Group& g : cases) {
    std::string text = FormatGroup(g);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2 + 6 * static_cast<long>(g.items.size())) << text;
    EXPECT_EQ(ParseGroup(text), g) << text;
  }
  std::string gb = FormatGroup(cases[1]);
  EXPECT_NE(gb.find("Name=\xCF\xFA\xCA\xDB\n"), std::string::npos) << "GB2312 bytes are kept readable";
}

TEST(ProgmanGroupFormat, RefusesTextsOutsideTheFormat) {
  const char* bad[] = {
      "",                                        // no group at all
      "Name=A\n",                                // value before any section
      "[Item]\nCmdLine=A\n",                     // item before the group
      "[Group]\n",                               // group without a name
      "[Group]\nName=A\n[Group]\nName=B\n",      // two groups
      "[Group]\nCaption=A\n",                    // item key in the group
      "[Group]\nName=A\n[Item]\nColour=red\n",   // unknown key
      "[Group]\nName=A\n[Item]\nCmdLine\n",      // no '='
      "[Group]\nName=A%4\n",                     // escape cut short
      "[Group]\nName=A%G1\n",                    // escape not hex
      "[Group]\nName=A\n[Item]\nIconIndex=one\n",
  };
  for (const char* text : bad) EXPECT_FALSE(ParseGroup(text)) << text;
  EXPECT_EQ(ParseGroup("[Group]\r\nName=A\r\n"), (Group{"A", {}})) << "CR LF lines read as well";
}

TEST(ProgmanGroupFileName, IsSafeAndDistinctForAnyName) {
  const std::string names[] = {"", "SALES", "sales", "A/B", "..", std::string("A\0B", 3), "\xCF\xFA\xCA\xDB",
                               std::string(kMaxGroupName, '\xFF')};
  std::set<std::string> files;
  for (const std::string& name : names) {
    std::string file = GroupFileName(name);
    EXPECT_LE(file.size(), 255u);
    EXPECT_EQ(file.find_first_not_of("group-0123456789ABCDEF.txt"), std::string::npos) << file;
    files.insert(file);
  }
  EXPECT_EQ(files.size(), std::size(names));
  EXPECT_EQ(GroupFileName("SALES"), "group-53414C4553.txt");
}

class ProgmanStoreTest : public ::testing::Test {
 protected:
  dosfs::testing::TempMachine machine_;
  std::string root_ = machine_.root();
};

TEST_F(ProgmanStoreTest, WritesReplacesAndReadsGroups) {
  Group a{"A", {{"C:\\A.EXE", "", "", 0}}};
  Group b{"\xCF\xFA\xCA\xDB", {}};
  ASSERT_TRUE(WriteGroup(root_, a));
  ASSERT_TRUE(WriteGroup(root_, b));
  a.items.push_back({"C:\\B.EXE", "B", "C:\\B.EXE", 1});
  ASSERT_TRUE(WriteGroup(root_, a));

  EXPECT_EQ(ReadGroup(root_, "A"), a);
  EXPECT_EQ(ReadGroup(root_, b.name), b);
  EXPECT_FALSE(ReadGroup(root_, "a")) << "names are exact bytes";
  EXPECT_EQ(ReadGroups(root_), (std::vector<Group>{a, b}));
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(GroupsDir(root_))) files.push_back(e.path().filename().string());
  EXPECT_EQ(files.size(), 2u) << "no temporary file is left behind";
}

TEST_F(ProgmanStoreTest, RefusesTooLongNamesAndMisplacedFiles) {
  EXPECT_TRUE(WriteGroup(root_, {std::string(kMaxGroupName, 'N'), {}}));
  EXPECT_FALSE(WriteGroup(root_, {std::string(kMaxGroupName + 1, 'N'), {}}));

  // A group file under another group's file name is not that group.
  ASSERT_TRUE(WriteGroup(root_, {"B", {}}));
  fs::rename(fs::path(GroupsDir(root_)) / GroupFileName("B"), fs::path(GroupsDir(root_)) / GroupFileName("C"));
  EXPECT_FALSE(ReadGroup(root_, "C"));
  EXPECT_FALSE(ReadGroup(root_, "B"));
  EXPECT_EQ(ReadGroups(root_).size(), 1u);
}

TEST_F(ProgmanStoreTest, NothingStoredReadsAsNoGroups) {
  EXPECT_FALSE(ReadGroup(root_, "A"));
  EXPECT_TRUE(ReadGroups(root_).empty());
}

}  // namespace
}  // namespace progman
