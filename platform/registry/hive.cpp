#include "hive.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

#include "dosfs.h"

namespace fs = std::filesystem;

namespace registry {

namespace {

constexpr bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

constexpr unsigned char FoldAscii(unsigned char c) { return c >= 'a' && c <= 'z' ? c - 0x20 : c; }

const HKEY kRootHandles[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS};
const char* const kRootNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS"};

[[noreturn]] void Fail(const std::string& text) { throw ERegistryException(text); }

std::string SysError(const std::string& what, const std::string& file) {
  return what + " " + file + ": " + std::strerror(errno);
}

// ---- Writing the file form ----

void AppendQuoted(std::string& out, std::string_view s) {
  out += '"';
  for (char c : s) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
}

bool Quotable(std::string_view data) { return data.find_first_of(std::string_view("\0\r\n", 3)) == data.npos; }

char HexDigit(unsigned v) { return "0123456789abcdef"[v & 15]; }

std::string TypeHex(uint32_t type) {
  std::string s;
  do {
    s.insert(s.begin(), HexDigit(type));
    type >>= 4;
  } while (type);
  return s;
}

void AppendValue(std::string& out, const Value& v) {
  const size_t lineStart = out.size();
  if (v.name.empty())
    out += '@';
  else
    AppendQuoted(out, v.name);
  out += '=';
  if (v.type == REG_SZ && Quotable(v.data)) {
    AppendQuoted(out, v.data);
  } else if (v.type == REG_DWORD && v.data.size() == 4) {
    uint32_t n = 0;
    for (int i = 3; i >= 0; --i) n = n << 8 | static_cast<unsigned char>(v.data[i]);
    out += "dword:";
    for (int shift = 28; shift >= 0; shift -= 4) out += HexDigit(n >> shift);
  } else {
    out += v.type == REG_BINARY ? "hex:" : "hex(" + TypeHex(v.type) + "):";
    size_t column = out.size() - lineStart;
    for (size_t i = 0; i < v.data.size(); ++i) {
      unsigned char b = static_cast<unsigned char>(v.data[i]);
      out += HexDigit(b >> 4);
      out += HexDigit(b);
      column += 2;
      if (i + 1 == v.data.size()) break;
      out += ',';
      ++column;
      if (column >= 76) {  // keep lines under 80 columns, as regedit does
        out += "\\\n  ";
        column = 2;
      }
    }
  }
  out += '\n';
}

void AppendKey(std::string& out, const Key& key, const std::string& path, bool isRoot) {
  if (!isRoot || !key.Values().empty()) {
    out += '[' + path + "]\n";
    for (const Value& v : key.Values()) AppendValue(out, v);
    out += '\n';
  }
  for (const Key& sub : key.SubKeys()) AppendKey(out, sub, path + '\\' + sub.Name(), false);
}

// ---- Reading the file form ----

class Parser {
 public:
  Parser(std::string_view text, std::string_view fileName) : text_(text), fileName_(fileName) {}

  Hive Run() {
    Hive hive;
    std::string line;
    lineNo_ = 1;
    if (!NextLine(line) || line != "REGEDIT4") Error("the file does not start with REGEDIT4");
    Key* key = nullptr;
    while (NextLine(line)) {
      size_t first = line.find_first_not_of(" \t");
      if (first == line.npos || line[first] == ';') continue;
      line.erase(0, first);
      if (line[0] == '[') {
        key = &Section(hive, line);
      } else {
        if (!key) Error("a value stands before the first [key] line");
        ValueLine(*key, line);
      }
    }
    return hive;
  }

 private:
  [[noreturn]] void Error(const std::string& what) const {
    Fail(std::string(fileName_) + ", line " + std::to_string(lineNo_) + ": " + what);
  }

  bool NextLine(std::string& line) {
    if (pos_ >= text_.size()) return false;
    if (pos_ > 0) ++lineNo_;
    size_t end = text_.find('\n', pos_);
    if (end == text_.npos) end = text_.size();
    line.assign(text_.substr(pos_, end - pos_));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pos_ = end + 1;
    return true;
  }

