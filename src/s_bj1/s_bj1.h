// Unit s_bj1: the background window, the setup script reader, and the
// installation settings every other unit reads.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "textfile.h"
#include "toolkit.h"

class TF_bj1 : public TForm {
 public:
  explicit TF_bj1(TComponent* Owner);
  TImage* Image1;
  TLabel* Label1;
  // The setup script reader.
  void FormCreate(TObject* Sender);
};

// Slots numbered from 1 to N, as the script's lists are.
template <size_t N>
struct TSlots {
  std::array<std::string, N> slot;
  std::string& operator[](int32_t i) { return slot.at(static_cast<size_t>(i - 1)); }
  const std::string& operator[](int32_t i) const { return slot.at(static_cast<size_t>(i - 1)); }
  static constexpr int32_t Capacity = static_cast<int32_t>(N);
};

struct TInstallSettings {
  std::string SourceDir;       // upper case, always ending with "\"
  std::string ScriptLine;      // the line being processed, trimmed and upper-cased
  std::string CurrentSection;  // the latest section header
  std::string SetupTitle;
  int32_t SpaceMB = 0;         // required free space in MiB
  int32_t ListCounter = 0;     // next slot of GroupInfo or DirList
  int32_t DiskCounter = 0;     // next slot of DiskList
  TSlots<3> GroupInfo;         // group name, item caption, program path
  TSlots<10> DirList;          // directories to create
  TSlots<50> DiskList;         // copy lines and disk markers
};

// ------------------------------------------------------- process-wide state

extern TF_bj1* F_bj1;
extern TInstallSettings InstallSettings;

// The text of the message box or DDE command being issued.
constexpr size_t MessageBufferSize = 104;
extern char MessageBuffer[MessageBufferSize];
extern dosfs::TextFile ScriptFile;

// Copies a message text into MessageBuffer and returns it from there. A text
// longer than the buffer holds is passed whole from a larger store instead:
// cutting a path or a command would change its meaning.
const char* PutMessage(const std::string& text);

// Back to the state at program start.
void ResetInstallSettings();
