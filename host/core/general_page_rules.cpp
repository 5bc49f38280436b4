#include "host/core/general_page_rules.h"

namespace host {

std::vector<std::u16string> AutoHideChoices(const std::u16string& never, const std::u16string& min,
                                            const std::u16string& mins) {
  std::vector<std::u16string> out{never};
  for (int n = 1; n < kAutoHideChoices; ++n)
    out.push_back(std::u16string(1, static_cast<char16_t>(u'0' + n)) + u" " + (n == 1 ? min : mins));
  return out;
}

int AutoHideSelection(uint32_t miniPopupTime) {
  return miniPopupTime < static_cast<uint32_t>(kAutoHideChoices) ? static_cast<int>(miniPopupTime) : kNoSelection;
}

bool ListChangeEnablesApply(int selection, uint32_t savedMiniPopupTime) {
  return selection >= 0 && selection < kAutoHideChoices && static_cast<uint32_t>(selection) != savedMiniPopupTime;
}

GeneralPageState GeneralPageFrom(const HostSettings& s) {
  return {s.miniPopup != 0, s.flashIcon != 0, s.beepSound != 0, AutoHideSelection(s.miniPopupTime)};
}

void ApplyGeneralPage(const GeneralPageState& page, HostSettings* s) {
  s->miniPopup = page.miniPopup ? 1 : 0;
  s->flashIcon = page.flashIcon ? 1 : 0;
  s->beepSound = page.beepSound ? 1 : 0;
  if (page.selection >= 0 && page.selection < kAutoHideChoices) s->miniPopupTime = static_cast<uint32_t>(page.selection);
}

BannerSize BannerForDpi(int dpi) {
  if (dpi >= 144) return BannerSize::Dpi144;
  if (dpi >= 120) return BannerSize::Dpi120;
  return BannerSize::Dpi96;
}

}  // namespace host
