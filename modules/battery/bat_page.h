// The battery notification page: composed as UTF-16, then encoded in code page 932 because
// the page declares Shift_JIS.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "modules/battery/bat_text.h"

namespace bat {

struct PageSection {
  int battery = 0;
  int condition = 0;     // 0 recal, 1 halfcapa, 2 nocapa
  uint32_t percent = 0;  // halfcapa and nocapa
  std::u16string duration;  // recal
  bool autoCheck = false;   // the condition's AutoCheckMask bit
  uint32_t interval = 0;
};

struct PageInput {
  std::u16string modulePath;
  int kind = 0;
  bool setupEnable = true;
  uint32_t found = 0;         // union of the found bits: decides the severity
  std::u16string checkTime;   // as the user's locale writes it
  std::vector<PageSection> sections;
  const std::optional<TextTable>* custom = nullptr;
  const Strings* strings = nullptr;  // the module's texts; none gives empty texts
};

// 2 when nocapa was found, 1 for halfcapa, else 0.
int Severity(uint32_t found);
std::u16string BuildPage(const PageInput& in);

// Element ids of the page's controls, by condition: "recal", "half_capa", "no_capa".
const char16_t* ControlPrefix(int condition);

}  // namespace bat