  static std::string TrimRight(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
  }

  Key& Section(Hive& hive, const std::string& raw) {
    std::string line = TrimRight(raw);
    if (line.size() < 2 || line.back() != ']') Error("a [key] line must end with ]");
    std::string path = line.substr(1, line.size() - 2);
    if (!path.empty() && path[0] == '-') Error("deleting keys ([-...]) is not supported in a hive");
    try {
      return hive.CreateKey(path);
    } catch (const ERegistryException& e) {
      Error(e.Message());
    }
  }

  // A quoted string starting at s[i] == '"'; i ends after the closing quote.
  std::string Quoted(const std::string& s, size_t& i) const {
    std::string out;
    for (++i; i < s.size(); ++i) {
      char c = s[i];
      if (c == '"') {
        ++i;
        return out;
      }
      if (c == '\\') {
        if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"'))
          Error("only \\\\ and \\\" may follow a backslash in a quoted text");
        c = s[++i];
      }
      out += c;
    }
    Error("a quoted text has no closing quote");
  }

  static int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(FoldAscii(static_cast<unsigned char>(c)));
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  // Whole text as one number of 1..maxDigits hex digits.
  bool HexNumber(std::string_view s, size_t maxDigits, uint32_t& out) const {
    if (s.empty() || s.size() > maxDigits) return false;
    out = 0;
    for (char c : s) {
      int d = HexValue(c);
      if (d < 0) return false;
      out = out << 4 | static_cast<uint32_t>(d);
    }
    return true;
  }

  std::string HexBytes(std::string_view s) const {
    std::string out;
    if (s.find_first_not_of(" \t") == s.npos) return out;
    size_t start = 0;
    while (true) {
      size_t comma = s.find(',', start);
      std::string_view item = s.substr(start, comma == s.npos ? s.npos : comma - start);
      while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) item.remove_prefix(1);
      while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) item.remove_suffix(1);
      uint32_t b;
      if (!HexNumber(item, 2, b)) Error("hex data must be bytes of two hex digits separated by commas");
      out += static_cast<char>(b);
      if (comma == s.npos) return out;
      start = comma + 1;
    }
  }

  void ValueLine(Key& key, const std::string& raw) {
    std::string line = TrimRight(raw);
    size_t i = 0;
    std::string name;
    if (line[0] == '@') {
      i = 1;
    } else if (line[0] == '"') {
      name = Quoted(line, i);
    } else {
      Error("expected \"name\"=, @= or a [key] line");
    }
    if (i >= line.size() || line[i] != '=') Error("expected = after the value name");
    std::string rest = line.substr(i + 1);
    uint32_t type;
    std::string data;
    if (!rest.empty() && rest[0] == '"') {
      size_t j = 0;
      data = Quoted(rest, j);
      if (j != rest.size()) Error("text after the closing quote");
      type = REG_SZ;
    } else if (rest.starts_with("dword:")) {
      uint32_t n;
      if (!HexNumber(std::string_view(rest).substr(6), 8, n)) Error("dword: needs 1 to 8 hex digits");
      for (int b = 0; b < 4; ++b) data += static_cast<char>(n >> (8 * b) & 0xFF);
      type = REG_DWORD;
    } else if (rest.starts_with("hex")) {
      // Wrapped hex data: a line ending in '\' goes on in the next one.
      while (!rest.empty() && rest.back() == '\\') {
        rest.pop_back();
        std::string next;
        if (!NextLine(next)) Error("the file ends inside wrapped hex data");
        size_t first = next.find_first_not_of(" \t");
        rest += TrimRight(first == next.npos ? "" : next.substr(first));
      }
      size_t colon = rest.find(':');
      if (colon == rest.npos) Error("expected hex: or hex(type):");
      std::string_view head = std::string_view(rest).substr(0, colon);
      if (head == "hex") {
        type = REG_BINARY;
      } else if (head.size() > 5 && head.starts_with("hex(") && head.back() == ')') {
        if (!HexNumber(head.substr(4, head.size() - 5), 8, type)) Error("hex(type) needs a type of 1 to 8 hex digits");
      } else {
        Error("expected hex: or hex(type):");
      }
      data = HexBytes(std::string_view(rest).substr(colon + 1));
    } else {
      Error("expected \"text\", dword:, hex: or hex(type): after =");
    }
    try {
      key.SetValue(name, type, data);
    } catch (const ERegistryException& e) {
      Error(e.Message());
    }
  }

