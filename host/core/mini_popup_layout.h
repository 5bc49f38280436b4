// Geometry of the mini popup: size, placement beside the taskbar, the drawing plan, the
// clipped corners, hit testing and the font by user-interface language. No Windows here.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/core/notification_list.h"

namespace host {

constexpr int kMiniWidth = 316;
constexpr int kMiniRowPitch = 22;

// Screen rectangles as Windows gives them: right and bottom lie just outside.
struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;
};
struct Point {
  int x = 0, y = 0;
};

// Inline: the tray stand-in and the Wine tests read and click the window by it.
inline int MiniPopupHeight(size_t rows) { return static_cast<int>(rows) * kMiniRowPitch + 22; }

struct Desktop {
  Box work;                    // the work area
  int screenHeight = 0;
  std::optional<Box> taskbar;  // "Shell_TrayWnd", when there is one
  std::optional<Box> langBar;  // the floating language bar, only when visible
};
struct MiniPlacement {
  int x = 0, y = 0;
  bool upward = true;  // grows up from the bottom edge, or down from the top
};
MiniPlacement PlaceMiniPopup(const Desktop& desk, size_t rows, int dx, int dy);

// One bitmap of the frame and where it goes.
struct FramePiece {
  int bitmap;
  int x, y;
};
std::vector<FramePiece> MiniPopupFrame(size_t rows);
inline Box MiniPopupTextBox(size_t row) {
  const int top = static_cast<int>(row) * kMiniRowPitch + 17;
  return {10, top, 309, top + 19};
}

// The four corner triangles cut off the window's rectangle.
std::array<std::array<Point, 3>, 4> MiniPopupCorners(int height);

struct MiniHit {
  enum Kind { Nothing, CloseBox, Row } kind = Nothing;
  size_t row = 0;
};
MiniHit HitTestMiniPopup(int x, int y, size_t rows);

// The slots listed, in slot order: row r shows the r-th of them.
std::vector<size_t> ListedSlots(const NotificationList& list);
// Entries the dismiss-all button takes away: everything not held.
bool Dismissible(const Notification& n);

struct MiniFont {
  std::u16string face;
  int points = 12;
  int Height() const { return -(points * 96 / 72); }  // a fixed 96 dpi
};
MiniFont MiniPopupFont(uint16_t uiLanguage);

}  // namespace host
