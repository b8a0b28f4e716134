#include "s_bj1.h"

#include <cstring>

#include "bytestr.h"

TF_bj1* F_bj1 = nullptr;
TInstallSettings InstallSettings;
char MessageBuffer[MessageBufferSize];
dosfs::TextFile ScriptFile;

namespace {
// Holds a message text that does not fit MessageBuffer.
std::string LongMessage;
}  // namespace

const char* PutMessage(const std::string& text) {
  if (text.size() < MessageBufferSize) {
    std::memcpy(MessageBuffer, text.c_str(), text.size() + 1);
    return MessageBuffer;
  }
  LongMessage = text;
  return LongMessage.c_str();
}

void ResetInstallSettings() {
  InstallSettings = TInstallSettings{};
  std::memset(MessageBuffer, 0, sizeof MessageBuffer);
  LongMessage.clear();
  ScriptFile.Close();
}

TF_bj1::TF_bj1(TComponent* Owner) : TForm(Owner) {
  LoadLayout("F_bj1", {{"FormCreate", [this](TObject* Sender) { FormCreate(Sender); }}});
  Image1 = Find<TImage>("Image1");
  Label1 = Find<TLabel>("Label1");
}

namespace {

// Stores a value line in the next slot of a list. A list that is full
// refuses the line: the script names more than the installer can do, and
// going on without the line would install the product incompletely.
template <size_t N>
void Store(TSlots<N>& list, int32_t& counter, const std::string& section) {
  auto& s = InstallSettings;
  if (counter < 1 || counter > list.Capacity)
    throw EConvertError("SETUP.INI 的 " + section + " 段超过 " + std::to_string(list.Capacity) + " 行: '" +
                        s.ScriptLine + "'");
  list[counter] = s.ScriptLine;
  ++counter;
}

}  // namespace

void TF_bj1::FormCreate(TObject* /*Sender*/) {
  auto& s = InstallSettings;
  ScriptFile.Reset(s.SourceDir + "setup.ini");
  while (!ScriptFile.Eof()) {
    s.ScriptLine = bytestr::UpperCase(bytestr::Trim(ScriptFile.ReadLn()));
    if (s.ScriptLine.empty()) continue;
    if (s.ScriptLine == "[TITLE]" || s.ScriptLine == "[SPACE]" || s.ScriptLine == "[DIR]" ||
        s.ScriptLine == "[GROUP]" || s.ScriptLine == "[DISK]") {
      s.CurrentSection = s.ScriptLine;
      if (s.ScriptLine == "[DIR]" || s.ScriptLine == "[GROUP]") s.ListCounter = 1;
      if (s.ScriptLine == "[DISK]") s.DiskCounter = 1;
      continue;
    }
    if (s.CurrentSection == "[TITLE]") {
      s.SetupTitle = s.ScriptLine;
    } else if (s.CurrentSection == "[SPACE]") {
      if (!bytestr::ParseInt32(s.ScriptLine, s.SpaceMB))
        throw EConvertError("'" + s.ScriptLine + "' is not a valid integer value");
    } else if (s.CurrentSection == "[GROUP]") {
      Store(s.GroupInfo, s.ListCounter, s.CurrentSection);
    } else if (s.CurrentSection == "[DIR]") {
      Store(s.DirList, s.ListCounter, s.CurrentSection);
    } else if (s.CurrentSection == "[DISK]") {
      Store(s.DiskList, s.DiskCounter, s.CurrentSection);
    }
  }
  ScriptFile.Close();
  Label1->SetCaption(s.SetupTitle);
  Show();
}
