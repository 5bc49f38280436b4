// Any text as an install script: parsed within its limits, and every command line it
// quotes names a full path inside the package folder unless the script named one itself.
#include <cstddef>
#include <cstdint>
#include <string>

#include "modules/web/update_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string script(reinterpret_cast<const char16_t*>(data), size / 2);
  const auto steps = web::ParseInstallScript(script);
  if (!steps) return 0;
  if (steps->empty()) __builtin_trap();
  for (const auto& step : *steps) {
    if (step.first.size() > web::kScriptFieldMax || step.second.size() > web::kScriptFieldMax) __builtin_trap();
    if (step.second.find(u'\'') != std::u16string::npos) __builtin_trap();
    const auto line = web::QuoteCommandLine(step.second, u"C:\\L\\Velmorant\\12");
    if (line && (line->size() < 5 || (*line)[0] != u'"' || ((*line)[2] != u':' && (*line)[1] != u'\\')))
      __builtin_trap();
  }
  return 0;
}
