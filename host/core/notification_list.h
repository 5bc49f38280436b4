// The pending notifications: one slot per loaded module plus the host's own slot.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace host {

constexpr uint16_t kKindNothing = 0, kKindPage = 1, kKindAction = 2, kKindKeep = 10;
constexpr uint32_t kFlagShowNow = 0x40000000u, kFlagPersistent = 0x20000000u, kFlagWarning = 0x10000000u;
constexpr uint32_t kHeldFlags = kFlagShowNow | kFlagPersistent;  // kept by dismiss-all

struct Notification {
  uint16_t kind = kKindNothing;  // kKindPage or kKindAction when filled
  uint32_t flags = 0;
  std::u16string text;
  std::u16string page;  // the page path; for an action, one character holding the code
};

class NotificationList {
 public:
  explicit NotificationList(size_t slots) : slots_(slots) {}

  size_t size() const { return slots_.size(); }
  const Notification& at(size_t slot) const { return slots_.at(slot); }
  bool IsFilled(size_t slot) const { return slot < slots_.size() && slots_[slot].kind != kKindNothing; }

  // Replaces the slot's entry. Only page and action kinds can be opened, so any other kind
  // (or a failed copy) leaves the slot empty and answers false.
  bool Put(size_t slot, uint16_t kind, uint32_t flags, const std::u16string& text, const std::u16string& page);
  void Empty(size_t slot);
  std::optional<size_t> FirstWith(uint32_t flag) const;
  void ClearFlag(size_t slot, uint32_t flag);

  // Counts come from the slots themselves, so they cannot go stale.
  size_t Filled() const;
  size_t Held() const;
  bool HasListable() const { return Filled() != Held(); }
  uint32_t FlagWord() const;  // OR of the flags of all filled slots

 private:
  std::vector<Notification> slots_;
};

// The code of an action entry travels as a one-character page.
inline std::u16string ActionPage(uint16_t code) { return std::u16string(1, static_cast<char16_t>(code)); }
inline uint16_t ActionCode(const Notification& n) { return n.page.empty() ? 0 : static_cast<uint16_t>(n.page[0]); }

// A module's text out of a buffer of `capacity` characters: up to the first NUL, and never
// past the capacity, whether the module terminated it or not.
std::u16string TakeText(const char16_t* buffer, size_t capacity);

}  // namespace host
