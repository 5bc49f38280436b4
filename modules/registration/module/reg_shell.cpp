#include "modules/registration/module/reg_shell.h"

#include "common/core/misccommon.h"
#include "common/core/model_identity.h"
#include "modules/registration/qr_file.h"

namespace reg {
bool WinStore::ReadModel(std::string& model) {
  return client() && MiscCommon::ReadModelNumber(*client(), model) == MiscCommon::MC_OK && !model.empty();
}

bool WinStore::ReadSerial(std::string& serial) {
  return client() && MiscCommon::ReadSerialNumber(*client(), serial) == MiscCommon::MC_OK;
}

std::u16string WinFiles::ModuleFolder() { return kit::ModuleFolder(); }

std::u16string WinFiles::BitmapPath() {
  const std::u16string folder = kit::TempFolder();
  return folder.empty() ? std::u16string() : folder + u"wkptreg.bmp";
}

bool WinFiles::WriteQr(const std::u16string& path, const std::string& text) {
  return !path.empty() && qr::WriteQrBitmap(path, text.c_str()) == qr::WriteStatus::Ok;
}

}  // namespace reg
