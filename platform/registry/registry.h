// The registry service: TRegistry over a hive file in the machine root.
//
// The hive is the REGEDIT4 text file <machine root>/system.reg. Key names are
// matched without regard to ASCII case and keep the case they were created
// with. A path with a leading backslash starts at the root key; without one it
// starts at the current key (at the root key when none is open). Every change
// is written to the hive at once (see hive.h). Behind a failure with one of
// the fixed texts, the cause -- such as the hive file and line that cannot be
// parsed -- is attached as the nested exception (std::rethrow_if_nested).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "errors.h"

using HKEY = uintptr_t;
constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
constexpr HKEY HKEY_USERS = 0x80000003u;

// Value types.
constexpr uint32_t REG_NONE = 0;
constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_EXPAND_SZ = 2;
constexpr uint32_t REG_BINARY = 3;
constexpr uint32_t REG_DWORD = 4;

class ERegistryException : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "ERegistryException"; }
};

class TRegistry {
 public:
  TRegistry();
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey() const;
  void SetRootKey(HKEY key);

  // Creates the whole chain of keys (existing keys are left as they are). The
  // current key does not change. Raises "Failed to create key %s".
  void CreateKey(const std::string& key);
  // Makes `key` the current key (closing the previous one), creating it when
  // missing and canCreate is true. Never raises.
  bool OpenKey(const std::string& key, bool canCreate);
  // A missing value, or one whose data size is 0, reads as "". Raises
  // "Invalid data type for '%s'" for types other than REG_SZ/REG_EXPAND_SZ
  // and "Failed to get data for '%s'" when the data cannot be read. The text
  // ends at its first NUL; an expandable string is returned unexpanded.
  std::string ReadString(const std::string& name);
  // Creates or replaces the value with type REG_SZ; the data are exactly the
  // text's bytes, without a terminating NUL. Raises
  // "Failed to set data for '%s'".
  void WriteString(const std::string& name, const std::string& value);
  void CloseKey();

 private:
  struct Impl;
  Impl* impl_;
};
