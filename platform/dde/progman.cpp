#include "progman.h"

#include <cstdint>
#include <filesystem>

#include "bytestr.h"
#include "progman_store.h"

namespace progman {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsNameChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
  return out;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::optional<std::vector<Command>> Commands() {
    std::vector<Command> commands;
    SkipBlanks();
    if (AtEnd()) return std::nullopt;  // an empty execute string is no command
    while (!AtEnd()) {
      auto command = OneCommand();
      if (!command) return std::nullopt;
      commands.push_back(std::move(*command));
      SkipBlanks();
    }
    return commands;
  }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
  void SkipBlanks() {
    while (!AtEnd() && IsBlank(text_[pos_])) ++pos_;
  }
  bool Take(char c) {
    if (AtEnd() || text_[pos_] != c) return false;
    ++pos_;
    return true;
  }

  std::optional<Command> OneCommand() {
    Command command;
    if (!Take('[')) return std::nullopt;
    SkipBlanks();
    size_t start = pos_;
    while (!AtEnd() && IsNameChar(text_[pos_])) ++pos_;
    command.name = text_.substr(start, pos_ - start);
    if (command.name.empty()) return std::nullopt;
    SkipBlanks();
    if (Take('(')) {
      while (true) {
        auto arg = Argument();
        if (!arg) return std::nullopt;
        command.args.push_back(std::move(*arg));
        if (Take(')')) break;
        if (!Take(',')) return std::nullopt;
      }
      SkipBlanks();
    }
    if (!Take(']')) return std::nullopt;
    return command;
  }

  // One argument, up to (not including) the ',' or ')' that ends it.
  std::optional<std::string> Argument() {
    if (Take('"')) {
      size_t close = text_.find('"', pos_);
      if (close == std::string_view::npos) return std::nullopt;
      std::string arg(text_.substr(pos_, close - pos_));
      pos_ = close + 1;
      if (Peek() != ',' && Peek() != ')') return std::nullopt;
      return arg;
    }
    size_t end = text_.find_first_of(",)", pos_);
    if (end == std::string_view::npos) return std::nullopt;
    std::string arg(text_.substr(pos_, end - pos_));
    pos_ = end;
    return arg;
  }

  std::string_view text_;
  size_t pos_ = 0;
};

// A number argument; an empty one stands for `empty`.
std::optional<int32_t> Number(const std::string& arg, int32_t empty) {
  if (arg.empty()) return empty;
  int32_t n;
  if (!bytestr::ParseInt32(arg, n)) return std::nullopt;
  return n;
}

}  // namespace

std::optional<std::vector<Command>> ParseExecute(std::string_view text) { return Parser(text).Commands(); }

ProgramManager::ProgramManager(std::string machineRoot) : root_(std::move(machineRoot)) {}

bool ProgramManager::Execute(std::string_view text) {
  auto commands = ParseExecute(text);
  if (!commands) return false;
  for (const Command& command : *commands)
    if (!Run(command)) return false;
  return true;
}

bool ProgramManager::Run(const Command& command) {
  std::string name = Lower(command.name);
  if (name == "creategroup") return CreateGroup(command.args);
  if (name == "showgroup") return ShowGroup(command.args);
  if (name == "additem") return AddItem(command.args);
  return false;
}

bool ProgramManager::CreateGroup(const std::vector<std::string>& args) {
  if (args.size() != 1 || args[0].size() > kMaxGroupName) return false;
  if (!ReadGroup(root_, args[0])) {
    // A file that is there but cannot be read as the group is left alone.
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::path(GroupsDir(root_)) / GroupFileName(args[0]), ec) || ec)
      return false;
    if (!WriteGroup(root_, Group{args[0], {}})) return false;
  }
  active_ = args[0];
  return true;
}

bool ProgramManager::ShowGroup(const std::vector<std::string>& args) {
  if (args.size() != 2) return false;
  auto show = Number(args[1], -1);
  if (!show || *show < 1 || *show > 8) return false;
  if (!ReadGroup(root_, args[0])) return false;
  active_ = args[0];
  return true;
}

bool ProgramManager::AddItem(const std::vector<std::string>& args) {
  if (args.empty() || args.size() > 4 || args[0].empty() || !active_) return false;
  Item item;
  item.cmdLine = args[0];
  if (args.size() > 1) item.caption = args[1];
  if (args.size() > 2) item.iconPath = args[2];
  if (args.size() > 3) {
    auto index = Number(args[3], 0);
    if (!index) return false;
    item.iconIndex = *index;
  }
  auto group = ReadGroup(root_, *active_);
  if (!group) return false;
  group->items.push_back(std::move(item));
  return WriteGroup(root_, *group);
}

}  // namespace progman
