// The About box's product line, cut from the installed version text.
#pragma once
#include <optional>
#include <string>

namespace host {

// The version part shown after the caption: "V7.01L10 M00" gives "V7.01L10". Nothing (keep the
// dialog's own line) for texts of at most 6 characters or when nothing is left after the cut.
// The text is cut before its first "M", and before the space in front of that "M"; a text
// without "M" is shown whole. Surrounding blanks are dropped.
std::optional<std::u16string> AboutVersionCut(const std::u16string& version);

// The version text held by a registry string value read into `units` (REG_SZ, REG_EXPAND_SZ,
// or the first string of a REG_MULTI_SZ): up to the first NUL, never past `count`.
std::u16string VersionFromValue(const char16_t* units, size_t count);

}  // namespace host
