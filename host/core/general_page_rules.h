// Decisions of the settings sheet's general page, apart from the dialog itself.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "host/core/host_settings.h"

namespace host {

constexpr int kAutoHideChoices = 6;  // "Never", then 1 to 5 minutes
constexpr int kNoSelection = -1;

// The list's texts: `never`, then "%d %s" with 1 and `min`, 2 to 5 and `mins`.
std::vector<std::u16string> AutoHideChoices(const std::u16string& never, const std::u16string& min,
                                            const std::u16string& mins);

// The list entry for a stored MiniPopupTime; a value set by hand beyond the list selects none.
int AutoHideSelection(uint32_t miniPopupTime);

// A list change counts only when it picks a real entry other than the saved value.
bool ListChangeEnablesApply(int selection, uint32_t savedMiniPopupTime);

// What the page shows and what apply takes back.
struct GeneralPageState {
  bool miniPopup = false;
  bool flashIcon = false;
  bool beepSound = false;
  int selection = kNoSelection;
};
GeneralPageState GeneralPageFrom(const HostSettings& settings);
// No valid selection keeps the stored MiniPopupTime, so a hand-set 7 survives apply.
void ApplyGeneralPage(const GeneralPageState& page, HostSettings* settings);

// Banner by the screen's horizontal DPI: below 120, 120 to 143, 144 and above.
enum class BannerSize { Dpi96, Dpi120, Dpi144 };
BannerSize BannerForDpi(int dpi);

}  // namespace host
