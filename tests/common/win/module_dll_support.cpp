#include "tests/common/win/module_dll_support.h"

#include <commctrl.h>
#include <prsht.h>

#include "tests/common/win/win_test_support.h"

namespace wintest {
namespace {
const wchar_t kSheetClass[] = L"TellwickSheetStandIn";
WickpostSetupDlgProcFn g_pageProc = nullptr;  // one page open at a time

INT_PTR CALLBACK PageThunk(HWND h, UINT m, WPARAM w, LPARAM l) { return g_pageProc ? g_pageProc(h, m, w, l) : FALSE; }

LRESULT CALLBACK SheetProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == PSM_CHANGED) SetWindowLongPtrW(h, GWLP_USERDATA, GetWindowLongPtrW(h, GWLP_USERDATA) + 1);
  return DefWindowProcW(h, m, w, l);
}
}  // namespace

bool SimNotebook::Load(const std::wstring& winePath, bool applyRegistryPresets, std::string& error) {
  Reset();
  sim::Scenario scenario;
  if (!sim::ParseScenario(ReadAll(winePath), scenario, error)) return false;
  registry_ = sim::CreatePlatformRegistry();
  driver_ = std::make_unique<sim::SimDriver>(scenario, *registry_);
  if (applyRegistryPresets && driver_->ApplyRegistryPresets() != 0) {
    error = "the scenario's registry presets could not be written";
    return false;
  }
  client_ = std::make_unique<MiscCommon::CMiscCommon>(*driver_);
  if (client_->Open() != MiscCommon::MC_OK) {
    error = "the driver client does not open";
    return false;
  }
  return true;
}

void SimNotebook::Reset() {
  client_.reset();
  driver_.reset();
  registry_.reset();
}

SetupPageInSheet::SetupPageInSheet(HMODULE dll, int dialogId, WickpostSetupDlgProcFn proc) {
  WNDCLASSW cls = {};
  cls.lpfnWndProc = SheetProc;
  cls.hInstance = GetModuleHandleW(nullptr);
  cls.lpszClassName = kSheetClass;
  RegisterClassW(&cls);  // fails harmlessly once registered
  sheet_ = CreateWindowW(kSheetClass, L"sheet", WS_OVERLAPPEDWINDOW, 0, 0, 400, 400, nullptr, nullptr, cls.hInstance,
                         nullptr);
  g_pageProc = proc;
  if (sheet_ && proc) page_ = CreateDialogParamW(dll, MAKEINTRESOURCEW(dialogId), sheet_, PageThunk, 0);
}

SetupPageInSheet::~SetupPageInSheet() {
  if (page_) DestroyWindow(page_);
  if (sheet_) DestroyWindow(sheet_);
  g_pageProc = nullptr;
}

int SetupPageInSheet::changes() const { return static_cast<int>(GetWindowLongPtrW(sheet_, GWLP_USERDATA)); }

void SetupPageInSheet::ResetChanges() { SetWindowLongPtrW(sheet_, GWLP_USERDATA, 0); }

LRESULT SetupPageInSheet::Apply() const {
  NMHDR apply = {sheet_, 0, static_cast<UINT>(PSN_APPLY)};
  return SendMessageW(page_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&apply));
}
}  // namespace wintest
