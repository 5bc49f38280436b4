#include "host/core/module_names.h"

namespace host {

const char16_t* const kModuleFileNames[kModuleNameCount] = {
    u"wkpthdd.dll", u"wkptrss.dll", u"wkptreg.dll", u"wkptbat.dll",
    u"wkptrcvr.dll", u"wkpthdmi.dll", u"wkptanm.dll", u"wkptxwpk.dll",
};

namespace {
char16_t Upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }
}  // namespace

bool EqualsIgnoreCase(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

bool IsModuleName(const std::u16string& stem) {
  for (const char16_t* name : kModuleFileNames)
    if (EqualsIgnoreCase(stem + u".dll", name)) return true;
  return false;
}

}  // namespace host
