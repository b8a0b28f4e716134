// The conversation against the real progman server.
#include "dde.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "progman_store.h"
#include "testing_machine.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using progman::Group;
using progman::Item;

const std::string kProgman = PROGMAN_EXE;

// Polls `done` until it holds or a generous bound passes.
bool WaitUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 750; ++i) {  // 15 s
    if (done()) return true;
    usleep(20'000);
  }
  return done();
}

bool Listening(const std::string& root) {
  std::string path = dde::ServiceSocketPath(root, "progman");
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

// Starts progman for `root` as the test's child.
pid_t StartServer(const std::string& root, int idleSeconds) {
  std::string machine = "KELVORA_MACHINE=" + root;
  std::string idle = std::to_string(idleSeconds);
  pid_t pid = fork();
  if (pid == 0) {
    setenv("KELVORA_MACHINE", root.c_str(), 1);
    execl(kProgman.c_str(), "progman", "--idle-seconds", idle.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  return pid;
}

// The exit code of our child, or -1 when it has not ended within the bound.
int WaitExit(pid_t pid) {
  int status = 0;
  if (!WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; })) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Programs the conversation starts are detached; the test adopts them (as
// their subreaper) so that it can wait for them and leaves no zombie behind.
class AdoptDetached {
 public:
  AdoptDetached() { prctl(PR_SET_CHILD_SUBREAPER, 1); }
  ~AdoptDetached() { prctl(PR_SET_CHILD_SUBREAPER, 0); }
  // Waits for every adopted child to end; true when all did within the bound.
  bool WaitAll() {
    return WaitUntil([] {
      while (waitpid(-1, nullptr, WNOHANG) > 0) {
      }
      return waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD;
    });
  }
};

// One conversation as the installer holds it: open, execute each command
// without waiting, close at once.
bool Converse(const std::vector<std::string>& commands) {
  TDdeClientConv conv;
  conv.SetLink("progman", "");
  if (!conv.OpenLink()) return false;
  bool all = true;
  for (const std::string& c : commands) all = conv.ExecuteMacro(c.c_str(), false) && all;
  conv.CloseLink();
  return all;
}

const Item kSalesItem{"D:\\SALES\\SALES.EXE", "SALES SYSTEM", "D:\\SALES\\SALES.EXE", 0};
const std::vector<std::string> kSalesCommands = {
    "[creategroup(SALES)]", "[showgroup(SALES,1)]",
    "[additem(D:\\SALES\\SALES.EXE,SALES SYSTEM,D:\\SALES\\SALES.EXE,0)]"};

class ProgmanServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dde::SetProgramDir("/nonexistent");  // nothing is started behind the test's back
    Start();
  }
  void TearDown() override {
    if (server_ > 0) {
      kill(server_, SIGTERM);
      EXPECT_EQ(WaitExit(server_), 0) << "the server ends cleanly on SIGTERM";
    }
    dde::SetProgramDir("");
  }
  void Start() {
    server_ = StartServer(root_, 60);
    ASSERT_TRUE(WaitUntil([&] { return Listening(root_); }));
  }
  // Waits for the group to be stored with `items` items and returns it.
  std::optional<Group> GroupWith(const std::string& name, size_t items) {
    std::optional<Group> g;
    WaitUntil([&] {
      g = progman::ReadGroup(root_, name);
      return g && g->items.size() >= items;
    });
    return g;
  }

  dosfs::testing::TempMachine machine_;
  std::string root_ = machine_.root();
  pid_t server_ = -1;
};

TEST_F(ProgmanServerTest, TheInstallersCommandsCreateTheGroup) {
  ASSERT_TRUE(Converse(kSalesCommands));
  EXPECT_EQ(GroupWith("SALES", 1), (Group{"SALES", {kSalesItem}}));

  // A second installation adds a second item.
  ASSERT_TRUE(Converse(kSalesCommands));
  EXPECT_EQ(GroupWith("SALES", 2), (Group{"SALES", {kSalesItem, kSalesItem}}));
}

struct ArrivalCase {
  const char* what;
  std::vector<std::string> commands;
  Group expected;
};

TEST_F(ProgmanServerTest, CommandsArriveWhole) {
  const std::string caption(200 - std::string("[additem(L.EXE,,L.EXE,0)]").size(), 'C');
  const ArrivalCase cases[] = {
      {"empty group name", {"[creategroup()]", "[showgroup(,1)]", "[additem(E.EXE,E,E.EXE,0)]"},
       {"", {{"E.EXE", "E", "E.EXE", 0}}}},
      {"GB2312 name", {"[creategroup(\xCF\xFA\xCA\xDB)]", "[additem(D:\\X.EXE,\xB2\xE2\xCA\xD4,D:\\X.EXE,0)]"},
       {"\xCF\xFA\xCA\xDB", {{"D:\\X.EXE", "\xB2\xE2\xCA\xD4", "D:\\X.EXE", 0}}}},
      {"200-byte command", {"[creategroup(LONG)]", "[additem(L.EXE," + caption + ",L.EXE,0)]"},
       {"LONG", {{"L.EXE", caption, "L.EXE", 0}}}},
      {"names in any case", {"[CreateGroup(CASE)]", "[SHOWGROUP(CASE,1)]", "[AdDiTeM(C.EXE,C,C.EXE,0)]"},
       {"CASE", {{"C.EXE", "C", "C.EXE", 0}}}},
      {"several in one execute", {"[creategroup(ONE)][showgroup(ONE,1)][additem(O.EXE)]"},
       {"ONE", {{"O.EXE", "", "", 0}}}},
  };
  ASSERT_EQ(cases[2].commands[1].size(), 200u);
  for (const ArrivalCase& c : cases) {
    ASSERT_TRUE(Converse(c.commands)) << c.what;
    EXPECT_EQ(GroupWith(c.expected.name, c.expected.items.size()), c.expected) << c.what;
  }
}

TEST_F(ProgmanServerTest, RefusedCommandsDoNotStopTheStream) {
  ASSERT_TRUE(Converse({"[creategroup(KEEP)]", "[additem(K.EXE)]", "[deletegroup(KEEP)]", "[creategroup(BAD",
                        "[frobnicate(NEW)][creategroup(NEVER)]", "[creategroup(NEW)]"}));
  ASSERT_TRUE(GroupWith("NEW", 0));
  EXPECT_EQ(progman::ReadGroups(root_), (std::vector<Group>{{"KEEP", {{"K.EXE", "", "", 0}}}, {"NEW", {}}}));
}

TEST_F(ProgmanServerTest, GroupsSurviveARestart) {
  ASSERT_TRUE(Converse(kSalesCommands));
  ASSERT_TRUE(GroupWith("SALES", 1));
  kill(server_, SIGTERM);
  ASSERT_EQ(WaitExit(server_), 0);
  EXPECT_FALSE(Listening(root_));
  Start();
  ASSERT_TRUE(Converse(kSalesCommands));
  EXPECT_EQ(GroupWith("SALES", 2), (Group{"SALES", {kSalesItem, kSalesItem}}));
}

TEST_F(ProgmanServerTest, ASecondServerLeavesTheFirstInCharge) {
  pid_t second = StartServer(root_, 60);
  EXPECT_EQ(WaitExit(second), 0);
  ASSERT_TRUE(Converse(kSalesCommands));
  EXPECT_TRUE(GroupWith("SALES", 1));
}

// A conversation whose server has gone ends at the next command; the broken
// connection neither raises nor kills the client with SIGPIPE.
TEST_F(ProgmanServerTest, AConversationEndsWithItsServer) {
  TDdeClientConv conv;
  conv.SetLink("progman", "");
  ASSERT_TRUE(conv.OpenLink());
  kill(server_, SIGTERM);
  ASSERT_EQ(WaitExit(server_), 0);
  server_ = -1;
  EXPECT_FALSE(conv.ExecuteMacro("[creategroup(LOST)]", false));
  EXPECT_FALSE(conv.ExecuteMacro("[creategroup(LOST)]", false));
  EXPECT_FALSE(conv.OpenLink()) << "nothing listens any more, and nothing is started";
}

// A socket file left by a server that died is taken over.
TEST(ProgmanServer, ReplacesAStaleSocket) {
  dosfs::testing::TempMachine machine;
  std::string path = dde::ServiceSocketPath(machine.root(), "progman");
  fs::create_directories(fs::path(path).parent_path());
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  int stale = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  close(stale);
  ASSERT_FALSE(Listening(machine.root()));

  pid_t server = StartServer(machine.root(), 60);
  EXPECT_TRUE(WaitUntil([&] { return Listening(machine.root()); }));
  kill(server, SIGTERM);
  EXPECT_EQ(WaitExit(server), 0);
}

TEST(ProgmanServer, EndsByItselfWhenIdle) {
  dosfs::testing::TempMachine machine;
  pid_t server = StartServer(machine.root(), 1);
  ASSERT_TRUE(WaitUntil([&] { return Listening(machine.root()); }));
  int code = WaitExit(server);
  if (code < 0) kill(server, SIGKILL), waitpid(server, nullptr, 0);
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(fs::exists(dde::ServiceSocketPath(machine.root(), "progman")));
}

// With no server and no program to start, nothing is sent and nothing raises.
TEST(DdeConversation, WithoutServerOrProgramNothingIsSent) {
  dosfs::testing::TempMachine machine;
  dde::SetProgramDir(machine.root() + "/missing");
  TDdeClientConv conv;
  EXPECT_TRUE(conv.SetLink("progman", ""));
  EXPECT_FALSE(conv.OpenLink());
  EXPECT_FALSE(conv.ExecuteMacro("[creategroup(A)]", false));
  conv.CloseLink();
  conv.CloseLink();
  EXPECT_FALSE(fs::exists(machine.root() + "/progman"));
  dde::SetProgramDir("");
}

TEST(DdeConversation, NothingIsSentWhenNoneIsOpen) {
  TDdeClientConv conv;
  EXPECT_FALSE(conv.ExecuteMacro("[creategroup(A)]", false));
  EXPECT_FALSE(conv.OpenLink()) << "no service named";
}

// A stand-in program records how it was started.
class DdeProgramStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(bin_);
    std::ofstream(bin_ + "/progman") << "#!/bin/sh\n"
                                         "echo \"$# [$1] $KELVORA_MACHINE\" > \"$KELVORA_MACHINE/started\"\n";
    fs::permissions(bin_ + "/progman", fs::perms::owner_all);
    oldPath_ = getenv("PATH");
  }
  void TearDown() override {
    setenv("PATH", oldPath_.c_str(), 1);
    dde::SetProgramDir("");
    EXPECT_TRUE(adopted_.WaitAll());
  }
  std::string Started() {
    std::string line;
    WaitUntil([&] {
      std::ifstream in(machine_.root() + "/started");
      return static_cast<bool>(std::getline(in, line));
    });
    return line;
  }

  AdoptDetached adopted_;
  dosfs::testing::TempMachine machine_;
  std::string bin_ = machine_.root() + "/bin";
  std::string oldPath_;
};

