#include "trace.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

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

std::string ToUtf8(const std::string& gbk) {
  iconv_t cd = iconv_open("UTF-8", "CP936");
  if (cd == reinterpret_cast<iconv_t>(-1)) return gbk;
  std::string out;
  char buf[256];
  char* in = const_cast<char*>(gbk.data());
  size_t inLeft = gbk.size();
  while (inLeft > 0) {
    char* o = buf;
    size_t oLeft = sizeof buf;
    size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    out.append(buf, static_cast<size_t>(o - buf));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      out.push_back('?');  // a byte that is not code page 936
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  return out;
}

void Line(const std::string& text) {
  const char* path = TracePath();
  if (!path) return;
  if (std::FILE* f = std::fopen(path, "a")) {
    std::string line = ToUtf8(text) + "\n";
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
