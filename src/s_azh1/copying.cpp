// Directory creation, file copying across disks, and the expanding copy.
#include "bytestr.h"
#include "dosfs.h"
#include "lz.h"
#include "s_azh1.h"
#include "s_bj1.h"
#include "s_tsh1.h"

namespace {

// Creates the directory P with every missing parent, outermost first.
// Failures are not examined: a copy into a missing directory fails later and
// is handled there.
void CreateNested(std::string P) {
  if (!P.empty() && P.back() == '\\') P.pop_back();
  if (P.size() < 3 || dosfs::DirectoryExists(P)) return;
  const size_t cut = P.find_last_of("\\:");
  const std::string parent = cut == std::string::npos ? std::string() : P.substr(0, cut + 1);
  if (parent == P) return;
  CreateNested(parent);
  dosfs::CreateDir(P);
}

void AdvanceProgress() { F_azh1->ProgressBar1->SetPosition(F_azh1->ProgressBar1->Position() + 1); }

// A copy line: source name, blank, destination. False when the user chose
// Abort.
bool CopyLine(const std::string& line, size_t blank) {
  const std::string source = InstallSettings.SourceDir + line.substr(0, blank);
  const std::string dest = std::string(1, TargetDrive) + ":" + bytestr::Trim(line.substr(blank + 1));

  F_azh1->Label1->SetCaption("从 " + source);
  F_azh1->Label2->SetCaption("到 " + dest);
  Application->ProcessMessages();

  if (dosfs::FileExists(dest) &&
      Application->MessageBox(PutMessage(dest + " 文件已存在，覆盖吗？"), "提示", MB_YESNO) != IDYES) {
    AdvanceProgress();
    return true;
  }
  while (!ExpandCopy(source.c_str(), dest.c_str())) {
    const int answer = Application->MessageBox(PutMessage(source + "不能正常安装！"), "提示", MB_ABORTRETRYIGNORE);
    if (answer == IDRETRY) continue;
    if (answer == IDIGNORE) {
      InstallOk = 0;
      break;
    }
    ShowFailure("系统安装失败！");
    return false;
  }
  AdvanceProgress();
  return true;
}

// A disk marker: while its file is missing, the disk prompt asks for the
// disk and its path. False when the user left the prompt.
bool FindDisk(const std::string& marker, int32_t& DiskNumber) {
  auto& s = InstallSettings;
  F_tsh1->Label3->SetCaption(bytestr::IntToStr(DiskNumber));
  while (!dosfs::FileExists(s.SourceDir + marker)) {
    if (F_tsh1->ShowModal() != mrOk) {
      ShowFailure("系统安装失败！");
      return false;
    }
    s.SourceDir = bytestr::UpperCase(F_tsh1->Edit1->Text());
    if (s.SourceDir.empty() || s.SourceDir.back() != '\\') s.SourceDir += '\\';
  }
  ++DiskNumber;
  return true;
}

}  // namespace

void CreateDirectories() {
  auto& s = InstallSettings;
  for (s.ListCounter = 1; s.ListCounter <= s.DirList.Capacity && !s.DirList[s.ListCounter].empty(); ++s.ListCounter) {
    const std::string path = std::string(1, TargetDrive) + ":" + s.DirList[s.ListCounter];
    if (!dosfs::DirectoryExists(path)) CreateNested(path);
  }
}

bool CopyDiskFiles() {
  auto& s = InstallSettings;
  if (s.SourceDir.empty() || s.SourceDir.back() != '\\') s.SourceDir += '\\';
  F_tsh1->Edit1->SetText(s.SourceDir);
  int32_t DiskNumber = 1;
  for (s.ListCounter = 1; s.ListCounter <= s.DiskList.Capacity && !s.DiskList[s.ListCounter].empty();
       ++s.ListCounter) {
    const std::string line = s.DiskList[s.ListCounter];
    const size_t blank = line.find(' ');
    const bool done = blank != std::string::npos ? CopyLine(line, blank) : FindDisk(line, DiskNumber);
    if (!done) return false;
  }
  return true;
}

bool ExpandCopy(const char* Source, const char* Dest) {
  OFSTRUCT ofs{};
  const INT hSource = LZOpenFileA(Source, &ofs, OF_READ);
  const INT hDest = LZOpenFileA(Dest, &ofs, OF_CREATE);
  const LONG copied = LZCopy(hSource, hDest);
  LZClose(hSource);
  LZClose(hDest);
  return copied >= 0;
}
