#include "modules/web/web_settings.h"

namespace web {
namespace {

struct FieldRule {
  const char16_t* name;
  uint32_t fallback;
  uint32_t low, high;  // accepted range, inclusive
};

constexpr uint32_t kAny = 0xFFFFFFFFu;

// "Enable" takes the model's default instead of its fallback.
constexpr FieldRule kRules[kFieldCount] = {
    {u"Enable", 0, 0, kAny},
    {u"CheckMethod", kMethodNone, 1, 3},
    {u"CheckHour", 9, 0, 23},
    {u"CheckMinute", 0, 0, 59},
    {u"NotifyImportant", 1, 0, kAny},
    {u"NotifySupport", 1, 0, kAny},
    {u"NotifyTopics", 0, 0, kAny},
    {u"SuppressAutoCheckMinute", 12, 0, kAny},
    {u"LocalMode", 0, 0, kAny},
};

bool InRange(const FieldRule& r, uint32_t v) { return v >= r.low && v <= r.high; }

}  // namespace

const char16_t* FieldName(Field f) { return kRules[f].name; }

Settings::Settings(uint32_t enableDefault, uint32_t setupEnableDefault) : setupEnable_(setupEnableDefault) {
  for (std::size_t i = 0; i < kFieldCount; ++i) value_[i] = kRules[i].fallback;
  value_[kEnable] = enableDefault;
  read_ = value_;
  origin_.fill(Origin::Default);
}

void Settings::Read(ISettingsStore& store) {
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    const FieldRule& r = kRules[i];
    if (auto user = store.UserDword(r.name)) {
      // The user's value alone decides, even when it is out of range.
      if (InRange(r, *user)) {
        value_[i] = *user;
        origin_[i] = Origin::User;
      }
    } else if (auto machine = store.MachineDword(r.name)) {
      if (InRange(r, *machine)) {
        value_[i] = *machine;
        origin_[i] = Origin::Machine;
      }
    }
  }
  read_ = value_;
  if (auto v = store.MachineDword(u"SetupEnable")) setupEnable_ = *v;
  if (auto v = store.UserDword(u"OpenUpdateOnNextBoot")) openUpdate_ = *v;
}

bool Settings::Save(ISettingsStore& store) {
  if (setupEnable_ == 0 || store.AuditMode()) return false;
  bool all = true;
  for (std::size_t i = 0; i < kFieldCount; ++i) {
    if (value_[i] == read_[i] && origin_[i] != Origin::User) continue;
    if (store.WriteUserDword(kRules[i].name, value_[i])) {
      origin_[i] = Origin::User;
      read_[i] = value_[i];
    } else {
      all = false;
    }
  }
  return all;
}

bool Settings::ClearOpenUpdate(ISettingsStore& store) {
  openUpdate_ = 0;
  if (store.AuditMode()) return false;
  return store.WriteUserDword(u"OpenUpdateOnNextBoot", 0);
}

void Settings::EnableAutoCheck(bool on, ISettingsStore& store) {
  if (!on) {
    value_[kCheckMethod] = kMethodNone;
  } else if (value_[kCheckMethod] == kMethodNone) {
    value_[kCheckMethod] = kMethodOnConnection;
  } else {
    return;
  }
  Save(store);
}

int PreinstallTypeFromVersionFile(const std::string& head) {
  const std::size_t end = head.find('\n');
  if (end == std::string::npos) return 2;
  return end + 1 < head.size() && head[end + 1] == 'J' ? 1 : 2;
}

uint32_t DefaultEnable(std::optional<int> preinstallType, const std::u16string& model,
                       const std::vector<std::u16string>& seriesCodes) {
  if (preinstallType != 1) return 0;
  const std::size_t dash = 2;
  if (model.size() <= dash + 1 || model[dash] != u'-') return 0;
  bool supported = false;
  for (const auto& code : seriesCodes) {
    if (!code.empty() && code.size() <= 2 && model.compare(dash + 1, code.size(), code) == 0) supported = true;
  }
  if (!supported) return 0;
  const char16_t last = model.back();
  return last == u'P' || last == u'R' ? 1 : 0;
}

}  // namespace web
