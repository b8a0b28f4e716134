// The LZ expansion service: the three calls of the Windows LZ library that
// the installer uses, over DOS paths of the drive-letter file system.
//
// Reading a source opened with OF_READ yields its expanded content when the
// file is in the SZDD format of the file compression utility (decided from
// the content, never from the name), and its plain bytes otherwise. The
// format and its streaming decoder are in szdd.h. The calls may be made from
// several threads; a handle's table entry is guarded.
#pragma once

#include <cstdint>

using INT = int32_t;
using LONG = int32_t;
using WORD = uint16_t;

constexpr int OFS_MAXPATHNAME = 128;

// The open-file record both opens fill in; nothing reads it afterwards.
// cBytes is sizeof(OFSTRUCT); fFixedDisk is 1 when the path's drive is a
// fixed disk; nErrCode is 0 on success, else the DOS error code (2 file not
// found, 3 path not found or drive not in the table, 4 too many open files,
// 5 access denied, including a directory or an unsupported style);
// szPathName is the path as given, cut to 127 bytes and always terminated.
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

// The result of an open that fails (the file cannot be opened or created).
constexpr INT HFILE_ERROR = -1;

// Error codes of the library (negative handles or results).
constexpr INT LZERROR_BADINHANDLE = -1;
constexpr INT LZERROR_BADOUTHANDLE = -2;
constexpr INT LZERROR_READ = -3;
constexpr INT LZERROR_WRITE = -4;
constexpr INT LZERROR_GLOBALLOC = -5;
constexpr INT LZERROR_BADVALUE = -7;
constexpr INT LZERROR_UNKNOWNALG = -8;

// Opens `fileName` (a DOS path, code page 936) for reading (OF_READ) or
// creates/truncates it for writing (OF_CREATE); the share-mode bits 0x70 are
// ignored. Returns a handle (a small integer >= 0; closed handles' numbers
// are reused) or a negative value:
//   HFILE_ERROR (-1)        the file cannot be opened or created: missing,
//                           drive not in the table, directory missing,
//                           access denied, a directory, or for OF_READ
//                           anything but a regular file (a device or pipe);
//   LZERROR_BADVALUE (-7)   a null name or a style other than the two above;
//   LZERROR_GLOBALLOC (-5)  no memory for the handle.
// `reOpenBuff` (may be null) is filled in every case.
//
// OF_READ decides from the first 14 bytes whether the file is SZDD (see
// szdd.h). A file with the SZDD magic but a mode other than 'A' opens
// normally and its copy fails with LZERROR_UNKNOWNALG, writing nothing: such
// a file cannot be expanded, and installing its compressed bytes under the
// expanded name would hide the fault. Unlike the Windows library, a missing
// file is not retried under its compressed name (last character '_').
INT LZOpenFileA(const char* fileName, OFSTRUCT* reOpenBuff, WORD style);

// Copies the whole content of hfSource, from its start, to hfDest at
// hfDest's current position: SZDD data expanded (ending where the input ends;
// a reference cut after its first byte is dropped and the output ends after
// the last complete item; the header's length field is ignored), any other
// file byte for byte. Memory use is bounded whatever the file's size.
// Returns the number of bytes written, saturated at INT32_MAX (2^31-1) for
// larger outputs so that a successful copy never looks like an error, or:
//   LZERROR_BADINHANDLE (-1)   hfSource is negative, unknown, closed or a
//                              handle opened with OF_CREATE (checked first);
//   LZERROR_BADOUTHANDLE (-2)  the same for hfDest, or one opened with OF_READ;
//   LZERROR_UNKNOWNALG (-8)    SZDD with an unknown mode (nothing written);
//   LZERROR_READ (-3), LZERROR_WRITE (-4)  an input or output error (what was
//                              written before it stays written);
//   LZERROR_GLOBALLOC (-5)     no memory for the buffers.
LONG LZCopy(INT hfSource, INT hfDest);

// Closes a handle; a negative or unknown handle is ignored.
void LZClose(INT hFile);
