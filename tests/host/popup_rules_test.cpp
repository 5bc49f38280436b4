#include "host/core/popup_rules.h"

#include <gtest/gtest.h>

#include <climits>

namespace host {
namespace {

TEST(PopupRules, PlacementFromTheWorkArea) {
  struct Case {
    WorkArea work;
    int width, height, offsetX, offsetY;
    int left, top;
  } cases[] = {
      {{0, 0, 1280, 770}, 700, 400, 0, 0, 580, 370},        // flush with the bottom-right corner
      {{0, 0, 1280, 770}, 380, 520, 20, 30, 880, 220},      // pulled in by the offsets
      {{0, 0, 1280, 770}, 1400, 900, 0, 0, 0, 0},           // larger than the work area
      {{0, 0, 1280, 770}, 700, 400, 1000, -10, 0, 380},     // offsets past the left edge
      {{100, 40, 1280, 770}, 700, 400, 0, 0, 580, 370},     // taskbar on the left/top: same corner
      {{0, 0, 1280, 770}, INT_MAX, INT_MAX, INT_MAX, INT_MAX, 0, 0},  // absurd answers do not wrap
      {{0, 0, 1280, 770}, 10, 10, INT_MIN, INT_MIN, INT_MAX, INT_MAX},
  };
  for (const Case& c : cases) {
    const PopupPlacement p = PlacePopup(c.work, c.width, c.height, c.offsetX, c.offsetY);
    EXPECT_EQ(p.left, c.left) << c.width << "x" << c.height << " +" << c.offsetX;
    EXPECT_EQ(p.top, c.top) << c.width << "x" << c.height << " +" << c.offsetY;
    EXPECT_EQ(p.width, c.width);
    EXPECT_EQ(p.height, c.height);
  }
}

TEST(PopupRules, TimeoutRunsOnlyWhileTheUserIsElsewhere) {
  struct Case {
    uint32_t timeoutMs;
    bool visible, userHere;
    bool runs;
  } cases[] = {
      {180000, true, false, true},  {180000, true, true, false}, {180000, false, false, false},
      {0, true, false, false},      {0, true, true, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TimeoutRuns(c.timeoutMs, c.visible, c.userHere), c.runs) << c.timeoutMs << c.visible << c.userHere;
}

TEST(PopupRules, OnlyTheRunningTimerClosesThePopup) {
  constexpr uintptr_t kHpti = 0x49545048;
  EXPECT_TRUE(TimerClosesPopup(kHpti, kHpti, 5000));
  EXPECT_FALSE(TimerClosesPopup(kHpti, 0, 5000)) << "stopped before the tick was taken";
  EXPECT_FALSE(TimerClosesPopup(kHpti, kHpti, 0)) << "no timeout";
  EXPECT_FALSE(TimerClosesPopup(0x54504B57, kHpti, 5000)) << "another timer";
  EXPECT_FALSE(TimerClosesPopup(0, 0, 5000));
}

TEST(PopupRules, DocumentEventsAndClickAnswers) {
  EXPECT_EQ(AnswerDocumentEvent(kDispidClick), DocumentEventAnswer::AskListener);
  EXPECT_EQ(AnswerDocumentEvent(-600), DocumentEventAnswer::AskListener);
  EXPECT_EQ(AnswerDocumentEvent(1023), DocumentEventAnswer::Cancel);
  for (int32_t other : {-601, -602, 0, 1022, 1024, -2147418113})
    EXPECT_EQ(AnswerDocumentEvent(other), DocumentEventAnswer::NotHandled) << other;

  // Module answer -> host answer -> what the page's click handler returns.
  struct Case {
    bool moduleLetsGo;
    bool proceeds;
  } cases[] = {{true, true}, {false, false}};
  for (const Case& c : cases)
    EXPECT_EQ(ClickProceeds(true, ClickReportAnswer(c.moduleLetsGo)), c.proceeds) << c.moduleLetsGo;
  EXPECT_FALSE(ClickProceeds(false, 0)) << "no owner: nobody let it go on";
  EXPECT_FALSE(ClickProceeds(true, 1)) << "anything but 0 cancels";
}

TEST(PopupRules, TextSizeIsRaisedToMedium) {
  EXPECT_EQ(RaisedZoom(0), 2);
  EXPECT_EQ(RaisedZoom(1), 2);
  EXPECT_EQ(RaisedZoom(-5), 2);
  EXPECT_EQ(RaisedZoom(2), std::nullopt);
  EXPECT_EQ(RaisedZoom(4), std::nullopt) << "larger sizes are the user's choice";
}

TEST(PopupRules, KeysHandedToThePopup) {
  struct Case {
    uint32_t message;
    uintptr_t key;
    bool handed;
  } cases[] = {
      {0x100, 0x09, true},  {0x101, 0x09, true},  {0x102, 'a', true},   {0x109, 0x0D, true},
      {0x100, 0x08, false}, {0x100, 0x21, false}, {0x100, 0x22, false}, {0x100, 0x25, false},
      {0x100, 0x28, false}, {0x100, 0x24, true},  {0x100, 0x29, true},  {0x0FF, 0x09, false},
      {0x10A, 0x09, false}, {0x200, 0x09, false},
  };
  for (const Case& c : cases) EXPECT_EQ(HandsOffKey(c.message, c.key), c.handed) << c.message << " " << c.key;
}

TEST(PopupRules, CloseRequestsApplyOnlyToTheirPage) {
  PageSerial serial;
  EXPECT_FALSE(serial.Applies(0)) << "no page yet";
  const uint32_t first = serial.Next();
  const uint32_t request = serial.current();  // asked to close the first page
  EXPECT_TRUE(serial.Applies(request));
  const uint32_t second = serial.Next();      // another page came up before the request arrived
  EXPECT_NE(first, second);
  EXPECT_FALSE(serial.Applies(request)) << "a stale close leaves the new page alone";
  EXPECT_TRUE(serial.Applies(second));
}

}  // namespace
}  // namespace host
