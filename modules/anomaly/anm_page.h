// The anomaly page: one UTF-8 HTML document with a section per finding, its check boxes and
// the applications to repair with their buttons.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "modules/anomaly/anm_repair.h"
#include "modules/anomaly/anm_rules.h"
#include "modules/anomaly/anm_text.h"

namespace anm {

constexpr size_t kPageLimit = 1048576;  // characters of one page, its terminator included

struct PageInput {
  Findings findings;
  const Texts* texts = nullptr;
  const std::vector<RepairRecord>* records = nullptr;
  std::u16string language, modulePath, dateTime;
  bool administrator = false, repairRunning = false;
};

// The page's text within the limit: a part that would not fit is left out.
std::optional<std::u16string> BuildPage(const PageInput& in);

// The check box ids of the page and the notice bit each stands for.
struct PageBox {
  const char16_t* id;
  uint32_t bit;
};
const std::vector<PageBox>& PageBoxes();

}  // namespace anm
