// The release variant: the vendor's control object through COM.
#include <string>
#include <vector>

#include "common/win/com_ptr.h"
#include "tools/vidassist/win/graphics_open.h"
#include "tools/vidassist/win/igfx_external.h"

namespace vida {
namespace {

class ComGraphics : public IGraphics {
 public:
  explicit ComGraphics(ComPtr<ICUIExternal8> object) : object_(std::move(object)) {}

  bool GetDeviceData(Block block, std::vector<uint8_t>& data) override {
    DWORD error = 0;
    return SUCCEEDED(object_->GetDeviceData(BlockGuid(block), static_cast<DWORD>(data.size()), data.data(), &error));
  }
  bool SetDeviceData(Block block, const std::vector<uint8_t>& data) override {
    std::vector<uint8_t> copy = data;
    DWORD error = 0;
    return SUCCEEDED(object_->SetDeviceData(BlockGuid(block), static_cast<DWORD>(copy.size()), copy.data(), &error));
  }
  bool DisplayDevice(uint32_t n, std::u16string& name) override {
    DISPLAY_DEVICEW device = {};
    device.cb = sizeof device;
    if (!EnumDisplayDevicesW(nullptr, n, &device, 0)) return false;
    name.assign(reinterpret_cast<const char16_t*>(device.DeviceName));
    return true;
  }
  AttachResult Attachable(const std::u16string& device, uint32_t index, uint32_t& uid, uint32_t& type,
                          uint32_t& status) override {
    const Bstr name(reinterpret_cast<const wchar_t*>(device.c_str()));
    if (!name.get()) return AttachResult::NoString;
    DWORD u = 0, t = type, s = 0;
    if (FAILED(object_->EnumAttachableDevices(name.get(), index, &u, &t, &s))) return AttachResult::Failed;
    uid = u, type = t, status = s;
    return AttachResult::Ok;
  }

 private:
  ComPtr<ICUIExternal8> object_;
};

}  // namespace

std::unique_ptr<IGraphics> OpenGraphics(bool anyServer) {
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(L"IgfxExt.CUIExternal", &clsid))) return nullptr;
  DWORD context = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
  if (anyServer) context |= CLSCTX_ACTIVATE_64_BIT_SERVER;
  ComPtr<ICUIExternal8> object;
  if (FAILED(CoCreateInstance(clsid, nullptr, context, IID_ICUIExternal8, reinterpret_cast<void**>(object.out()))) ||
      !object)
    return nullptr;
  return std::unique_ptr<IGraphics>(new ComGraphics(std::move(object)));
}

}  // namespace vida
