// The web module's pages as text: the popup page with the unread notices, the three files of
// the history view, and what a click in the popup page means. Every feed text is escaped and
// only http: and https: addresses become links.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "modules/kit/page_files.h"
#include "modules/kit/strings.h"
#include "modules/web/web_feed.h"
#include "modules/web/web_filter.h"
#include "modules/web/web_history.h"

namespace web {

// The user's clock settings: the standard bias (local = UTC - bias) and the short date and
// time format of the user's locale.
class IPageLocale {
 public:
  virtual ~IPageLocale() = default;
  virtual int32_t BiasMinutes() = 0;
  virtual std::u16string DateTimeText(const LocalStamp& local) = 0;  // date, one blank, time
};

using kit::ICodePage;

// A feed date as the page shows it, in local standard time; nothing when it does not read.
std::optional<std::u16string> PageDateText(std::u16string_view date, IPageLocale& locale);

// The address itself when it starts with http: or https: (any case), else "#".
std::u16string SafeLink(const std::u16string& link);

// A description with its first http: address made a link, escaped, and the update button.
std::u16string DescriptionHtml(const std::u16string& description, bool updateButton);

// The popup page for the items that are not suppressed, in the sections the switches allow.
// `modulePath` is the module file; the page's images and style sheet lie beside it.
std::u16string PopupPage(const std::vector<FeedItem>& items, const CategorySwitches& switches,
                         const std::u16string& modulePath, IPageLocale& locale);

// Writes the popup page for the held items into a new page file. On failure the new file
// goes and so do the held items, so no check waits on a page that was never written.
bool PublishPopup(std::vector<FeedItem>& held, kit::PageFiles& pages, ICodePage& codePage,
                  const CategorySwitches& switches, const std::u16string& modulePath, IPageLocale& locale);

struct HistoryViewText {
  std::u16string frameset, title, content;
};
constexpr char16_t kHistoryFramesetName[] = u"wkptrshs1.htm";
constexpr char16_t kHistoryTitleName[] = u"wkptrshs2.htm";
constexpr char16_t kHistoryContentName[] = u"wkptrshs3.htm";

// The history view's three files; `tempDir` ends in a path separator.
HistoryViewText HistoryView(const std::vector<HistoryRecord>& records, const std::u16string& modulePath,
                            const std::u16string& tempDir, IPageLocale& locale);

// A click in the popup page, from the element the click landed on (after climbing out of
// span and img elements to their parent).
struct PageClick {
  std::u16string type;  // "click" for the ones that count
  std::u16string tag;   // any case
  std::u16string id;
  std::u16string href;  // as the browser reports it
  std::u16string value;
  bool checked = false;
};

struct ClickOutcome {
  bool proceed = true;                 // the click's default action goes on
  std::optional<std::u16string> toggle;  // the section whose display flips
  bool openUpdate = false;             // hand the click to the update manager
};

// A click on a span or an img counts for its parent element.
bool ClickClimbsToParent(const std::u16string& tag);

// Read marks go to the held items; the rest is for the caller to carry out.
ClickOutcome HandleClick(std::vector<FeedItem>& held, const PageClick& click);

// The display styles of a section and its two arrows after a toggle.
struct SectionDisplay {
  std::u16string section, arrowRight, arrowDown;
};
SectionDisplay ToggledSection(const std::u16string& currentDisplay);

}  // namespace web
