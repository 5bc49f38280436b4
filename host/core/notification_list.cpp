#include "host/core/notification_list.h"

#include <new>

namespace host {

bool NotificationList::Put(size_t slot, uint16_t kind, uint32_t flags, const std::u16string& text,
                           const std::u16string& page) {
  if (slot >= slots_.size()) return false;
  Empty(slot);
  if (kind != kKindPage && kind != kKindAction) return false;
  try {
    Notification n{kind, flags, text, page};
    slots_[slot] = std::move(n);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void NotificationList::Empty(size_t slot) {
  if (slot < slots_.size()) slots_[slot] = Notification{};
}

std::optional<size_t> NotificationList::FirstWith(uint32_t flag) const {
  for (size_t i = 0; i < slots_.size(); ++i)
    if (slots_[i].kind != kKindNothing && (slots_[i].flags & flag)) return i;
  return std::nullopt;
}

void NotificationList::ClearFlag(size_t slot, uint32_t flag) {
  if (slot < slots_.size()) slots_[slot].flags &= ~flag;
}

size_t NotificationList::Filled() const {
  size_t n = 0;
  for (const Notification& s : slots_) n += s.kind != kKindNothing;
  return n;
}

size_t NotificationList::Held() const {
  size_t n = 0;
  for (const Notification& s : slots_) n += s.kind != kKindNothing && (s.flags & kHeldFlags);
  return n;
}

uint32_t NotificationList::FlagWord() const {
  uint32_t word = 0;
  for (const Notification& s : slots_)
    if (s.kind != kKindNothing) word |= s.flags;
  return word;
}

std::u16string TakeText(const char16_t* buffer, size_t capacity) {
  if (!buffer) return {};
  size_t n = 0;
  while (n < capacity && buffer[n]) ++n;
  return std::u16string(buffer, n);
}

}  // namespace host
