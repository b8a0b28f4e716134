#include "trace.h"

#include <cstdio>
#include <cstdlib>

#include "gbtext.h"

namespace trace {

namespace {
const char* TracePath() {
  const char* p = std::getenv("KELVORA_TRACE");
  return p && *p ? p : nullptr;
}

const char* ButtonsOf(int flags) {
  switch (flags & 0xF) {
    case 0: return "OK";
    case 1: return "OK/Cancel";
    case 2: return "Abort/Retry/Ignore";
    case 3: return "Yes/No/Cancel";
    case 4: return "Yes/No";
    case 5: return "Retry/Cancel";
    default: return "?";
  }
}
}  // namespace

bool Enabled() { return TracePath() != nullptr; }

void Line(const std::string& text) {
  const char* path = TracePath();
  if (!path) return;
  if (std::FILE* f = std::fopen(path, "a")) {
    std::string line = gbtext::ToUtf8(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), f);
    std::fclose(f);
  }
}

void MessageBox(const std::string& caption, const std::string& text, int flags) {
  if (!Enabled()) return;
  std::string oneLine;
  for (char c : text) oneLine += c == '\n' ? std::string("\\n") : c == '\r' ? std::string() : std::string(1, c);
  Line("msgbox [" + caption + "] " + oneLine + " {" + ButtonsOf(flags) + "}");
}

void Answer(int answer) {
  if (Enabled()) Line("answer " + std::to_string(answer));
}

}  // namespace trace
