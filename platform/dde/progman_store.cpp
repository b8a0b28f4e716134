#include "progman_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bytestr.h"

namespace fs = std::filesystem;

namespace progman {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string Escape(std::string_view value) {
  std::string out;
  for (char ch : value) {
    auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F || c == '%') {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += ch;
    }
  }
  return out;
}

std::optional<std::string> Unescape(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '%') {
      out += value[i];
      continue;
    }
    if (i + 2 >= value.size()) return std::nullopt;
    int hi = HexDigit(value[i + 1]), lo = HexDigit(value[i + 2]);
    if (hi < 0 || lo < 0) return std::nullopt;
    out += static_cast<char>(hi << 4 | lo);
    i += 2;
  }
  return out;
}

bool WriteFileAtomically(const fs::path& path, const std::string& bytes) {
  // The temporary name stays short (a group file's name may be near the
  // limit) and never looks like a group file.
  fs::path tmp = path.parent_path() / ("tmp-" + std::to_string(getpid()) + ".new");
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  bool ok = done == bytes.size() && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok && rename(tmp.c_str(), path.c_str()) == 0) return true;
  unlink(tmp.c_str());
  return false;
}

std::optional<Group> ReadGroupFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return ParseGroup(text.str());
}

}  // namespace

std::string GroupsDir(const std::string& machineRoot) { return machineRoot + "/progman"; }

std::string GroupFileName(std::string_view name) {
  std::string file = "group-";
  for (char ch : name) {
    auto c = static_cast<unsigned char>(ch);
    file += kHex[c >> 4];
    file += kHex[c & 0xF];
  }
  return file + ".txt";
}

std::string FormatGroup(const Group& group) {
  std::string out = "[Group]\nName=" + Escape(group.name) + "\n";
  for (const Item& item : group.items) {
    out += "\n[Item]\nCmdLine=" + Escape(item.cmdLine) + "\nCaption=" + Escape(item.caption) +
           "\nIconPath=" + Escape(item.iconPath) + "\nIconIndex=" + bytestr::IntToStr(item.iconIndex) + "\n";
  }
  return out;
}

std::optional<Group> ParseGroup(std::string_view text) {
  Group group;
  bool named = false;
  enum { None, InGroup, InItem } section = None;
  while (!text.empty()) {
    size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    // A file touched by an editor that ends lines with CR LF still reads.
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    if (line == "[Group]") {
      if (section != None) return std::nullopt;
      section = InGroup;
      continue;
    }
    if (line == "[Item]") {
      if (section == None) return std::nullopt;
      section = InItem;
      group.items.emplace_back();
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string_view::npos || section == None) return std::nullopt;
    std::string_view key = line.substr(0, eq);
    auto value = Unescape(line.substr(eq + 1));
    if (!value) return std::nullopt;
    if (section == InGroup) {
      if (key != "Name") return std::nullopt;
      group.name = *value;
      named = true;
      continue;
    }
    Item& item = group.items.back();
    if (key == "CmdLine") {
      item.cmdLine = *value;
    } else if (key == "Caption") {
      item.caption = *value;
    } else if (key == "IconPath") {
      item.iconPath = *value;
    } else if (key == "IconIndex") {
      int32_t n;
      if (!bytestr::ParseInt32(*value, n)) return std::nullopt;
      item.iconIndex = n;
    } else {
      return std::nullopt;
    }
  }
  if (!named) return std::nullopt;
  return group;
}

std::optional<Group> ReadGroup(const std::string& machineRoot, std::string_view name) {
  if (name.size() > kMaxGroupName) return std::nullopt;
  auto group = ReadGroupFile(fs::path(GroupsDir(machineRoot)) / GroupFileName(name));
  // The name inside decides: a file copied under another group's file name
  // is not that group.
  if (group && group->name != name) return std::nullopt;
  return group;
}

std::vector<Group> ReadGroups(const std::string& machineRoot) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(GroupsDir(machineRoot), ec)) {
    std::string file = entry.path().filename().string();
    if (file.starts_with("group-") && file.ends_with(".txt")) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<Group> groups;
  for (const fs::path& file : files)
    if (auto group = ReadGroupFile(file); group && GroupFileName(group->name) == file.filename().string())
      groups.push_back(std::move(*group));
  return groups;
}

bool WriteGroup(const std::string& machineRoot, const Group& group) {
  if (group.name.size() > kMaxGroupName) return false;
  std::error_code ec;
  fs::path dir = GroupsDir(machineRoot);
  fs::create_directories(dir, ec);
  return WriteFileAtomically(dir / GroupFileName(group.name), FormatGroup(group));
}

}  // namespace progman
