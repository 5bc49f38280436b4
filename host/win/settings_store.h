// The host settings in the registry, through CReg.
#pragma once
#include "common/win/reg.h"
#include "host/core/host_settings.h"

namespace host {

class RegistrySettingsStore : public ISettingsStore {
 public:
  bool Read(SettingsRoot root, const char16_t* name, uint32_t* value) override;
  bool WriteUser(const char16_t* name, uint32_t value) override;

 private:
  CReg reg_;
};

}  // namespace host
