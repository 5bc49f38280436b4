// The extended-warranty offer's rules, free of Windows: which models get it, when it is due,
// the definition file, the page's size and place, the page itself and the clicks in it.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "modules/kit/offer_schedule.h"
#include "modules/kit/page_click.h"

namespace xwpk {

// Operator settings: the models that get the offer and the maker's support server.
struct Settings {
  // Pattern dialect (common/pattern/pattern.h), matched case-sensitively against the model
  // number as shown, with its hyphen ("PT-15KB3456CD").
  std::u16string eligiblePattern;
  // Scheme and host of the support server, without a trailing slash; the scheme decides
  // whether the connection is secure.
  std::u16string supportBase;
};
const Settings& DefaultSettings();

bool Eligible(const std::u16string& model, const Settings& settings);
std::u16string DefinitionAddress(const Settings& settings);
std::u16string EntryAddress(const Settings& settings);

// The offer is open for this many days after the first start-up.
constexpr int64_t kOfferDays = 365;

// The first start-up date as the offer sees it: a date only, from 1900 on.
std::optional<kit::LocalTime> OfferDate(std::optional<kit::LocalTime> firstUse);
// Calendar days from the first start-up date to today; 365 without a date (the settings
// box stays usable, but without a date there is no offer).
int64_t DaysSinceFirstStart(const std::optional<kit::LocalTime>& date, const kit::LocalTime& now);
// The box on the settings page can be changed.
inline bool InsideOfferYear(int64_t days) { return days <= kOfferDays; }
// "%04d%02d%02d" of the date.
std::u16string DateDigits(const kit::LocalTime& date);

// The definition file's three lines.
struct Definition {
  std::u16string text;         // the mini popup's line
  std::u16string normalImage;  // the image's address for a normal screen
  std::u16string smallImage;   // and for a small one
};
// Lines end in "\n"; trailing blanks, tabs and carriage returns go. Empty lines before the
// text and before the normal image's address are skipped; the small image's address is the
// line after that, and may be empty. Nothing when a line is missing or longer than 259
// characters.
std::optional<Definition> ParseDefinition(const std::u16string& content);
constexpr size_t kMaxDefinitionLine = 259;

// Only "http://" and "https://" addresses with a host are fetched; "file:" addresses from
// the server would copy local files into the page.
bool ImageAddressAllowed(const std::u16string& url);

// The page for the screen: 1400 x 800, or 700 x 400 on a screen narrower than 1600 or lower
// than 900 pixels, with its style sheet and images named with "_sm".
struct PageSize {
  int width = 0, height = 0;
  bool small = false;
};
PageSize PageFor(int screenWidth, int screenHeight);
const char16_t* Suffix(const PageSize& page);

struct Size {
  int width = 0, height = 0;
};
struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
};
// The popup's outer size: the page with the window's frame and caption.
Size PopupSize(const PageSize& page, int cxFrame, int cyFrame, int cyCaption);
// The host's offset (right and bottom edges from the work area's) that centres the popup of
// that outer size on the work area, wherever the taskbar is; 0 when it does not fit.
Size CentringOffset(const Rect& workArea, const Size& popup);

// A CSS string's content: quotes, backslashes and control characters escaped.
std::u16string CssString(const std::u16string& text);

struct PageInput {
  std::u16string moduleFolder;  // the page's base: style sheets and button images
  std::u16string imagePath;     // the downloaded advertisement
  std::u16string entryAddress;
  std::u16string model, serial, firstStartDate;
  PageSize size;
};
// The page, UTF-8 without a byte-order mark.
std::string BuildPage(const PageInput& in);

// A click in the page: the "do not show again" image changes the switch; everything else
// goes on as the browser does it.
struct ClickOutcome {
  bool proceed = true;                // the click's default action goes on
  std::optional<bool> notify;         // the switch's new state
};
ClickOutcome ClassifyClick(const kit::PageClick& click);

}  // namespace xwpk
