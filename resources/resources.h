// The resources built into the program: window layouts and pictures.
#pragma once

#include <string_view>

namespace resources {

struct Entry {
  std::string_view name;
  std::string_view bytes;
  bool layout;
};
extern const Entry kEntries[];  // ends with an entry without a name

// The bytes of a picture (a BMP file) by name, e.g. "gradient"; empty when
// there is none.
std::string_view Picture(std::string_view name);
// Makes every window layout known to the toolkit.
void RegisterLayouts();

}  // namespace resources
