#include "modules/registration/reg_rules.h"

#include "common/pattern/pattern.h"
#include "modules/registration/module/reg_resource_ids.h"

namespace reg {
namespace {
const VariantInfo kInfo[] = {
    {31, 22, IDD_SETUP_WARRANTY3, 0, IDS_NOTIFY_WARRANTY3, IDS_URGENT_WARRANTY3, true, true},
    {365, 351, IDD_SETUP_OWNER, 570, IDS_NOTIFY_OWNER, IDS_URGENT_OWNER, true, false},
    {31, 22, IDD_SETUP_SPECIAL3, 0, IDS_NOTIFY_SPECIAL3, IDS_URGENT_SPECIAL3, false, false},
    {31, 22, IDD_SETUP_WARRANTY4, 0, IDS_NOTIFY_WARRANTY4, IDS_URGENT_WARRANTY4, true, true},
};
}  // namespace

const VariantInfo& Info(Variant v) { return kInfo[static_cast<int>(v) - 1]; }

Variant ChooseVariant(const std::u16string& model, const Settings& settings) {
  const std::pair<Variant, const std::u16string*> order[] = {
      {Variant::FreeWarranty4, &settings.variant4Pattern},
      {Variant::FreeWarranty3, &settings.variant1Pattern},
      {Variant::OwnerRegistration, &settings.variant2Pattern},
      {Variant::SpecialWarranty3, &settings.variant3Pattern},
  };
  for (const auto& [variant, pattern] : order)
    if (!pattern->empty() && Pattern::Find(*pattern, model) == Pattern::Status::Match) return variant;
  return Variant::None;
}

bool InsideWindow(Variant v, std::optional<int64_t> days) {
  return v != Variant::None && days && *days <= Info(v).windowEnd;
}

bool IsUrgent(Variant v, std::optional<int64_t> days) {
  return InsideWindow(v, days) && *days >= Info(v).urgentFrom;
}

}  // namespace reg
