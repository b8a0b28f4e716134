#include "dosfs.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "bytestr.h"
#include "errors.h"

namespace fs = std::filesystem;

namespace dosfs {

namespace {

struct Machine {
  std::string root;
  std::vector<Drive> drives;
  char current = 'C';
  std::map<char, std::vector<std::string>> currentDirs;  // components below each root
};

Machine& State() {
  static Machine m;
  static bool loaded = false;
  if (!loaded) {
    loaded = true;  // before loading: UseMachine itself calls State()
    UseMachine(DefaultMachineRoot());
  }
  return m;
}

std::optional<DriveKind> KindFromName(const std::string& name) {
  static const std::pair<const char*, DriveKind> kinds[] = {
      {"removable", DriveKind::Removable}, {"fixed", DriveKind::Fixed},
      {"network", DriveKind::Network},     {"cdrom", DriveKind::CdRom},
      {"ramdisk", DriveKind::RamDisk},
  };
  for (const auto& [n, k] : kinds)
    if (name == n) return k;
  return std::nullopt;
}

char Upper(char c) { return bytestr::IsLowerAscii(static_cast<unsigned char>(c)) ? static_cast<char>(c - 0x20) : c; }

bool SameFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

std::vector<Drive> LoadDriveTable(const std::string& root) {
  std::vector<Drive> drives;
  std::ifstream in(root + "/drives", std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    std::string t = bytestr::Trim(line);
    if (t.empty() || t[0] == '#') continue;
    std::istringstream fields(t);
    std::string letter, kind, dir;
    fields >> letter >> kind >> dir;
    auto k = KindFromName(kind);
    if (letter.size() != 2 || letter[1] != ':' || !k || dir.empty()) continue;
    Drive d;
    d.letter = Upper(letter[0]);
    if (d.letter < 'A' || d.letter > 'Z') continue;
    d.kind = *k;
    d.hostDir = fs::path(dir).is_absolute() ? dir : (fs::path(root) / dir).string();
    std::string rest;
    std::getline(fields, rest);
    d.label = bytestr::Trim(rest);
    drives.erase(std::remove_if(drives.begin(), drives.end(), [&](const Drive& o) { return o.letter == d.letter; }),
                 drives.end());
    drives.push_back(d);
  }
  std::sort(drives.begin(), drives.end(), [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
  return drives;
}

// The host name in `dir` that `name` denotes: exact first, then the first
// case-insensitive match in byte order; nothing when there is none.
std::optional<std::string> LookUp(const fs::path& dir, const std::string& name) {
  std::error_code ec;
  if (fs::symlink_status(dir / name, ec).type() != fs::file_type::not_found && !ec) return name;
  std::optional<std::string> best;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string candidate = it->path().filename().string();
    if (SameFolded(candidate, name) && (!best || candidate < *best)) best = candidate;
  }
  return best;
}

struct Parsed {
  char drive = 0;
  std::vector<std::string> components;  // below the drive's root, "." and ".." resolved
};

// Splits a DOS path into drive and absolute components.
std::optional<Parsed> Parse(std::string_view path) {
  Machine& m = State();
  Parsed p;
  p.drive = m.current;
  if (path.size() >= 2 && path[1] == ':') {
    p.drive = Upper(path[0]);
    path.remove_prefix(2);
  }
  if (!FindDrive(p.drive)) return std::nullopt;
  const bool rooted = !path.empty() && (path[0] == '\\' || path[0] == '/');
  if (!rooted) p.components = m.currentDirs[p.drive];
  std::string part;
  auto flush = [&] {
    if (part.empty() || part == ".") {
    } else if (part == "..") {
      if (!p.components.empty()) p.components.pop_back();  // never above the root
    } else {
      p.components.push_back(part);
    }
    part.clear();
  };
  for (char c : path) {
    if (c == '\\' || c == '/') flush();
    else part.push_back(c);
  }
  flush();
  return p;
}

// The host path of parsed components, with each existing component spelled
// as the host spells it.
std::string Resolve(const Parsed& p, std::vector<std::string>* spelled = nullptr) {
  fs::path host = FindDrive(p.drive)->hostDir;
  bool existing = true;
  for (const std::string& c : p.components) {
    std::string name = c;
    if (existing) {
      if (auto found = LookUp(host, c)) name = *found;
      else existing = false;
    }
    host /= name;
    if (spelled) spelled->push_back(name);
  }
  return host.string();
}

}  // namespace

std::string MachineRoot() { return State().root; }

std::string DefaultMachineRoot() {
  if (const char* env = std::getenv("KELVORA_MACHINE"); env && *env) return env;
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.kelvora/machine";
}

void UseMachine(const std::string& root) {
  Machine& m = State();
  m.root = root;
  m.drives = LoadDriveTable(root);
  m.currentDirs.clear();
  m.current = FindDrive('C') ? 'C' : (m.drives.empty() ? 'C' : m.drives.front().letter);
  // The current directory comes from the host's working directory: the drive
  // whose root is the longest prefix of it.
  std::error_code ec;
  fs::path cwd = fs::weakly_canonical(fs::current_path(ec), ec);
  size_t bestLen = 0;
  for (const Drive& d : m.drives) {
    fs::path rootDir = fs::weakly_canonical(d.hostDir, ec);
    auto rel = cwd.lexically_relative(rootDir);
    if (rel.empty() || *rel.begin() == "..") continue;
    if (rootDir.string().size() < bestLen) continue;
    bestLen = rootDir.string().size();
    m.current = d.letter;
    std::vector<std::string> comps;
    for (const auto& c : rel)
      if (c != ".") comps.push_back(c.string());
    m.currentDirs[d.letter] = comps;
  }
}

const std::vector<Drive>& Drives() { return State().drives; }

const Drive* FindDrive(char letter) {
  letter = Upper(letter);
  for (const Drive& d : State().drives)
    if (d.letter == letter) return &d;
  return nullptr;
}

std::string GetCurrentDir() {
  Machine& m = State();
  std::string r{m.current, ':', '\\'};
  const auto& comps = m.currentDirs[m.current];
  for (size_t i = 0; i < comps.size(); ++i) r += (i ? "\\" : "") + comps[i];
  return r;
}

void ChDir(std::string_view path) {
  auto p = Parse(path);
  if (!p) throw EInOutError(errcode::kInvalidDrive);
  std::vector<std::string> spelled;
  std::string host = Resolve(*p, &spelled);
  std::error_code ec;
  if (!fs::is_directory(host, ec)) throw EInOutError(errcode::kPathNotFound);
  Machine& m = State();
  m.current = p->drive;
  m.currentDirs[p->drive] = spelled;
}

std::optional<std::string> HostPath(std::string_view dosPath) {
  auto p = Parse(dosPath);
  if (!p) return std::nullopt;
  return Resolve(*p);
}

bool FileExists(std::string_view dosPath) {
  auto host = HostPath(dosPath);
  std::error_code ec;
  return host && fs::is_regular_file(*host, ec);
}

bool DirectoryExists(std::string_view dosPath) {
  auto host = HostPath(dosPath);
  std::error_code ec;
  return host && fs::is_directory(*host, ec);
}

bool CreateDir(std::string_view dosPath) {
  auto host = HostPath(dosPath);
  std::error_code ec;
  return host && fs::create_directory(*host, ec) && !ec;
}

int64_t DiskFree(char letter) {
  const Drive* d = FindDrive(letter);
  if (!d) return -1;
  struct statvfs st {};
  if (statvfs(d->hostDir.c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(st.f_bavail) * static_cast<int64_t>(st.f_frsize);
}

bool DriveReady(char letter) {
  const Drive* d = FindDrive(letter);
  std::error_code ec;
  return d && fs::is_directory(d->hostDir, ec);
}

}  // namespace dosfs
