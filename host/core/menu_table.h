// The tray-menu table: the modules' items, in the order they are inserted at the top of the menu.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace host {

struct MenuEntry {
  size_t module;
  std::u16string text;  // a text starting with '-' is a separator
  int32_t id;
  bool IsSeparator() const { return !text.empty() && text[0] == u'-'; }
};

// One item as a module filled it; `hasText` is false for a null caption.
struct ModuleItem {
  bool hasText;
  std::u16string text;
  int32_t id;
};

class MenuTable {
 public:
  static constexpr size_t kCapacity = 30;
  static constexpr unsigned kFirstCommand = 12700;
  static constexpr unsigned kLastCommand = 12725;  // only the first 26 positions are dispatched

  // Appends a separator, then the items from the last to the first, while there is room.
  // Items with a null caption are left out: there is nothing to show for them.
  void AddModule(size_t module, const std::vector<ModuleItem>& items);

  const std::vector<MenuEntry>& entries() const { return entries_; }
  // The entry a menu command picks: a string item within the dispatched range.
  const MenuEntry* Lookup(unsigned command) const;

 private:
  bool Append(MenuEntry entry);
  std::vector<MenuEntry> entries_;
};

}  // namespace host
