// The LZ expansion service: the three calls of the Windows LZ library that
// the installer uses, over DOS paths of the drive-letter file system.
//
// Reading a source opened with OF_READ yields its expanded content when the
// file is in the SZDD format of the file compression utility (decided from
// the content, never from the name), and its plain bytes otherwise.
#pragma once

#include <cstdint>

using INT = int32_t;
using LONG = int32_t;
using WORD = uint16_t;

constexpr int OFS_MAXPATHNAME = 128;

// The open-file record both opens fill in; nothing reads it afterwards.
struct OFSTRUCT {
  uint8_t cBytes;
  uint8_t fFixedDisk;
  WORD nErrCode;
  WORD Reserved1;
  WORD Reserved2;
  char szPathName[OFS_MAXPATHNAME];
};

constexpr WORD OF_READ = 0x0000;
constexpr WORD OF_CREATE = 0x1000;

// Error codes of the library (negative handles or results).
constexpr INT LZERROR_BADINHANDLE = -1;
constexpr INT LZERROR_BADOUTHANDLE = -2;
constexpr INT LZERROR_READ = -3;
constexpr INT LZERROR_WRITE = -4;
constexpr INT LZERROR_GLOBALLOC = -5;
constexpr INT LZERROR_BADVALUE = -7;
constexpr INT LZERROR_UNKNOWNALG = -8;

// Opens `fileName` (a DOS path, code page 936) for reading (OF_READ) or
// creates/truncates it for writing (OF_CREATE). Returns a handle (>= 0) or a
// negative error code.
INT LZOpenFileA(const char* fileName, OFSTRUCT* reOpenBuff, WORD style);

// Copies the whole (expanded) content of hfSource to hfDest. Returns the
// number of bytes written, or a negative error code (also when either handle
// is an error code).
LONG LZCopy(INT hfSource, INT hfDest);

// Closes a handle; a negative or unknown handle is ignored.
void LZClose(INT hFile);
