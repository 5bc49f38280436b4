// The custom-text reader and the repair-record parser on arbitrary input: the first byte
// picks the target, the rest is an XML document or the values of one record.
#include <cstddef>
#include <cstdint>
#include <string>

#include "modules/anomaly/anm_page.h"
#include "modules/anomaly/anm_repair.h"
#include "modules/anomaly/anm_text.h"
#include "modules/kit/native/kit_pugi.h"
#include "tests/anomaly/anm_fakes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string rest(reinterpret_cast<const char*>(data + 1), size - 1);
  if (data[0] & 1) {
    pugi::xml_document doc;
    if (!doc.load_string(rest.c_str())) return 0;
    const auto table = anm::CustomTexts(kit::ReadElement(doc.document_element(), 3));
    anm::Texts texts;
    texts.SetCustom(table);
    for (int e = 0; e < anm::kEntries; ++e) texts.DebugText(static_cast<anm::Entry>(e));
    return 0;
  }
  // Record values: UTF-16 units split on 0xFFFF into the value fields, types from the first byte.
  std::u16string units;
  for (size_t i = 0; i + 1 < rest.size(); i += 2) units += static_cast<char16_t>(uint8_t(rest[i]) | uint8_t(rest[i + 1]) << 8);
  static const char16_t* const kNames[] = {u"Name", u"InstallKey", u"InstallCmd", u"InstallFiles", u"StartupKey",
                                           u"StartupName", u"StartupData", u"CmdAfterInstall", u"InstallTime"};
  anmtest::Registry reg;
  const std::u16string path = std::u16string(anm::kRepairKey) + u"\\X";
  size_t at = 0;
  for (size_t n = 0; n < 9 && at <= units.size(); ++n) {
    size_t end = units.find(u'\xFFFF', at);
    if (end == std::u16string::npos) end = units.size();
    const uint32_t type = (data[0] >> (1 + n % 7)) & 1 ? anm::kRegMultiSz : anm::kRegSz;
    reg.keys[path][kNames[n]] = anm::RegValue{n == 8 ? 4u : type, units.substr(at, end - at),
                                             end > at ? uint32_t(units[at]) * 1000u : 0u};
    at = end + 1;
  }
  auto records = anm::LoadRecords(reg);
  anm::Scan(records, reg);
  for (const auto& r : records)
    for (const auto& line : r.installCmds) {
      anm::Command c;
      if (anm::SplitCommand(line, c) == anm::SplitError::None && (c.file.size() > 259 || c.parameters.size() > 259))
        __builtin_trap();
    }
  return 0;
}
