// The registry hive: a tree of keys and typed values, kept in a REGEDIT4 text
// file, and the locked, atomic file update every change goes through.
//
// Key paths name their root key first: "HKEY_LOCAL_MACHINE\software\borland".
// Components are separated by '\'; a byte 0x81..0xFE is the lead byte of a
// double-byte character (code page 936) and takes the byte after it with it,
// so a second byte 0x5C is no separator. Names are compared without regard to
// ASCII case (double-byte characters compare exactly) and keep the case they
// were created with. Value data are kept as the exact bytes given.
//
// File form (ANSI bytes, LF line ends; CR LF is read as well):
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\software\borland\blw32]
//   "BLAPIPATH"="C:\\APP"            REG_SZ: exactly the bytes between the
//                                    quotes after undoing \\ and \" (no NUL
//                                    is added: "" is zero bytes)
//   @="text"                         the key's default value (name "")
//   "N"=dword:0000000a               REG_DWORD of exactly 4 bytes
//   "B"=hex:01,02,ff                 REG_BINARY
//   "E"=hex(2):25,00                 any other type N, N in hex: hex(7), hex(b)
//   "Z"=hex(4):                      zero bytes of data of type 4
// REG_SZ data holding a NUL, CR or LF byte is written as hex(1):. Every key
// below a root key has its own section, also when it has no values; a root key
// has one only when it has values. Long hex data are wrapped with a trailing
// "\" and continued on the next line after two blanks. Lines starting with ';'
// are comments. The escapes apply byte by byte, also to a second byte 0x5C of
// a double-byte character (it is written doubled).
// A registry editor importing "text" stores it with a terminating NUL; the
// hive keeps exactly what was written, as the system does when it is given
// the text's length without the NUL. Both read back as the same string.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "registry.h"

namespace registry {

struct Value {
  std::string name;  // "" is the key's default value
  uint32_t type = REG_NONE;
  std::string data;  // the exact bytes
  bool operator==(const Value&) const = default;
};

class Key {
 public:
  explicit Key(std::string name) : name_(std::move(name)) {}

  const std::string& Name() const { return name_; }
  const std::vector<Value>& Values() const { return values_; }
  const std::vector<Key>& SubKeys() const { return subKeys_; }

  // The subkey of that name (any ASCII case), or nullptr.
  const Key* SubKey(std::string_view name) const;
  Key* SubKey(std::string_view name);
  // The existing subkey of that name, else a new one with the name as given.
  // Raises ERegistryException for an invalid name (see ValidKeyName).
  Key& AddSubKey(std::string_view name);

  const Value* FindValue(std::string_view name) const;
  // Creates or replaces a value; an existing value keeps its name's case.
  // Raises ERegistryException for a name holding a NUL, CR or LF byte.
  void SetValue(std::string_view name, uint32_t type, std::string_view data);

 private:
  std::string name_;
  std::vector<Value> values_;
  std::vector<Key> subKeys_;
};

// True when `a` and `b` are the same name without regard to ASCII case.
bool SameName(std::string_view a, std::string_view b);

// A key name is non-empty, holds no byte below 0x20 and no '\' outside a
// double-byte character, and does not end with an unpaired lead byte.
bool ValidKeyName(std::string_view name);

// Splits a key path at its separators. "" gives no components. False when a
// component is not a valid key name (so "a\\b" and "a\" are invalid).
bool SplitKeyPath(std::string_view path, std::vector<std::string>& parts);

// "HKEY_LOCAL_MACHINE" for HKEY_LOCAL_MACHINE and so on for the four
// predefined keys; "" for any other handle.
std::string RootKeyName(HKEY key);

class Hive {
 public:
  // An empty hive: the four root keys, nothing below them.
  Hive();

  // Parses the file form. Raises ERegistryException "<fileName>, line <n>:
  // <what is wrong>" for anything it does not understand.
  static Hive Parse(std::string_view text, std::string_view fileName);
  // The file form; Parse(Format()) gives this hive back.
  std::string Format() const;

  const std::vector<Key>& Roots() const { return roots_; }

  // The key a full path names, or nullptr when it is missing or the path is
  // invalid.
  const Key* FindKey(std::string_view path) const;
  Key* FindKey(std::string_view path);
  // Creates every missing key of a full path and returns the last one.
  // Raises ERegistryException for an invalid path or an unknown root key.
  Key& CreateKey(std::string_view path);

 private:
  std::vector<Key> roots_;
};

// The hive file of the machine in use: <machine root>/system.reg.
std::string HivePath();

// Reads and parses a hive file; a missing file is an empty hive. Raises
// ERegistryException naming the file (and the line, for a parse error).
Hive LoadHive(const std::string& file);

// Applies `change` to the hive file and writes the result, holding an
// exclusive lock (flock on <file>.lock) from before the hive is read until the
// new file is in place, so concurrent updates from any process never lose each
// other's changes. The new file is written beside the old one, flushed to disk
// and renamed over it: readers see the old or the new hive, never a part.
// Missing directories are created. The file is always rewritten in the form
// above (comments in a hand-edited hive are not kept). Raises ERegistryException naming the file
// when it cannot be read, parsed or written (then nothing is written; a hive
// that cannot be parsed is left exactly as it is); an exception from `change`
// passes through, and nothing is written either.
void UpdateHive(const std::string& file, const std::function<void(Hive&)>& change);

// Sets a value of any type on the machine in use, creating its key (a full
// path). For tests and diagnosis.
void PutValue(std::string_view keyPath, std::string_view name, uint32_t type, std::string_view data);
// A value on the machine in use, or nothing when it or its key is missing.
std::optional<Value> GetValue(std::string_view keyPath, std::string_view name);

}  // namespace registry
