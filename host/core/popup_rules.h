// Decisions of the HTML popup that need no window: where it goes, when its inactivity
// timeout runs, how document events are answered, and which close requests still apply.
#pragma once
#include <cstdint>
#include <optional>

#include "common/core/browser_events.h"

namespace host {

struct WorkArea {
  int left = 0, top = 0, right = 0, bottom = 0;
};

struct PopupPlacement {
  int left = 0, top = 0, width = 0, height = 0;
};

// Bottom-right of the work area, pulled in by the offsets; never at a negative position.
PopupPlacement PlacePopup(const WorkArea& work, int width, int height, int offsetX, int offsetY);

// The timeout counts only while the popup is up, the user is elsewhere and a timeout was
// given: checked when the popup is shown and whenever the host is (de)activated.
inline bool TimeoutRuns(uint32_t timeoutMs, bool visible, bool userHere) {
  return timeoutMs != 0 && visible && !userHere;
}
inline bool TimerClosesPopup(uintptr_t timerId, uintptr_t runningTimer, uint32_t timeoutMs) {
  return timerId != 0 && timerId == runningTimer && timeoutMs != 0;
}

// The browser control's document events, answered as in every window that hosts one.
using browser::AnswerDocumentEvent;
using browser::DocumentEventAnswer;
using browser::kDispidClick;
using browser::kDispidContextMenu;
using browser::RaisedZoom;

// The popup's side of a click report: the owner answers 0 to let the click go on.
inline bool ClickProceeds(bool hasOwner, intptr_t ownerAnswer) { return hasOwner && ownerAnswer == 0; }
// The host's side: 0 when the module lets the click go on, -1 to cancel it.
inline intptr_t ClickReportAnswer(bool moduleLetsItGo) { return moduleLetsItGo ? 0 : -1; }

// Keyboard messages the message loop hands to the popup first: the keyboard range, except
// the keys the browser moves with by itself.
bool HandsOffKey(uint32_t message, uintptr_t key);

// Every shown page gets a new serial; a close request carries the serial of the page it was
// meant for, so one that arrives after another page came up leaves that page alone.
class PageSerial {
 public:
  uint32_t Next() { return ++current_ ? current_ : ++current_; }  // 0 stays "no page"
  uint32_t current() const { return current_; }
  bool Applies(uint32_t requested) const { return requested != 0 && requested == current_; }

 private:
  uint32_t current_ = 0;
};

}  // namespace host
