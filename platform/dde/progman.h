// Program Manager's command language and the stand-in that carries it out.
//
// An execute string holds one or more commands, each in brackets:
//   [CreateGroup(name)]                 creates the group, or makes an existing
//                                       one active; either way it becomes the
//                                       active group
//   [ShowGroup(name,cmd)]               makes an existing group active; cmd is
//                                       a show command, a number 1..8
//   [AddItem(cmdline[,caption[,iconpath[,iconindex]]])]
//                                       appends an item to the active group
// Command names are matched without regard to ASCII case. Blanks, tabs, CR
// and LF may stand between commands and around the brackets and parentheses,
// but arguments are taken as they stand: split at commas, not trimmed. An
// argument that begins with a double quote runs to the next double quote and
// may hold commas and parentheses. "()" is one empty argument; a command
// without parentheses has none. Group names and texts are bytes (GB2312 kept
// as it is).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace progman {

struct Command {
  std::string name;  // as written
  std::vector<std::string> args;
  bool operator==(const Command&) const = default;
};

// The commands of an execute string, or nothing when its syntax is wrong.
std::optional<std::vector<Command>> ParseExecute(std::string_view text);

// Carries out execute strings against the groups stored under a machine root
// (see progman_store.h). The active group lives only as long as the object.
class ProgramManager {
 public:
  explicit ProgramManager(std::string machineRoot);

  // Carries out one execute string. A string whose syntax is wrong is refused
  // as a whole; otherwise its commands run in order until one is refused (an
  // unknown name, wrong arguments, no such group, a store that cannot be
  // written), and the rest of that string is skipped. Returns whether every
  // command was carried out. A refused command changes nothing.
  bool Execute(std::string_view text);

  const std::optional<std::string>& ActiveGroup() const { return active_; }

 private:
  bool Run(const Command& command);
  bool CreateGroup(const std::vector<std::string>& args);
  bool ShowGroup(const std::vector<std::string>& args);
  bool AddItem(const std::vector<std::string>& args);

  std::string root_;
  std::optional<std::string> active_;
};

}  // namespace progman