  std::string_view text_;
  std::string_view fileName_;
  size_t pos_ = 0;
  int lineNo_ = 0;
};

// ---- The file ----

// An exclusive flock on a lock file, held for the object's lifetime.
class FileLock {
 public:
  explicit FileLock(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) Fail(SysError("cannot open the lock file", path));
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        std::string text = SysError("cannot lock", path);
        ::close(fd_);
        Fail(text);
      }
    }
  }
  ~FileLock() { ::close(fd_); }  // closing releases the lock
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

// The file's bytes; nothing when it does not exist.
std::optional<std::string> ReadFileBytes(const std::string& file) {
  int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return std::nullopt;
    Fail(SysError("cannot read", file));
  }
  std::string bytes;
  char buf[65536];
  while (true) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      std::string text = SysError("cannot read", file);
      ::close(fd);
      Fail(text);
    }
    if (n == 0) break;
    bytes.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return bytes;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Writes `bytes` to a new file beside `file`, flushes it and renames it over
// `file`; `mode` is the new file's permission bits.
void ReplaceFile(const std::string& file, std::string_view bytes, mode_t mode) {
  std::string tmp = file + ".XXXXXX";
  int fd = ::mkstemp(tmp.data());
  if (fd < 0) Fail(SysError("cannot create a new hive beside", file));
  bool ok = WriteAll(fd, bytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  std::string text = ok ? "" : SysError("cannot write", tmp);
  if (::close(fd) != 0 && ok) {
    ok = false;
    text = SysError("cannot write", tmp);
  }
  if (ok && ::rename(tmp.c_str(), file.c_str()) != 0) {
    ok = false;
    text = SysError("cannot replace", file);
  }
  if (!ok) {
    ::unlink(tmp.c_str());
    Fail(text);
  }
  // Make the rename itself durable.
  std::string dir = fs::path(file).parent_path().string();
  int dirFd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
}

}  // namespace

// ---- Names and keys ----

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (IsLeadByte(x)) {
      // A double-byte character compares exactly, second byte included.
      if (x != y || i + 1 >= a.size() || a[i + 1] != b[i + 1]) return false;
      ++i;
    } else if (FoldAscii(x) != FoldAscii(y)) {
      return false;
    }
  }
  return true;
}

bool ValidKeyName(std::string_view name) {
  if (name.empty()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || c == '\\') return false;
    if (IsLeadByte(c)) {
      if (i + 1 >= name.size() || static_cast<unsigned char>(name[i + 1]) < 0x20) return false;
      ++i;
    }
  }
  return true;
}

bool SplitKeyPath(std::string_view path, std::vector<std::string>& parts) {
  parts.clear();
  if (path.empty()) return true;
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\') {
      std::string_view part = path.substr(start, i - start);
      if (!ValidKeyName(part)) return false;
      parts.emplace_back(part);
      start = i + 1;
    } else if (IsLeadByte(static_cast<unsigned char>(path[i])) && i + 1 < path.size()) {
      ++i;
    }
  }
  return true;
}

std::string RootKeyName(HKEY key) {
  for (size_t i = 0; i < std::size(kRootHandles); ++i)
    if (kRootHandles[i] == key) return kRootNames[i];
  return "";
}

const Key* Key::SubKey(std::string_view name) const {
  for (const Key& k : subKeys_)
    if (SameName(k.name_, name)) return &k;
  return nullptr;
}

Key* Key::SubKey(std::string_view name) { return const_cast<Key*>(std::as_const(*this).SubKey(name)); }

