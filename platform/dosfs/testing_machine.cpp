#include "testing_machine.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "dosfs.h"

namespace fs = std::filesystem;

namespace dosfs::testing {

TempMachine::TempMachine(std::string_view drives, std::string_view absent, std::string_view cwd) {
  std::string tmpl = (fs::temp_directory_path() / "machine-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  root_ = tmpl;
  std::ofstream(root_ + "/drives", std::ios::binary) << drives;
  std::istringstream lines{std::string(drives)};
  std::string letter, kind, dir;
  while (lines >> letter >> kind >> dir) {
    std::string rest;
    std::getline(lines, rest);
    if (absent.find(letter[0]) == std::string_view::npos && !fs::path(dir).is_absolute())
      fs::create_directories(fs::path(root_) / dir);
  }
  oldCwd_ = fs::current_path().string();
  fs::current_path(cwd.empty() ? fs::path(root_) : fs::path(root_) / cwd);
  UseMachine(root_);
}

TempMachine::~TempMachine() {
  std::error_code ec;
  fs::current_path(oldCwd_, ec);
  fs::remove_all(root_, ec);
}

std::string TempMachine::Host(char drive, std::string_view rel) const {
  const Drive* d = FindDrive(drive);
  if (!d) throw std::runtime_error("no such drive in the test machine");
  return rel.empty() ? d->hostDir : (fs::path(d->hostDir) / rel).string();
}

void TempMachine::Write(char drive, std::string_view rel, std::string_view bytes) const {
  fs::path p = Host(drive, rel);
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

std::string TempMachine::Read(char drive, std::string_view rel) const {
  std::ifstream in(Host(drive, rel), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace dosfs::testing
