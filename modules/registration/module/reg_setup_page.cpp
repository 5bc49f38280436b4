// The module's page in the host's settings sheet: the kit's offer page; its box counts only
// while the reminder window is open.
#include <windows.h>

#include "modules/registration/module/reg_resource_ids.h"
#include "modules/registration/module/reg_shell.h"

static_assert(IDC_BANNER == kit::kOfferBanner && IDC_NOTIFY == kit::kOfferNotify && IDC_SHOW_NOW == kit::kOfferShowNow,
              "the kit's settings page controls");

namespace {
class Setup : public kit::IOfferSetup {
 public:
  explicit Setup(reg::Reminder& r) : r_(r) {}
  bool Live() override { return r_.InsideWindowNow(); }
  bool Choice() override { return r_.UserChoice(); }
  void Force() override { r_.Force(); }
  void Apply(bool notify) override { r_.Apply(notify); }

 private:
  reg::Reminder& r_;
};
}  // namespace

INT_PTR WICKPOST_CALL WickpostSetupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return kit::Guarded<INT_PTR>(FALSE, [&]() -> INT_PTR {
    reg::Shell* m = reg::TheShell();
    if (!m) return FALSE;
    Setup setup(*m->reminder);
    return kit::OfferSetupMessage(setup, m->setup, dialog, message, wParam, lParam);
  });
}
