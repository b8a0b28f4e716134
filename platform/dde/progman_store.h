// Program Manager's groups as stored on the machine.
//
// Each group is one text file in <machine root>/progman/, named
// "group-<name as upper-case hex>.txt" (so any name bytes, including none at
// all, give a safe and distinct file name; names are limited to
// kMaxGroupName bytes to keep file names short enough). The file holds the
// group's exact name and its items in order:
//
//   [Group]
//   Name=SALES
//
//   [Item]
//   CmdLine=D:\SALES\SALES.EXE
//   Caption=SALES SYSTEM
//   IconPath=D:\SALES\SALES.EXE
//   IconIndex=0
//
// Lines end with LF. A value is everything after the first '='; its bytes are
// kept as they are (GB2312 included) except that '%', DEL and bytes below 0x20
// are written as %XX (two upper-case hex digits). An empty Caption or
// IconPath means the item was added without one. Files are replaced
// atomically (written beside the group file, then renamed over it).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace progman {

constexpr size_t kMaxGroupName = 120;

struct Item {
  std::string cmdLine;
  std::string caption;
  std::string iconPath;
  int iconIndex = 0;
  bool operator==(const Item&) const = default;
};

struct Group {
  std::string name;
  std::vector<Item> items;
  bool operator==(const Group&) const = default;
};

// The directory holding the groups: <machineRoot>/progman.
std::string GroupsDir(const std::string& machineRoot);
// The file name (without directory) of the group with this name.
std::string GroupFileName(std::string_view name);

// The file text of a group, and back. ParseGroup returns nothing for a text
// that is not a group file (no [Group] section with a Name, a line outside
// the format, a bad escape or icon index).
std::string FormatGroup(const Group& group);
std::optional<Group> ParseGroup(std::string_view text);

// The stored group of that exact name, or nothing when there is none (or its
// file cannot be read as a group).
std::optional<Group> ReadGroup(const std::string& machineRoot, std::string_view name);
// Every readable stored group, in file-name order.
std::vector<Group> ReadGroups(const std::string& machineRoot);
// Stores the group, replacing any group of the same name; creates the groups
// directory when needed. False when the name is too long or the file cannot
// be written (what was stored before is then unchanged).
bool WriteGroup(const std::string& machineRoot, const Group& group);

}  // namespace progman
