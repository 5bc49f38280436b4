// The update manager dialog (template 107): loads the catalogue for this computer, shows its
// page "wkptrsdl.htm" in the browser control with the rows' download and install boxes, and
// runs the licence and progress dialogs for what the user ticked. Where the control cannot be
// made or cannot navigate (no HTML engine), a list view shows the same rows and boxes.
#pragma once
#include <windows.h>

#include "modules/web/module/web_update_win.h"
#include "modules/web/web_catalogue.h"
#include "modules/web/web_update.h"
#include "modules/web/web_settings.h"

namespace web {

// This computer's release (CWinVersion) and the user's membership of Administrators (CAuthority).
class WinUserRights : public IUserRights {
 public:
  uint16_t WindowsRelease() override;
  bool IsAdministrator() override;
};

struct ManagerSetup {
  CatalogueSource source;
  Machine machine;
  CataloguePorts* ports = nullptr;
  ISettingsStore* store = nullptr;  // "OpenUpdateOnNextBoot"
  ProgressWorker worker = nullptr;  // the download and install work of a run
  void* context = nullptr;
  RestartPort restart = nullptr;  // none: Windows' own restart
  IUserRights* rights = nullptr;  // none: WinUserRights
};

// Runs the manager modally on the calling thread; false when one is already open (the flag
// is shared by every thread that opens it).
bool RunManager(HWND owner, ManagerSetup& setup);

constexpr int kDialogManager = 107;
constexpr int kManagerStart = 1010, kManagerRefresh = 1009, kManagerPrint = 1011, kManagerTotal = 1012,
              kManagerBanner = 1014, kManagerWait = 1022, kManagerList = 1030, kManagerPage = 1031;
constexpr int kManagerHelp = 40002;
constexpr int kStringUnreachable = 104, kStringNoTemp = 118, kStringNothing = 114;

}  // namespace web
