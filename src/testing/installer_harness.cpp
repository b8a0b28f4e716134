#include "installer_harness.h"

#include <filesystem>

#include "dosfs.h"
#include "resources.h"
#include "s_azh1.h"
#include "s_tsh1.h"
#include "startup.h"

namespace harness {

Program::Program(ScriptedUser& user, const std::string& script, const std::string& cwd)
    : machine(kDrives, "F", cwd), backend(&user), app(backend) {
  resources::RegisterLayouts();
  ResetInstallSettings();
  app.SetTitle("Kelvora安装");
  machine.Write('A', "SETUP.INI", script);
  InstallSettings.SourceDir = "A:\\";
  dosfs::ChDir("c:");
  app.CreateForm(F_bj1);
  app.CreateForm(F_tsh1);
  app.CreateForm(F_azh1);
}

Program::~Program() { F_bj1 = nullptr, F_tsh1 = nullptr, F_azh1 = nullptr; }

int RunFrom(dosfs::testing::TempMachine& machine, ScriptedUser& user, char drive, const std::string& dir) {
  std::filesystem::create_directories(machine.Host(drive, dir));
  std::filesystem::current_path(machine.Host(drive, dir));
  dosfs::UseMachine(machine.root());
  HeadlessBackend backend(&user);
  return RunSetup(backend);
}

}  // namespace harness
