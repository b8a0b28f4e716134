// A throw-away machine root for tests: a temporary directory with a drive
// table, made the machine in use for the test's lifetime.
#pragma once

#include <string>
#include <string_view>

namespace dosfs::testing {

class TempMachine {
 public:
  // `drives` is the drive table's text, for example
  //   "A: removable a\nC: fixed c SYSTEM\n"
  // Every host directory named relative to the root is created, except those
  // of drives listed in `absent` (letters whose medium is missing).
  explicit TempMachine(std::string_view drives = "A: removable a\nC: fixed c\n", std::string_view absent = "",
                       std::string_view cwd = "");
  ~TempMachine();
  TempMachine(const TempMachine&) = delete;
  TempMachine& operator=(const TempMachine&) = delete;

  const std::string& root() const { return root_; }
  // Host path of a path below a drive's root: Host('C', "APP/X.EXE").
  std::string Host(char drive, std::string_view rel = "") const;
  // Writes a host file below a drive (parents are created).
  void Write(char drive, std::string_view rel, std::string_view bytes) const;
  std::string Read(char drive, std::string_view rel) const;

 private:
  std::string root_;
  std::string oldCwd_;
};

}  // namespace dosfs::testing
