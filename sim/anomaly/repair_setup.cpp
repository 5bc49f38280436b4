// The test application's installer. Usage: velsetup /key KEY /name NAME /file TARGET
// Runs for the scenario's [anomaly] install.delay, then by its "install" entry:
//   ok       copies velapp.exe (beside it) to TARGET and writes HKLM KEY with DisplayName NAME
//   fail     writes nothing, exit code 1603
//   slow     as ok, once install.delay has passed (set it beyond the module's time budget)
//   restart  leaves TARGET to the next restart (PendingFileRenameOperations), exit code 3010
// Each run appends "run" to the file named by TELLWICK_INSTALL_LOG, when that is set.
#include <windows.h>

#include <string>
#include <vector>

#include "sim/driver/scenario.h"
#include "sim/driver/scenario_source.h"

namespace {
std::wstring Argument(int argc, wchar_t** argv, const wchar_t* name) {
  for (int i = 1; i + 1 < argc; ++i)
    if (lstrcmpiW(argv[i], name) == 0) return argv[i + 1];
  return L"";
}

bool AddPendingRename(const std::wstring& target) {
  const wchar_t* key = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  HKEY k = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &k, nullptr) != ERROR_SUCCESS)
    return false;
  std::vector<wchar_t> list;
  DWORD size = 0, type = 0;
  if (RegQueryValueExW(k, L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) == ERROR_SUCCESS && size) {
    list.resize(size / 2 + 1, 0);
    RegQueryValueExW(k, L"PendingFileRenameOperations", nullptr, &type, reinterpret_cast<BYTE*>(list.data()), &size);
    list.resize(size / 2);
    while (!list.empty() && list.back() == 0) list.pop_back();
    list.push_back(0);
  }
  const std::wstring from = L"\\??\\" + target + L".new", to = L"!\\??\\" + target;
  list.insert(list.end(), from.begin(), from.end());
  list.push_back(0);
  list.insert(list.end(), to.begin(), to.end());
  list.push_back(0);
  list.push_back(0);
  const bool ok = RegSetValueExW(k, L"PendingFileRenameOperations", 0, REG_MULTI_SZ, reinterpret_cast<BYTE*>(list.data()),
                                 static_cast<DWORD>(list.size() * 2)) == ERROR_SUCCESS;
  RegCloseKey(k);
  return ok;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring key = Argument(argc, argv, L"/key"), name = Argument(argc, argv, L"/name"),
                     target = Argument(argc, argv, L"/file");
  if (key.empty() || name.empty() || target.empty()) return 87;
  sim::Scenario scenario;
  std::string error;
  const sim::ScenarioSource source = sim::ReadScenarioSource();
  if (!source.readable || !sim::ParseScenario(source.text, scenario, error)) return 13;
  const sim::SimAnomaly& a = scenario.anomaly;
  wchar_t log[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"TELLWICK_INSTALL_LOG", log, MAX_PATH)) {
    HANDLE f = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
    DWORD written = 0;
    if (f != INVALID_HANDLE_VALUE) WriteFile(f, "run\n", 4, &written, nullptr), CloseHandle(f);
  }
  Sleep(a.installDelayMs);  // the installation's own run time
  if (a.install == "fail") return 1603;
  if (a.install == "restart") return AddPendingRename(target) ? 3010 : 1603;
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring app = self;
  app = app.substr(0, app.find_last_of(L'\\') + 1) + L"velapp.exe";
  const std::wstring folder = target.substr(0, target.find_last_of(L'\\'));
  CreateDirectoryW(folder.c_str(), nullptr);
  if (!CopyFileW(app.c_str(), target.c_str(), FALSE)) return 1603;
  HKEY k = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) != ERROR_SUCCESS)
    return 1603;
  RegSetValueExW(k, L"DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                 static_cast<DWORD>((name.size() + 1) * 2));
  RegCloseKey(k);
  return 0;
}
