#include "modules/hdmi/module/hdmi_shell.h"

#include "common/win/reg.h"
#include "modules/hdmi/module/hdmi_helper.h"
#include "modules/kit/module/kit_com.h"
#include "tools/vidassist/vidassist_core.h"
#include "tools/vidassist/win/graphics_open.h"

namespace hdmi {
namespace {

// The graphics object in this process, spoken to through the helper's own protocol core.
// The graphics object in this process; COM stays up on the thread as long as it is held.
class InProcessChannel : public ICommandChannel {
 public:
  InProcessChannel(std::unique_ptr<kit::ComScope> com, std::unique_ptr<vida::IGraphics> graphics)
      : com_(std::move(com)), graphics_(std::move(graphics)), protocol_(graphics_.get()) {}
  bool Request(const std::string& command, std::string& reply) override {
    reply = protocol_.Line(command).output;
    if (!reply.empty() && reply.back() == '\n') reply.pop_back();
    return true;
  }

 private:
  std::unique_ptr<kit::ComScope> com_;
  std::unique_ptr<vida::IGraphics> graphics_;
  vida::Protocol protocol_;
};

}  // namespace

std::optional<uint32_t> WinStore::Override() {
  DWORD value = 0;
  if (!CReg().ReadDword(HKEY_CURRENT_USER, kModuleKey, L"OverrideDisplay", &value)) return std::nullopt;
  return value;
}

std::optional<uint32_t> WinStore::Known(const std::u16string& key) {
  DWORD value = 0;
  if (!CReg().ReadDword(HKEY_CURRENT_USER, kKnownKey, kit::Wide(key), &value)) return std::nullopt;
  return value;
}

void WinStore::SetKnown(const std::u16string& key, uint32_t value) {
  CReg().WriteDword(HKEY_CURRENT_USER, kKnownKey, kit::Wide(key), value);
}

std::unique_ptr<IDisplay> WinDisplayOpener::Open() {
  std::unique_ptr<kit::ComScope> com(new kit::ComScope);
  if (std::unique_ptr<vida::IGraphics> graphics = vida::OpenGraphics(false))
    return std::unique_ptr<IDisplay>(new CommandDisplay(
        std::unique_ptr<ICommandChannel>(new InProcessChannel(std::move(com), std::move(graphics)))));
  com.reset();
  if (!HelperAllowed()) return nullptr;
  const std::u16string folder = kit::ModuleFolder();
  if (folder.empty()) return nullptr;
  const std::wstring exe = std::wstring(kit::Wide(folder)) + L"vidassist.exe";
  if (GetFileAttributesW(exe.c_str()) == INVALID_FILE_ATTRIBUTES) return nullptr;
  std::unique_ptr<HelperChannel> helper = HelperChannel::Start(exe);
  if (!helper) return nullptr;
  return std::unique_ptr<IDisplay>(new CommandDisplay(std::move(helper)));
}

void WinHostLink::PostCheckModule() { PostMessageW(host, WM_HOST_CHECKMODULE, static_cast<WPARAM>(moduleIndex), 0); }
void WinHostLink::PostClosePopup() { PostMessageW(host, WM_HOST_CLOSEPOPUP, 0, 0); }
void WinHostLink::StartTimer() { SetTimer(hidden, 1, 100, nullptr); }
// The host reads the interval at every tick: at the next it asks the automatic check, which
// answers nothing, and the host takes the line off its list.
void WinHostLink::WithdrawLine() {
  if (info) info->checkInterval = 0;
}
void WinHostLink::KeepLine() {
  if (info) info->checkInterval = CHECK_INTERVAL_NEVER;
}
void WinHostLink::PostDetect() { PostMessageW(hidden, kDetectMessage, 0, 0); }
void WinHostLink::DestroyPanel() {
  if (panel) EndDialog(panel, 0);
  panel = nullptr;
}
void WinHostLink::PostPanelState(int state) {
  if (panel) PostMessageW(panel, 0x8000, static_cast<WPARAM>(state), 0);
}

}  // namespace hdmi
