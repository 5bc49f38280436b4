// The offer modules' store in memory, for their tests: the registry values and the identity
// as plain fields, with a count of the saves.
#pragma once
#include <optional>
#include <string>

#include "modules/kit/offer_schedule.h"

namespace kittest {

class FakeOfferStore : public kit::IOfferStore {
 public:
  bool setupEnable = true, audit = false, modelOk = true;
  std::string model = "PT-15KB3456CD", serial = "9K12304567";
  std::optional<std::u16string> firstLogin;
  std::optional<uint32_t> installDate, notify;
  std::optional<kit::MonthDay> lastNotified;
  int saves = 0;

  bool SetupEnable() override { return setupEnable; }
  std::optional<std::u16string> FirstLogin() override { return firstLogin; }
  std::optional<uint32_t> InstallDate() override { return installDate; }
  std::optional<uint32_t> Notify() override { return notify; }
  bool SaveNotify(bool on) override { return ++saves, notify = on ? 1u : 0u, true; }
  std::optional<kit::MonthDay> LastNotified() override { return lastNotified; }
  bool SaveLastNotified(kit::MonthDay d) override { return ++saves, lastNotified = d, true; }
  void EnsureHostKey() override {}
  bool AuditMode() override { return audit; }
  bool ReadModel(std::string& out) override { return modelOk && (out = model, true); }
  bool ReadSerial(std::string& out) override { return out = serial, true; }
};

}  // namespace kittest
