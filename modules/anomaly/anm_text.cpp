#include "modules/anomaly/anm_text.h"

#include <vector>

#include "common/core/text_case.h"
#include "modules/anomaly/anm_text_ids.h"

namespace anm {
namespace {
const char16_t* const kTypes[kEntries] = {u"bat_red", u"bat_orange_tmperature", u"bat_orange_power", u"not_support_ac",
                                          nullptr, u"app_deleted"};
const char16_t* const kFieldNames[kFields] = {u"wkptanm:titlemain", u"wkptanm:title", u"wkptanm:body"};
}  // namespace

uint16_t DefaultTextId(Entry e, Field f) {
  static const uint16_t kTitles[kEntries] = {IDS_ANM_TITLE_RED,     IDS_ANM_TITLE_TEMPERATURE, IDS_ANM_TITLE_POWER,
                                             IDS_ANM_TITLE_ADAPTOR, IDS_ANM_TITLE_MINI,        IDS_ANM_TITLE_APPS};
  static const uint16_t kBodies[kEntries] = {IDS_ANM_BODY_RED,     IDS_ANM_BODY_TEMPERATURE, IDS_ANM_BODY_POWER,
                                             IDS_ANM_BODY_ADAPTOR, IDS_ANM_BODY_MINI,        IDS_ANM_BODY_APPS};
  if (f == kTitleMain) return e == kMini ? IDS_ANM_TITLEMAIN_MINI : IDS_ANM_TITLEMAIN;
  return f == kTitle ? kTitles[e] : kBodies[e];
}

const char16_t* CustomTypeName(Entry e) { return kTypes[e]; }

std::optional<CustomTable> CustomTexts(const kit::XmlElement& root) {
  if (!text::EqualsNoCase(root.name, u"wkptbat:wkptbat") || !root.hasChildNodes) return std::nullopt;
  bool declared = false;
  for (const auto& a : root.attributes) declared = declared || a.first == u"xmlns:wkptbat";
  if (!declared) return std::nullopt;
  CustomTable table;
  for (const kit::XmlElement& message : root.children) {
    if (!text::EqualsNoCase(message.name, u"wkptbat:message")) continue;
    int entry = -1;
    for (const auto& a : message.attributes)
      if (text::EqualsNoCase(a.first, u"wkptanm:type"))
        for (int e = 0; e < kEntries; ++e)
          if (kTypes[e] && text::EqualsNoCase(a.second, kTypes[e])) entry = e;
    if (entry < 0) continue;
    CustomEntry fields;
    for (const kit::XmlElement& child : message.children)
      for (int f = 0; f < kFields; ++f)
        if (text::EqualsNoCase(child.name, kFieldNames[f])) fields[f] = child.text;
    table[entry] = fields;  // a later message of a type replaces the earlier one
  }
  return table;
}

void Texts::Load(kit::IStrings& strings) {
  for (uint16_t id = IDS_ANM_BODY_RED; id <= IDS_ANM_RESTART_LATER; ++id)
    if (auto t = strings.Load(id)) ids_[id] = *t;
}

const std::u16string& Texts::Get(uint16_t id) const {
  static const std::u16string kNone;
  const auto it = ids_.find(id);
  return it == ids_.end() ? kNone : it->second;
}

const std::u16string& Texts::Field(Entry e, anm::Field f) const {
  if (custom_ && (*custom_)[e][f]) return *(*custom_)[e][f];
  return Get(DefaultTextId(e, f));
}

std::u16string Texts::DebugText(Entry e) const {
  auto field = [&](anm::Field f) -> std::u16string {
    return custom_ && (*custom_)[e][f] ? *(*custom_)[e][f] : u"(NULL)";
  };
  return u"titlemain: " + field(kTitleMain) + u"\ntitle: " + field(kTitle) + u"\nbody: " + field(kBody) + u"\n";
}

std::u16string Fill(const std::u16string& format, std::initializer_list<std::u16string> args) {
  std::u16string out;
  auto next = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    const bool ws = format.compare(i, 3, u"%ws") == 0, s = format.compare(i, 2, u"%s") == 0;
    if ((ws || s) && next != args.end()) {
      out += *next++;
      i += ws ? 2 : 1;
    } else {
      out += format[i];
    }
  }
  return out;
}

}  // namespace anm
