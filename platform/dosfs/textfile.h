// Text files read line by line.
//
// A line ends at CR, or at CR LF taken as one unit; an LF alone is an
// ordinary byte of the line. A Ctrl-Z byte (0x1A) ends the file: the bytes
// before it on its line are the last line. Lines have no length limit.
// Failures raise EInOutError with the system's error code.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace dosfs {

class TextFile {
 public:
  TextFile() = default;
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;
  ~TextFile();

  // Opens a file for reading (read access only, shared with other readers).
  void Reset(std::string_view dosPath);
  // True when no byte is left or the next byte is Ctrl-Z.
  bool Eof();
  // The bytes up to the end of the current line; moves past the line's end.
  std::string ReadLn();
  void Close();

 private:
  int PeekByte();  // next byte or EOF, raising on a read error
  std::FILE* file_ = nullptr;
};

}  // namespace dosfs
