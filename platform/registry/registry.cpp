#include "registry.h"

#include <exception>

#include "hive.h"

// Every operation works on the hive file as it is now: reads load it afresh,
// changes go through registry::UpdateHive (locked, atomic). The current key is
// only a path, so a key created or changed by another process is seen at once.
// A failure behind one of the fixed texts is attached as the nested exception
// (std::rethrow_if_nested), so its cause -- the file, the line -- can be shown.

struct TRegistry::Impl {
  HKEY root = HKEY_CURRENT_USER;
  bool open = false;
  std::string current;  // path of the current key below the root; "" is the root

  // The path below the root that `key` names: with a leading backslash it
  // starts at the root key, without one at the current key (or at the root
  // key when none is open). Raises for an invalid path or root key.
  std::string Below(const std::string& key) const {
    bool relative = key.empty() || key[0] != '\\';
    std::string rest = relative ? key : key.substr(1);
    std::vector<std::string> parts;
    if (!registry::SplitKeyPath(rest, parts)) throw ERegistryException("invalid key path \"" + key + "\"");
    std::string base = relative && open ? current : "";
    return base.empty() ? rest : rest.empty() ? base : base + "\\" + rest;
  }

  // The hive's full path of a path below the root.
  std::string Full(const std::string& below) const {
    std::string rootName = registry::RootKeyName(root);
    if (rootName.empty()) throw ERegistryException("unknown root key");
    return below.empty() ? rootName : rootName + "\\" + below;
  }
};

TRegistry::TRegistry() : impl_(new Impl) {}

TRegistry::~TRegistry() { delete impl_; }

HKEY TRegistry::RootKey() const { return impl_->root; }

void TRegistry::SetRootKey(HKEY key) {
  if (impl_->root == key) return;
  impl_->root = key;
  CloseKey();
}

void TRegistry::CreateKey(const std::string& key) {
  try {
    std::string full = impl_->Full(impl_->Below(key));
    registry::UpdateHive(registry::HivePath(), [&](registry::Hive& hive) { hive.CreateKey(full); });
  } catch (const std::exception&) {
    std::throw_with_nested(ERegistryException("Failed to create key " + key));
  }
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
  try {
    std::string below = impl_->Below(key);
    std::string full = impl_->Full(below);
    if (canCreate) {
      registry::UpdateHive(registry::HivePath(), [&](registry::Hive& hive) { hive.CreateKey(full); });
    } else if (!registry::LoadHive(registry::HivePath()).FindKey(full)) {
      return false;
    }
    impl_->open = true;
    impl_->current = below;
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

std::string TRegistry::ReadString(const std::string& name) {
  if (!impl_->open) return "";
  registry::Hive hive;
  try {
    hive = registry::LoadHive(registry::HivePath());
  } catch (const std::exception&) {
    std::throw_with_nested(ERegistryException("Failed to get data for '" + name + "'"));
  }
  const registry::Key* key = hive.FindKey(impl_->Full(impl_->current));
  const registry::Value* value = key ? key->FindValue(name) : nullptr;
  if (!value || value->data.empty()) return "";
  if (value->type != REG_SZ && value->type != REG_EXPAND_SZ)
    throw ERegistryException("Invalid data type for '" + name + "'");
  return value->data.substr(0, value->data.find('\0'));
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  try {
    if (!impl_->open) throw ERegistryException("no key is open");
    std::string full = impl_->Full(impl_->current);
    registry::UpdateHive(registry::HivePath(), [&](registry::Hive& hive) {
      registry::Key* key = hive.FindKey(full);
      if (!key) throw ERegistryException("the key " + full + " no longer exists");
      key->SetValue(name, REG_SZ, value);
    });
  } catch (const std::exception&) {
    std::throw_with_nested(ERegistryException("Failed to set data for '" + name + "'"));
  }
}

void TRegistry::CloseKey() {
  impl_->open = false;
  impl_->current.clear();
}
