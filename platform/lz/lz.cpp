#include "lz.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "dosfs.h"
#include "errors.h"
#include "szdd.h"

namespace {

enum class Kind { PlainIn, SzddIn, UnknownAlgIn, Out };

struct LzFile {
  int fd = -1;
  Kind kind = Kind::PlainIn;
  LzFile(int f, Kind k) : fd(f), kind(k) {}
  ~LzFile() { ::close(fd); }
  LzFile(const LzFile&) = delete;
  LzFile& operator=(const LzFile&) = delete;
};

// Handles index this table. A copy holds its own references, so a handle
// closed meanwhile keeps its descriptor until the copy ends.
std::mutex tableMutex;
std::vector<std::shared_ptr<LzFile>> table;

INT AddHandle(std::shared_ptr<LzFile> f) {
  std::lock_guard lock(tableMutex);
  auto free = std::find(table.begin(), table.end(), nullptr);
  if (free != table.end()) {
    *free = std::move(f);
    return static_cast<INT>(free - table.begin());
  }
  table.push_back(std::move(f));
  return static_cast<INT>(table.size() - 1);
}

std::shared_ptr<LzFile> FindHandle(INT h) {
  std::lock_guard lock(tableMutex);
  if (h < 0 || static_cast<size_t>(h) >= table.size()) return nullptr;
  return table[static_cast<size_t>(h)];
}

// The DOS error code for a failed open of `host`.
WORD DosError(int err, const std::string& host) {
  switch (err) {
    case ENOENT: {
      std::error_code ec;
      return std::filesystem::is_directory(std::filesystem::path(host).parent_path(), ec) ? errcode::kFileNotFound
                                                                                          : errcode::kPathNotFound;
    }
    case ENOTDIR:
    case ENAMETOOLONG:
      return errcode::kPathNotFound;
    case EMFILE:
    case ENFILE:
      return errcode::kTooManyOpenFiles;
    default:
      return errcode::kAccessDenied;
  }
}

bool OnFixedDisk(const char* fileName) {
  char letter = 0;
  if (fileName[0] != '\0' && fileName[1] == ':') letter = fileName[0];
  else letter = dosfs::GetCurrentDir()[0];
  const dosfs::Drive* d = dosfs::FindDrive(letter);
  return d && d->kind == dosfs::DriveKind::Fixed;
}

ssize_t ReadSome(int fd, uint8_t* buffer, size_t size, off_t offset) {
  for (;;) {
    ssize_t n = ::pread(fd, buffer, size, offset);
    if (n >= 0 || errno != EINTR) return n;
  }
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Plain copies move this much per read and write.
constexpr size_t kPlainBuffer = 1 << 20;

LONG Saturate(uint64_t count) {
  return static_cast<LONG>(std::min<uint64_t>(count, std::numeric_limits<LONG>::max()));
}

}  // namespace

INT LZOpenFileA(const char* fileName, OFSTRUCT* reOpenBuff, WORD style) {
  OFSTRUCT ofs{};
  ofs.cBytes = sizeof(OFSTRUCT);
  if (fileName) {
    std::strncpy(ofs.szPathName, fileName, OFS_MAXPATHNAME - 1);
    ofs.fFixedDisk = OnFixedDisk(fileName) ? 1 : 0;
  }
  auto finish = [&](INT result) {
    if (reOpenBuff) *reOpenBuff = ofs;
    return result;
  };

  // The share-mode bits (0x70) do not matter here; any other style is refused.
  WORD mode = style & ~WORD{0x70};
  if (!fileName || (mode != OF_READ && mode != OF_CREATE)) {
    ofs.nErrCode = errcode::kAccessDenied;
    return finish(LZERROR_BADVALUE);
  }
  auto host = dosfs::HostPath(fileName);
  if (!host) {
    ofs.nErrCode = errcode::kPathNotFound;
    return finish(HFILE_ERROR);
  }

  int flags = mode == OF_CREATE ? O_WRONLY | O_CREAT | O_TRUNC : O_RDONLY;
  int fd = ::open(host->c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) {
    ofs.nErrCode = DosError(errno, *host);
    return finish(HFILE_ERROR);
  }
  struct stat st {};
  // Only regular files are read (a device or pipe could be endless); any
  // writable non-directory may be created, /dev/null included.
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || (mode == OF_READ && !S_ISREG(st.st_mode))) {
    ::close(fd);
    ofs.nErrCode = errcode::kAccessDenied;
    return finish(HFILE_ERROR);
  }

  Kind kind = Kind::Out;
  if (mode == OF_READ) {
    // A header that cannot be read leaves the file plain; the copy then
    // reports the read error.
    uint8_t head[lz::kSzddHeaderSize];
    ssize_t n = ReadSome(fd, head, sizeof head, 0);
    std::string_view headView(reinterpret_cast<const char*>(head), n > 0 ? static_cast<size_t>(n) : 0);
    switch (lz::ClassifyHeader(headView)) {
      case lz::SzddKind::Plain: kind = Kind::PlainIn; break;
      case lz::SzddKind::Szdd: kind = Kind::SzddIn; break;
      case lz::SzddKind::UnknownMode: kind = Kind::UnknownAlgIn; break;
    }
  }
  try {
    return finish(AddHandle(std::make_shared<LzFile>(fd, kind)));
  } catch (const std::bad_alloc&) {
    ::close(fd);
    ofs.nErrCode = errcode::kTooManyOpenFiles;
    return finish(LZERROR_GLOBALLOC);
  }
}

LONG LZCopy(INT hfSource, INT hfDest) {
  auto src = FindHandle(hfSource);
  if (!src || src->kind == Kind::Out) return LZERROR_BADINHANDLE;
  auto dst = FindHandle(hfDest);
  if (!dst || dst->kind != Kind::Out) return LZERROR_BADOUTHANDLE;
  if (src->kind == Kind::UnknownAlgIn) return LZERROR_UNKNOWNALG;

  off_t offset = src->kind == Kind::SzddIn ? static_cast<off_t>(lz::kSzddHeaderSize) : 0;
  try {
    if (src->kind == Kind::PlainIn) {
      std::vector<uint8_t> buffer(kPlainBuffer);
      uint64_t written = 0;
      for (;;) {
        ssize_t n = ReadSome(src->fd, buffer.data(), buffer.size(), offset);
        if (n < 0) return LZERROR_READ;
        if (n == 0) return Saturate(written);
        if (!WriteAll(dst->fd, buffer.data(), static_cast<size_t>(n))) return LZERROR_WRITE;
        offset += n;
        written += static_cast<uint64_t>(n);
      }
    }
    lz::ExpandResult r = lz::ExpandLzss(
        [&](uint8_t* buffer, size_t size) -> ptrdiff_t {
          ssize_t n = ReadSome(src->fd, buffer, size, offset);
          if (n > 0) offset += n;
          return n;
        },
        [&](const uint8_t* data, size_t size) { return WriteAll(dst->fd, data, size); });
    switch (r.status) {
      case lz::ExpandStatus::ReadError: return LZERROR_READ;
      case lz::ExpandStatus::WriteError: return LZERROR_WRITE;
      case lz::ExpandStatus::Ok: break;
    }
    return Saturate(r.written);
  } catch (const std::bad_alloc&) {
    return LZERROR_GLOBALLOC;
  }
}

void LZClose(INT hFile) {
  std::shared_ptr<LzFile> closing;  // released outside the lock
  std::lock_guard lock(tableMutex);
  if (hFile < 0 || static_cast<size_t>(hFile) >= table.size()) return;
  closing = std::move(table[static_cast<size_t>(hFile)]);
}
