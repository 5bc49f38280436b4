// The module's page in the host's settings sheet: the kit's offer page; its box counts only
// within the offer year.
#include <windows.h>

#include "modules/warranty/module/xwpk_resource_ids.h"
#include "modules/warranty/module/xwpk_shell.h"

static_assert(IDC_BANNER == kit::kOfferBanner && IDC_NOTIFY == kit::kOfferNotify && IDC_SHOW_NOW == kit::kOfferShowNow,
              "the kit's settings page controls");

namespace {
class Setup : public kit::IOfferSetup {
 public:
  explicit Setup(xwpk::Offer& o) : o_(o) {}
  bool Live() override { return o_.InsideOfferYearNow(); }
  bool Choice() override { return o_.Notify(); }
  void Force() override { o_.Force(); }
  void Apply(bool notify) override { o_.Apply(notify); }

 private:
  xwpk::Offer& o_;
};
}  // namespace

INT_PTR WICKPOST_CALL WickpostSetupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  return kit::Guarded<INT_PTR>(FALSE, [&]() -> INT_PTR {
    xwpk::Shell* m = xwpk::TheShell();
    if (!m) return FALSE;
    Setup setup(*m->offer);
    return kit::OfferSetupMessage(setup, m->setup, dialog, message, wParam, lParam);
  });
}
