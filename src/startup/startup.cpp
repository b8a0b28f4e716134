#include "startup.h"

#include "bytestr.h"
#include "dosfs.h"
#include "resources.h"
#include "s_azh1.h"
#include "s_bj1.h"
#include "s_tsh1.h"

int RunSetup(Backend& backend) {
  TApplication app(backend);
  resources::RegisterLayouts();
  ResetInstallSettings();
  struct Forms {
    ~Forms() { F_bj1 = nullptr, F_tsh1 = nullptr, F_azh1 = nullptr; }
  } forms;  // the windows go with the application object
  try {
    app.SetTitle("Kelvora安装");
    auto& s = InstallSettings;
    s.SourceDir = bytestr::UpperCase(dosfs::GetCurrentDir());
    if (s.SourceDir.empty() || s.SourceDir.back() != '\\') s.SourceDir += '\\';
    if (dosfs::FileExists(s.SourceDir + "SETUP.INI")) {
      dosfs::ChDir("c:");
      app.CreateForm(F_bj1);
      app.CreateForm(F_tsh1);
      app.CreateForm(F_azh1);
      F_azh1->ShowModal();
    } else {
      app.MessageBox(PutMessage(s.SourceDir + "SETUP.INI 不存在,不能安装！"), "错误", MB_OK);
    }
    app.Run();
  } catch (const Exception& e) {
    app.ShowFatal(e, "setup");
    return 1;
  }
  return 0;
}