// The program is started as "<service> <topic>": for progman's empty topic
// that is the service name alone, with the machine root in its environment.
TEST_F(DdeProgramStartTest, StartsTheProgramFoundOnPath) {
  setenv("PATH", ("/nonexistent:" + bin_).c_str(), 1);
  TDdeClientConv conv;
  conv.SetLink("PROGMAN", "");
  EXPECT_FALSE(conv.OpenLink()) << "the stand-in never listens";
  EXPECT_EQ(Started(), "0 [] " + machine_.root());
}

TEST_F(DdeProgramStartTest, StartsTheProgramInTheNamedDirectoryWithItsTopic) {
  dde::SetProgramDir(bin_);
  TDdeClientConv conv;
  conv.SetLink("progman", "TOPIC");
  EXPECT_FALSE(conv.OpenLink());
  EXPECT_EQ(Started(), "1 [TOPIC] " + machine_.root());
}

// With no server running, the first conversation starts progman. Its
// immediate retry usually comes before the new server listens (so that
// conversation's commands are lost); a later conversation reaches it.
TEST(DdeConversation, StartsTheServerOnDemand) {
  AdoptDetached adopted;
  dosfs::testing::TempMachine machine;
  dde::SetProgramDir(fs::path(kProgman).parent_path().string());
  bool first = Converse(kSalesCommands);
  RecordProperty("immediate_retry_connected", first ? "yes" : "no");
  ASSERT_TRUE(WaitUntil([&] { return Listening(machine.root()); }));

  std::ifstream lock(machine.root() + "/dde/progman.lock");
  pid_t pid = 0;
  lock >> pid;
  ASSERT_GT(pid, 0);

  EXPECT_TRUE(Converse(kSalesCommands)) << "a running server answers at once";
  std::optional<Group> g;
  WaitUntil([&] {
    g = progman::ReadGroup(machine.root(), "SALES");
    return g && g->items.size() == (first ? 2u : 1u);
  });
  EXPECT_EQ(g, (Group{"SALES", std::vector<Item>(first ? 2 : 1, kSalesItem)}));

  kill(pid, SIGTERM);
  EXPECT_TRUE(adopted.WaitAll());
  dde::SetProgramDir("");
}

}  // namespace
