// The reminder's HTML page, composed as UTF-16 with every inserted value HTML-escaped and
// written as UTF-8. Its style sheet and images resolve against the module's folder.
#pragma once
#include <optional>
#include <string>

#include "common/core/html_text.h"
#include "modules/registration/reg_rules.h"
#include "modules/registration/reg_settings.h"

namespace reg {

struct PageInput {
  Variant variant = Variant::None;
  std::u16string moduleFolder;             // where style.css and the images lie
  std::u16string title;                    // the page title string
  std::optional<std::u16string> qrImage;   // full path of the QR bitmap; none: no mobile part
};

// The registration address the page links to.
std::u16string LinkAddress(Variant v, const Settings& settings);
// What the QR code carries before any query: the owner page, or the warranty form ending in "?q=".
std::string QrAddress(Variant v, const Settings& settings);

using html::FileUrl;
using html::HtmlEscape;
using html::ToUtf8;
std::u16string BuildPage(const PageInput& in, const Settings& settings);

}  // namespace reg
