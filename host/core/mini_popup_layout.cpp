#include "host/core/mini_popup_layout.h"

namespace host {
namespace {
constexpr int kFirstRowTop = 16, kRowHeight = 20;
constexpr int kHeader = 133, kBottom = 131, kSeparator = 134;
constexpr int kFirstLeft = 135, kFirstRight = 132, kLeft = 137, kRight = 136;

bool Intersects(const Box& a, int left, int top, int right, int bottom) {
  // Both edges of the planned place count as inside.
  return a.left <= right && left < a.right && a.top <= bottom && top < a.bottom;
}
}  // namespace

MiniPlacement PlaceMiniPopup(const Desktop& desk, size_t rows, int dx, int dy) {
  const int height = MiniPopupHeight(rows);
  MiniPlacement p{desk.work.right - dx - kMiniWidth, desk.work.bottom - height - dy, true};
  if (desk.taskbar && desk.taskbar->top <= 0 && desk.taskbar->left <= 0) {
    if (desk.taskbar->bottom == desk.screenHeight) {
      p.x = desk.work.left + dx;  // on the left
    } else {
      p = {desk.work.right - dx - kMiniWidth, desk.work.top + dy, false};  // at the top
    }
  }
  if (desk.langBar && Intersects(*desk.langBar, p.x, p.y, p.x + kMiniWidth - 1, p.y + height - 1))
    p.y = p.upward ? desk.langBar->top - height : desk.langBar->bottom;
  return p;
}

std::vector<FramePiece> MiniPopupFrame(size_t rows) {
  std::vector<FramePiece> out{{kHeader, 0, 0}};
  const int n = static_cast<int>(rows);
  for (int i = 0; i < n; ++i) {
    const int top = i * kMiniRowPitch + kFirstRowTop;
    if (i > 0) out.push_back({kSeparator, 0, top - 2});
    out.push_back({i ? kLeft : kFirstLeft, 0, top});
    out.push_back({i ? kRight : kFirstRight, 307, top});
  }
  out.push_back({kBottom, 0, n * kMiniRowPitch + 14});
  return out;
}

std::array<std::array<Point, 3>, 4> MiniPopupCorners(int h) {
  const int w = kMiniWidth;
  return {{{{{0, 0}, {2, 0}, {0, 2}}},
           {{{w, 0}, {w - 3, 0}, {w, 2}}},
           {{{0, h}, {2, h}, {0, h - 3}}},
           {{{w, h}, {w, h - 3}, {w - 3, h}}}}};
}

MiniHit HitTestMiniPopup(int x, int y, size_t rows) {
  if (x > 300 && x <= 315 && y <= 12) return {MiniHit::CloseBox, 0};
  if (x <= 9 || x >= 310 || y < kFirstRowTop) return {};
  const int row = (y - kFirstRowTop) / kMiniRowPitch, offset = (y - kFirstRowTop) % kMiniRowPitch;
  if (static_cast<size_t>(row) >= rows || offset >= kRowHeight) return {};
  return {MiniHit::Row, static_cast<size_t>(row)};
}

std::vector<size_t> ListedSlots(const NotificationList& list) {
  std::vector<size_t> out;
  for (size_t i = 0; i < list.size(); ++i)
    if (list.IsFilled(i)) out.push_back(i);
  return out;
}

bool Dismissible(const Notification& n) { return n.kind != kKindNothing && !(n.flags & kHeldFlags); }

MiniFont MiniPopupFont(uint16_t uiLanguage) {
  const uint16_t primary = uiLanguage & 0x3FF, sub = uiLanguage >> 10;
  switch (primary) {
    case 0x04:  // Chinese: Taiwan, Hong Kong and Macao write Traditional
      return {sub == 0x01 || sub == 0x03 || sub == 0x05 ? u"PMingLiU" : u"SimSun", 12};
    case 0x11:
      return {u"MS UI Gothic", 12};
    case 0x07: case 0x0A: case 0x0C: case 0x10:  // German, Spanish, French, Italian
      return {u"Tahoma", 10};
    default:
      return {u"Tahoma", 12};
  }
}

}  // namespace host
