// The notification settings sheet: the host's general page, then one page per module.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "host/core/host_settings.h"
#include "host/module_contract.h"

namespace host {

// A module's page: its template in its own resources, run by its own procedure.
struct ModulePage {
  HINSTANCE instance;
  uint16_t templateId;
  WickpostSetupDlgProcFn proc;
};

struct SettingsSheet {
  HINSTANCE instance;
  HWND owner;
  HostSettings* settings;             // edited only on apply
  void (*save)(void* context);        // stores *settings
  void* saveContext;
  std::vector<std::u16string> autoHideChoices;
};

// Modal. False when the general page could not be made and nothing was shown.
bool ShowSettingsSheet(const SettingsSheet& sheet, const std::vector<ModulePage>& modulePages);

}  // namespace host
