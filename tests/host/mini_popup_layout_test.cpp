#include <gtest/gtest.h>

#include "host/core/mini_popup_layout.h"

using namespace host;

namespace {
// A 1024 x 768 screen with a 30-pixel taskbar on the given side.
Desktop Screen(char side) {
  Desktop d;
  d.screenHeight = 768;
  switch (side) {
    case 'b': d.taskbar = Box{0, 738, 1024, 768}; d.work = {0, 0, 1024, 738}; break;
    case 't': d.taskbar = Box{0, 0, 1024, 30}; d.work = {0, 30, 1024, 768}; break;
    case 'l': d.taskbar = Box{0, 0, 60, 768}; d.work = {60, 0, 1024, 768}; break;
    case 'r': d.taskbar = Box{964, 0, 1024, 768}; d.work = {0, 0, 964, 768}; break;
    default: d.work = {0, 0, 1024, 768}; break;  // no taskbar window at all
  }
  return d;
}
}  // namespace

TEST(MiniPopupLayout, PlacedByTheTaskbarSide) {
  struct Case {
    char side;
    size_t rows;
    int dx, dy;
    MiniPlacement want;
  } cases[] = {
      {'b', 1, 96, 0, {1024 - 96 - 316, 738 - 44, true}},  // right edge 96 px in, bottom on the work area
      {'b', 3, 0, 5, {708, 738 - 88 - 5, true}},
      {'t', 2, 10, 7, {1024 - 10 - 316, 30 + 7, false}},   // hangs from the top, grows down
      {'l', 1, 4, 6, {60 + 4, 768 - 44 - 6, true}},        // left side, grows up
      {'r', 1, 0, 0, {964 - 316, 768 - 44, true}},
      {'-', 1, 0, 0, {1024 - 316, 768 - 44, true}},
  };
  for (const Case& c : cases) {
    const MiniPlacement p = PlaceMiniPopup(Screen(c.side), c.rows, c.dx, c.dy);
    EXPECT_EQ(p.x, c.want.x) << c.side;
    EXPECT_EQ(p.y, c.want.y) << c.side;
    EXPECT_EQ(p.upward, c.want.upward) << c.side;
  }
  EXPECT_EQ(MiniPopupHeight(1), 44);
  EXPECT_EQ(MiniPopupHeight(3), 88);
}

TEST(MiniPopupLayout, StepsAsideForTheFloatingLanguageBar) {
  struct Case {
    char side;
    Box bar;
    int wantY;
  } cases[] = {
      {'b', {800, 700, 1000, 728}, 700 - 44},  // over the planned place: just above it
      {'t', {800, 40, 1000, 60}, 60},          // taskbar at the top: just below it
      {'b', {100, 700, 300, 728}, 738 - 44},   // elsewhere: no effect
      {'b', {500, 700, 708, 728}, 738 - 44},   // ends just left of x = 708
      {'b', {500, 700, 709, 728}, 700 - 44},   // touches the left column
      {'b', {800, 738, 1000, 760}, 738 - 44},  // starts just below the last row
  };
  for (const Case& c : cases) {
    Desktop d = Screen(c.side);
    d.langBar = c.bar;
    EXPECT_EQ(PlaceMiniPopup(d, 1, 0, 0).y, c.wantY) << c.side << " " << c.bar.left << "," << c.bar.top;
  }
}

