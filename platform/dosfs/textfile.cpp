#include "textfile.h"

#include <cerrno>

#include "dosfs.h"
#include "errors.h"

namespace dosfs {

namespace {
constexpr int kCtrlZ = 0x1A;
constexpr int kNotOpen = 103;  // "file not open"

int CodeFromErrno(int e) {
  switch (e) {
    case ENOENT: return errcode::kFileNotFound;
    case ENOTDIR: return errcode::kPathNotFound;
    case EMFILE: case ENFILE: return errcode::kTooManyOpenFiles;
    case EACCES: case EPERM: case EISDIR: return errcode::kAccessDenied;
    default: return e;
  }
}
}  // namespace

TextFile::~TextFile() {
  if (file_) std::fclose(file_);
}

void TextFile::Reset(std::string_view dosPath) {
  Close();
  auto host = HostPath(dosPath);
  if (!host) throw EInOutError(errcode::kPathNotFound);
  errno = 0;
  file_ = std::fopen(host->c_str(), "rb");
  if (!file_) throw EInOutError(CodeFromErrno(errno));
}

int TextFile::PeekByte() {
  if (!file_) throw EInOutError(kNotOpen);
  int c = std::getc(file_);
  if (c == EOF) {
    if (std::ferror(file_)) throw EInOutError(CodeFromErrno(errno));
    return EOF;
  }
  std::ungetc(c, file_);
  return c;
}

bool TextFile::Eof() {
  int c = PeekByte();
  return c == EOF || c == kCtrlZ;
}

std::string TextFile::ReadLn() {
  std::string line;
  for (;;) {
    int c = PeekByte();
    if (c == EOF || c == kCtrlZ) return line;  // Ctrl-Z stays: it ends the file
    std::getc(file_);
    if (c == '\r') {
      if (PeekByte() == '\n') std::getc(file_);
      return line;
    }
    line.push_back(static_cast<char>(c));
  }
}

void TextFile::Close() {
  if (!file_) return;
  std::FILE* f = file_;
  file_ = nullptr;
  if (std::fclose(f) != 0) throw EInOutError(CodeFromErrno(errno));
}

}  // namespace dosfs
