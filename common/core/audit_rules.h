// Whether Windows is still in the maker's factory deployment (audit) phase, by release.
// The facts are asked lazily: each rule reads only what it needs, in its order.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

enum : unsigned { AUDIT_CHECK_CLONETAG = 1, AUDIT_CHECK_SYSPREP = 2 };

namespace audit {
class IAuditFacts {
 public:
  virtual ~IAuditFacts() = default;
  virtual std::optional<uint32_t> AuditInProgress() = 0;    // "SYSTEM\Setup" "AuditInProgress" (REG_DWORD)
  virtual bool HasCloneTag() = 0;                           // "SYSTEM\Setup" "CloneTag" exists
  virtual bool SysprepShutdownOpens() = 0;                  // "C:\sysprep\shutdown.exe" can be opened
  virtual std::optional<std::u16string> ImageState() = 0;   // "...\Setup\State" "ImageState" (string)
  virtual std::optional<uint32_t> PreinstallAudit() = 0;    // "SOFTWARE\Velmorant\Preinstall\Setup" "Audit", 64-bit view
};

bool IsAuditMode(uint16_t osType, unsigned flags, IAuditFacts& facts);
}  // namespace audit
