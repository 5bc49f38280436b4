// A click in a module's page as the rules see it: the event type and what the browser
// reports of the element clicked.
#pragma once
#include <string>

namespace kit {
struct PageClick {
  std::u16string type, tag, id, href, src;
  bool checked = false;
  bool disabled = false;
  int selectedIndex = -1;
};
}  // namespace kit
