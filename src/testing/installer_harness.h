// Test support: a machine with a distribution on its disks and the
// installer run against it by a scripted user.
#pragma once

#include <string>

#include "headless.h"
#include "s_bj1.h"
#include "testing_machine.h"

namespace harness {

// Drive table of the test machine: A: removable (the distribution), C: and
// E: fixed, F: fixed without medium.
constexpr const char* kDrives =
    "A: removable a\nB: removable b\nC: fixed c SYSTEM\nE: fixed e DATA\nF: fixed f\n";

// The program's windows and state for tests of single steps: an application
// with the three windows created, InstallSettings read from `script` on A:.
class Program {
 public:
  explicit Program(ScriptedUser& user, const std::string& script = "", const std::string& cwd = "a");
  ~Program();
  dosfs::testing::TempMachine machine;
  HeadlessBackend backend;
  TApplication app;
};

// Runs the whole program with the current directory `dir` below `drive`'s
// root; returns its exit code.
int RunFrom(dosfs::testing::TempMachine& machine, ScriptedUser& user, char drive = 'A', const std::string& dir = "");

}  // namespace harness