TEST(MiniPopupLayout, HitTest) {
  struct Case {
    int x, y;
    MiniHit::Kind kind;
    size_t row;
  } cases[] = {
      {305, 5, MiniHit::CloseBox, 0}, {301, 12, MiniHit::CloseBox, 0}, {300, 5, MiniHit::Nothing, 0},
      {305, 13, MiniHit::Nothing, 0}, {5, 20, MiniHit::Nothing, 0},     {9, 20, MiniHit::Nothing, 0},
      {10, 20, MiniHit::Row, 0},      {309, 20, MiniHit::Row, 0},       {310, 20, MiniHit::Nothing, 0},
      {100, 36, MiniHit::Nothing, 0}, {100, 37, MiniHit::Nothing, 0},   {100, 20, MiniHit::Row, 0},
      {100, 15, MiniHit::Nothing, 0}, {100, 38, MiniHit::Row, 1},       {100, 79, MiniHit::Row, 2},
      {100, 82, MiniHit::Nothing, 0},  // past the last of three rows
  };
  for (const Case& c : cases) {
    const MiniHit h = HitTestMiniPopup(c.x, c.y, 3);
    EXPECT_EQ(h.kind, c.kind) << c.x << "," << c.y;
    if (h.kind == MiniHit::Row) {
      EXPECT_EQ(h.row, c.row) << c.x << "," << c.y;
    }
  }
}

TEST(MiniPopupLayout, FrameTextAndCorners) {
  const std::vector<FramePiece> frame = MiniPopupFrame(2);
  const std::vector<std::array<int, 3>> want = {
      {133, 0, 0}, {135, 0, 16}, {132, 307, 16}, {134, 0, 36}, {137, 0, 38}, {136, 307, 38}, {131, 0, 58}};
  ASSERT_EQ(frame.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(frame[i].bitmap, want[i][0]) << i;
    EXPECT_EQ(frame[i].x, want[i][1]) << i;
    EXPECT_EQ(frame[i].y, want[i][2]) << i;
  }
  const Box text = MiniPopupTextBox(1);
  EXPECT_EQ(text.left, 10);
  EXPECT_EQ(text.top, 39);
  EXPECT_EQ(text.right, 309);
  EXPECT_EQ(text.bottom, 58);
  const auto corners = MiniPopupCorners(66);
  EXPECT_EQ(corners[1][1].x, 313);
  EXPECT_EQ(corners[2][2].y, 63);
  EXPECT_EQ(corners[3][0].x, 316);
  EXPECT_EQ(corners[3][0].y, 66);
}

TEST(MiniPopupLayout, RowsFollowSlotOrderAndDismissKeepsHeldEntries) {
  NotificationList list(5);
  list.Put(3, kKindPage, kFlagWarning, u"warn", u"w.htm");
  list.Put(0, kKindAction, kFlagPersistent, u"held", u"\x1");
  list.Put(4, kKindAction, 0, u"host", u"\x1");
  list.Put(1, kKindPage, kFlagShowNow, u"now", u"n.htm");
  EXPECT_EQ(ListedSlots(list), (std::vector<size_t>{0, 1, 3, 4}));
  std::vector<bool> dismissed;
  for (size_t i = 0; i < list.size(); ++i) dismissed.push_back(Dismissible(list.at(i)));
  EXPECT_EQ(dismissed, (std::vector<bool>{false, false, false, true, true}));
}

TEST(MiniPopupLayout, FontByUiLanguage) {
  struct Case {
    uint16_t lang;
    const char16_t* face;
    int points;
  } cases[] = {
      {0x0404, u"PMingLiU", 12}, {0x0C04, u"PMingLiU", 12}, {0x1404, u"PMingLiU", 12},
      {0x0804, u"SimSun", 12},   {0x1004, u"SimSun", 12},   {0x0411, u"MS UI Gothic", 12},
      {0x0407, u"Tahoma", 10},   {0x0C0A, u"Tahoma", 10},   {0x040C, u"Tahoma", 10},
      {0x0410, u"Tahoma", 10},   {0x0409, u"Tahoma", 12},   {0x0419, u"Tahoma", 12},
  };
  for (const Case& c : cases) {
    const MiniFont f = MiniPopupFont(c.lang);
    EXPECT_TRUE(f.face == c.face) << std::hex << c.lang;
    EXPECT_EQ(f.points, c.points) << std::hex << c.lang;
  }
  EXPECT_EQ(MiniPopupFont(0x0409).Height(), -16);
  EXPECT_EQ(MiniPopupFont(0x0407).Height(), -13);
}
