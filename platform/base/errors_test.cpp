#include "errors.h"

#include <gtest/gtest.h>

// Each input/output error code maps to the documented text; any code without
// a text of its own reads "I/O error %d".
TEST(EInOutError, TextOfEveryCode) {
  const struct { int code; const char* text; } cases[] = {
      {2, "File not found"},        {3, "Invalid filename"},
      {4, "Too many open files"},   {5, "File access denied"},
      {100, "Read beyond end of file"}, {101, "Disk full"},
      {106, "Invalid numeric input"}, {15, "I/O error 15"},
      {0, "I/O error 0"},           {-1, "I/O error -1"},
  };
  for (const auto& c : cases) {
    EInOutError e(c.code);
    EXPECT_EQ(e.Message(), c.text) << c.code;
    EXPECT_EQ(e.ErrorCode(), c.code);
    EXPECT_STREQ(e.ClassName(), "EInOutError");
  }
}
