#include "host/core/menu_table.h"

namespace host {

bool MenuTable::Append(MenuEntry entry) {
  if (entries_.size() >= kCapacity) return false;
  entries_.push_back(std::move(entry));
  return true;
}

void MenuTable::AddModule(size_t module, const std::vector<ModuleItem>& items) {
  if (!Append({module, u"-", 0})) return;
  for (auto it = items.rbegin(); it != items.rend(); ++it)
    if (it->hasText && !Append({module, it->text, it->id})) return;
}

const MenuEntry* MenuTable::Lookup(unsigned command) const {
  if (command < kFirstCommand || command > kLastCommand) return nullptr;
  const size_t position = command - kFirstCommand;
  if (position >= entries_.size() || entries_[position].IsSeparator()) return nullptr;
  return &entries_[position];
}

}  // namespace host
