#include "modules/registration/qr_file.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <system_error>

#include "modules/registration/qr_bmp.h"

namespace qr {
namespace {

namespace fs = std::filesystem;

// Removes a file (never a directory) at `path`; quiet when there is none.
void RemoveFileAt(const std::u16string& path) noexcept {
  try {
    const fs::path target(path);
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(target, ec);
    if (!ec && (fs::is_regular_file(status) || fs::is_symlink(status))) fs::remove(target, ec);
  } catch (...) {
    // A path that cannot be formed names no file that we could have written.
  }
}

bool WriteAll(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return false;
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file.close();
  return !file.fail();
}

}  // namespace

bool WriteFileBytes(const std::u16string& path, const std::vector<uint8_t>& bytes) noexcept {
  bool written = false;
  try {
    written = WriteAll(fs::path(path), bytes);
  } catch (...) {
    written = false;
  }
  if (!written) RemoveFileAt(path);
  return written;
}

WriteStatus WriteQrBitmap(const std::u16string& path, const uint8_t* text, size_t length, const EncodeOptions& options,
                          EncodeStatus* encodeStatus) noexcept {
  std::unique_ptr<Symbol> symbol(new (std::nothrow) Symbol);
  EncodeStatus status = symbol ? Encode(text, length, options, *symbol) : EncodeStatus::OutOfMemory;
  std::vector<uint8_t> bytes;
  if (status == EncodeStatus::Ok) {
    bytes = BitmapBytes(*symbol);
    if (bytes.empty()) status = EncodeStatus::OutOfMemory;
  }
  if (encodeStatus != nullptr) *encodeStatus = status;
  if (status != EncodeStatus::Ok) {
    RemoveFileAt(path);
    return WriteStatus::EncodeFailed;
  }
  return WriteFileBytes(path, bytes) ? WriteStatus::Ok : WriteStatus::FileFailed;
}

WriteStatus WriteQrBitmap(const std::u16string& path, const char* text, EncodeStatus* encodeStatus) noexcept {
  const size_t length = text == nullptr ? 0 : std::strlen(text);
  return WriteQrBitmap(path, reinterpret_cast<const uint8_t*>(text), length, EncodeOptions{}, encodeStatus);
}

}  // namespace qr
