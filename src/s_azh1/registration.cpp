// What a run records in the system once the product's files are copied: the
// database engine's settings and the Program Manager group.
#include "dde.h"
#include "registry.h"
#include "s_azh1.h"
#include "s_bj1.h"

namespace {

// A search path is extended, never replaced: `ours` goes last unless it
// already occurs anywhere in the value.
void ApplySearchPath(TRegistry& Reg, const std::string& Name, const std::string& Ours) {
  const std::string old = Reg.ReadString(Name);
  if (old.empty()) Reg.WriteString(Name, Ours);
  else if (old.find(Ours) == std::string::npos) Reg.WriteString(Name, old + ";" + Ours);
}

// A value that is set already is left as it is.
void FillIfEmpty(TRegistry& Reg, const std::string& Name, const std::string& Ours) {
  if (Reg.ReadString(Name).empty()) Reg.WriteString(Name, Ours);
}

}  // namespace

void WriteEngineSettings() {
  const std::string EngineDir = std::string(1, TargetDrive) + ":" + InstallSettings.DirList[1];
  TRegistry Reg;
  Reg.SetRootKey(HKEY_LOCAL_MACHINE);

  Reg.CreateKey("\\software\\borland\\blw32");
  Reg.OpenKey("\\software\\borland\\blw32", true);
  ApplySearchPath(Reg, "BLAPIPATH", EngineDir);
  FillIfEmpty(Reg, "LOCALE_LIB3", EngineDir + "\\charset.bll");
  FillIfEmpty(Reg, "LOCALE_LIB6", EngineDir + "\\fareast.bll");

  Reg.CreateKey("\\software\\borland\\database engine");
  Reg.OpenKey("\\software\\borland\\database engine", true);
  ApplySearchPath(Reg, "DLLPATH", EngineDir);

  Reg.CreateKey("\\software\\borland\\database engine\\settings\\drivers");

  Reg.CreateKey("\\software\\borland\\database engine\\settings\\system\\init");
  Reg.OpenKey("\\software\\borland\\database engine\\settings\\system\\init", true);
  Reg.WriteString("LANGDRIVER", "china");
  Reg.CloseKey();
}

void CreateProgramGroup() {
  TDdeClientConv& Conv = F_azh1->DdeClientConv1;
  const auto& Group = InstallSettings.GroupInfo;
  const std::string Drive(1, TargetDrive);
  Conv.OpenLink();
  Conv.ExecuteMacro(PutMessage("[creategroup(" + Group[1] + ")]"), false);
  Conv.ExecuteMacro(PutMessage("[showgroup(" + Group[1] + ",1)]"), false);
  Conv.ExecuteMacro(
      PutMessage("[additem(" + Drive + ":" + Group[3] + "," + Group[2] + "," + Drive + ":" + Group[3] + ",0)]"), false);
  Conv.CloseLink();
}
