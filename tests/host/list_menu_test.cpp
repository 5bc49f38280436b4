#include <gtest/gtest.h>

#include "host/core/menu_table.h"
#include "host/core/notification_list.h"

using namespace host;

TEST(NotificationList, CountsComeFromTheSlots) {
  NotificationList list(3);
  ASSERT_TRUE(list.Put(0, kKindPage, kFlagShowNow, u"a", u"a.htm"));
  EXPECT_FALSE(list.HasListable()) << "a held entry is not listable";
  list.ClearFlag(0, kFlagShowNow);
  EXPECT_TRUE(list.HasListable()) << "clearing the flag makes it listable at once";
  ASSERT_TRUE(list.Put(1, kKindAction, kFlagPersistent | kFlagWarning, u"b", ActionPage(0xFFFF)));
  EXPECT_EQ(list.Filled(), 2u);
  EXPECT_EQ(list.Held(), 1u);
  EXPECT_EQ(list.FlagWord(), kFlagPersistent | kFlagWarning);
  EXPECT_EQ(*list.FirstWith(kFlagPersistent), 1u);
  EXPECT_EQ(ActionCode(list.at(1)), 0xFFFF);
  list.Empty(0);
  EXPECT_FALSE(list.HasListable());
}

TEST(NotificationList, OnlyOpenableKindsAreListed) {
  NotificationList list(2);
  ASSERT_TRUE(list.Put(0, kKindPage, 0, u"old", u"p"));
  for (uint16_t kind : {kKindNothing, kKindKeep, uint16_t{7}, uint16_t{0xFFFF}}) {
    EXPECT_FALSE(list.Put(0, kind, 0, u"x", u"y")) << kind;
    EXPECT_FALSE(list.IsFilled(0)) << kind;
  }
  EXPECT_FALSE(list.Put(5, kKindPage, 0, u"x", u"y")) << "no such slot";
}

TEST(NotificationList, TakeTextNeverReadsPastTheCapacity) {
  char16_t full[4] = {u'a', u'b', u'c', u'd'};  // no terminator
  EXPECT_EQ(TakeText(full, 4), u"abcd");
  char16_t shortText[4] = {u'a', 0, u'x', u'y'};
  EXPECT_EQ(TakeText(shortText, 4), u"a");
  EXPECT_EQ(TakeText(nullptr, 4), u"");
}

TEST(MenuTable, InsertsSeparatorThenItemsLastFirst) {
  MenuTable table;
  table.AddModule(0, {{true, u"A1", 1}, {true, u"A2", 2}});
  table.AddModule(1, {{true, u"B1", 3}, {true, u"B2", 4}});
  std::u16string order;
  for (const MenuEntry& e : table.entries()) order += e.text + u",";
  // Each entry goes to the top of the menu, so the menu reads B1 B2 - A1 A2 - (host items).
  EXPECT_TRUE(order == u"-,A2,A1,-,B2,B1,") << order.size();
  EXPECT_EQ(table.Lookup(12700), nullptr) << "separator";
  ASSERT_NE(table.Lookup(12701), nullptr);
  EXPECT_EQ(table.Lookup(12701)->id, 2);
  EXPECT_EQ(table.Lookup(12705)->module, 1u);
  EXPECT_EQ(table.Lookup(12706), nullptr);
  EXPECT_EQ(table.Lookup(12699), nullptr);
}

TEST(MenuTable, KeepsThirtyEntriesDispatchesTwentySixAndSkipsNullCaptions) {
  MenuTable table;
  std::vector<ModuleItem> items;
  for (int i = 0; i < 40; ++i) items.push_back({i != 39, u"item", i});  // the last one has no caption
  table.AddModule(0, items);
  ASSERT_EQ(table.entries().size(), MenuTable::kCapacity);
  EXPECT_EQ(table.entries()[1].id, 38) << "the null caption was left out";
  EXPECT_NE(table.Lookup(12725), nullptr);
  EXPECT_EQ(table.Lookup(12726), nullptr) << "beyond the dispatched range";
  table.AddModule(1, {{true, u"late", 1}});
  EXPECT_EQ(table.entries().size(), MenuTable::kCapacity);
}