Key& Key::AddSubKey(std::string_view name) {
  if (Key* k = SubKey(name)) return *k;
  if (!ValidKeyName(name)) Fail("invalid key name \"" + std::string(name) + "\"");
  return subKeys_.emplace_back(std::string(name));
}

const Value* Key::FindValue(std::string_view name) const {
  for (const Value& v : values_)
    if (SameName(v.name, name)) return &v;
  return nullptr;
}

void Key::SetValue(std::string_view name, uint32_t type, std::string_view data) {
  if (name.find_first_of(std::string_view("\0\r\n", 3)) != name.npos)
    Fail("a value name may not hold a NUL, CR or LF byte");
  if (Value* v = const_cast<Value*>(FindValue(name))) {
    v->type = type;
    v->data = data;
  } else {
    values_.push_back(Value{std::string(name), type, std::string(data)});
  }
}

// ---- The hive ----

Hive::Hive() {
  for (const char* name : kRootNames) roots_.emplace_back(name);
}

const Key* Hive::FindKey(std::string_view path) const {
  std::vector<std::string> parts;
  if (!SplitKeyPath(path, parts) || parts.empty()) return nullptr;
  const Key* key = nullptr;
  for (const Key& root : roots_)
    if (SameName(root.Name(), parts[0])) key = &root;
  for (size_t i = 1; key && i < parts.size(); ++i) key = key->SubKey(parts[i]);
  return key;
}

Key* Hive::FindKey(std::string_view path) { return const_cast<Key*>(std::as_const(*this).FindKey(path)); }

Key& Hive::CreateKey(std::string_view path) {
  std::vector<std::string> parts;
  if (!SplitKeyPath(path, parts) || parts.empty()) Fail("invalid key path \"" + std::string(path) + "\"");
  Key* key = nullptr;
  for (Key& root : roots_)
    if (SameName(root.Name(), parts[0])) key = &root;
  if (!key) Fail("unknown root key \"" + parts[0] + "\"");
  for (size_t i = 1; i < parts.size(); ++i) key = &key->AddSubKey(parts[i]);
  return *key;
}

Hive Hive::Parse(std::string_view text, std::string_view fileName) { return Parser(text, fileName).Run(); }

std::string Hive::Format() const {
  std::string out = "REGEDIT4\n\n";
  for (const Key& root : roots_) AppendKey(out, root, root.Name(), true);
  return out;
}

// ---- The file ----

std::string HivePath() { return (fs::path(dosfs::MachineRoot()) / "system.reg").string(); }

Hive LoadHive(const std::string& file) {
  std::optional<std::string> bytes = ReadFileBytes(file);
  return bytes ? Hive::Parse(*bytes, file) : Hive();
}

void UpdateHive(const std::string& file, const std::function<void(Hive&)>& change) {
  fs::path dir = fs::path(file).parent_path();
  std::error_code ec;
  if (!dir.empty()) fs::create_directories(dir, ec);
  if (ec) Fail("cannot create the directory " + dir.string() + " for " + file + ": " + ec.message());
  FileLock lock(file + ".lock");
  // Read again under the lock: another process may have changed the hive.
  std::optional<std::string> bytes = ReadFileBytes(file);
  Hive hive = bytes ? Hive::Parse(*bytes, file) : Hive();
  mode_t mode = 0644;
  if (struct stat st; bytes && ::stat(file.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
    if (::access(file.c_str(), W_OK) != 0) Fail(SysError("cannot write", file));
  }
  change(hive);
  ReplaceFile(file, hive.Format(), mode);
}

void PutValue(std::string_view keyPath, std::string_view name, uint32_t type, std::string_view data) {
  UpdateHive(HivePath(), [&](Hive& hive) { hive.CreateKey(keyPath).SetValue(name, type, data); });
}

std::optional<Value> GetValue(std::string_view keyPath, std::string_view name) {
  Hive hive = LoadHive(HivePath());
  const Key* key = hive.FindKey(keyPath);
  const Value* value = key ? key->FindValue(name) : nullptr;
  return value ? std::optional<Value>(*value) : std::nullopt;
}

}  // namespace registry
