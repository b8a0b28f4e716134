#include "resources.h"

#include "toolkit.h"

namespace resources {

std::string_view Picture(std::string_view name) {
  for (const Entry* e = kEntries; !e->name.empty(); ++e)
    if (!e->layout && e->name == name) return e->bytes;
  return {};
}

void RegisterLayouts() {
  for (const Entry* e = kEntries; !e->name.empty(); ++e)
    if (e->layout) RegisterLayout(e->name, e->bytes);
}

}  // namespace resources
