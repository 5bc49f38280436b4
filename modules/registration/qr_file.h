// Putting the QR bitmap on disk. Paths are UTF-16, as everywhere in the core.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "modules/registration/qr_encode.h"

namespace qr {

enum class WriteStatus {
  Ok,
  EncodeFailed,  // see the EncodeStatus
  FileFailed,    // the file could not be created or written
};

// Writes `bytes` to `path`, replacing a file there. On failure no file is left at `path`.
bool WriteFileBytes(const std::u16string& path, const std::vector<uint8_t>& bytes) noexcept;

// Encodes `text` and writes its bitmap to `path`. On any failure no file is left at `path`:
// an older bitmap there is removed too, so that a page never shows a stale code.
WriteStatus WriteQrBitmap(const std::u16string& path, const uint8_t* text, size_t length,
                          const EncodeOptions& options = EncodeOptions{}, EncodeStatus* encodeStatus = nullptr) noexcept;
// The registration page's call: a zero-terminated text at level Q, the smallest version, mask 0.
WriteStatus WriteQrBitmap(const std::u16string& path, const char* text, EncodeStatus* encodeStatus = nullptr) noexcept;

}  // namespace qr
