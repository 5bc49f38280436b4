#include "modules/registration/module/reg_shell.h"

#include "modules/registration/qr_file.h"

namespace reg {
std::u16string WinFiles::ModuleFolder() { return kit::ModuleFolder(); }

std::u16string WinFiles::BitmapPath() {
  const std::u16string folder = kit::TempFolder();
  return folder.empty() ? std::u16string() : folder + u"wkptreg.bmp";
}

bool WinFiles::WriteQr(const std::u16string& path, const std::string& text) {
  return !path.empty() && qr::WriteQrBitmap(path, text.c_str()) == qr::WriteStatus::Ok;
}

}  // namespace reg
