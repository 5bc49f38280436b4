#include "modules/battery/bat_text.h"

#include <cstdio>

#include "common/core/text_case.h"
#include "modules/battery/module/bat_resource_ids.h"

namespace bat {
namespace {

const std::u16string* Attribute(const XmlElement& e, const std::u16string& name) {
  for (const auto& [n, v] : e.attributes)
    if (text::EqualsNoCase(n, name)) return &v;
  return nullptr;
}

int ConditionOf(const std::u16string& type) {
  static const char16_t* const kTypes[] = {u"recal", u"halfcapa", u"nocapa"};
  for (int k = 0; k < 3; ++k)
    if (text::EqualsNoCase(type, kTypes[k])) return k;
  return -1;
}

TextEntry MessageFields(const XmlElement& message) {
  static const char16_t* const kNames[kFields] = {u"wkptbat:minipop", u"wkptbat:title", u"wkptbat:titlemain",
                                                  u"wkptbat:body"};
  static const Field kOrder[kFields] = {kMinipop, kTitle, kTitleMain, kBody};
  TextEntry entry;
  for (const XmlElement& child : message.children)
    for (int f = 0; f < kFields; ++f)
      if (text::EqualsNoCase(child.name, kNames[f])) entry[kOrder[f]] = child.text;
  return entry;
}
}  // namespace

const std::vector<uint16_t>& Strings::Ids() {
  static const std::vector<uint16_t> ids = {
      IDS_TITLE_RECAL, IDS_BODY_RECAL, IDS_TITLE_HALFCAPA, IDS_BODY_HALFCAPA, IDS_TITLE_NOCAPA, IDS_BODY_NOCAPA,
      IDS_MINIPOP, IDS_TITLE_MAIN, IDS_NO_MANUAL, IDS_DURATION, IDS_SEVERAL, IDS_APP_TITLE, IDS_INITIAL_MESSAGE,
      IDS_AGAIN, IDS_NO_MORE, IDS_EVERY_DAY, IDS_EVERY_7_DAYS, IDS_EVERY_30_DAYS, IDS_INFORM, IDS_SECOND_BUTTON,
      IDS_NO_UTILITY, IDS_SECOND_TITLE_EXTENDED, IDS_SECOND_TITLE_BATTERY2, IDS_DEBUG_RECAL, IDS_DEBUG_HALFCAPA,
      IDS_DEBUG_NOCAPA, IDS_NAME_BATTERY, IDS_NAME_INTERNAL, IDS_NAME_EXTENDED, IDS_NAME_BATTERY1, IDS_NAME_BATTERY2,
      IDS_OF_BATTERY, IDS_OF_INTERNAL, IDS_OF_EXTENDED, IDS_OF_BATTERY1, IDS_OF_BATTERY2, IDS_PACK_BATTERY,
      IDS_PACK_INTERNAL, IDS_PACK_EXTENDED, IDS_PACK_BATTERY1, IDS_PACK_BATTERY2,
  };
  return ids;
}

const std::u16string& Strings::Get(uint16_t id) const {
  static const std::u16string kNone;
  const auto it = texts_.find(id);
  return it == texts_.end() ? kNone : it->second;
}

uint16_t DefaultTextId(int condition, Field field) {
  static const uint16_t kTitles[] = {IDS_TITLE_RECAL, IDS_TITLE_HALFCAPA, IDS_TITLE_NOCAPA};
  static const uint16_t kBodies[] = {IDS_BODY_RECAL, IDS_BODY_HALFCAPA, IDS_BODY_NOCAPA};
  switch (field) {
    case kMinipop: return IDS_MINIPOP;
    case kTitleMain: return IDS_TITLE_MAIN;
    case kTitle: return kTitles[condition];
    default: return kBodies[condition];
  }
}

std::optional<TextTable> CustomTexts(const XmlElement& root) {
  const size_t colon = root.name.find(u':');
  if (!text::EqualsNoCase(root.name, u"wkptbat:wkptbat") || !root.hasChildNodes) return std::nullopt;
  // The prefix has to be declared on the root, where the root's own name uses it.
  bool declared = false;
  for (const auto& attribute : root.attributes) declared = declared || attribute.first == u"xmlns:" + root.name.substr(0, colon);
  if (!declared) return std::nullopt;
  TextTable table;
  for (const XmlElement& child : root.children) {
    if (!text::EqualsNoCase(child.name, u"wkptbat:message")) continue;
    const std::u16string* type = Attribute(child, u"wkptbat:type");
    const int k = type ? ConditionOf(*type) : -1;
    if (k >= 0) table[k] = MessageFields(child);
  }
  return table;
}

std::optional<std::u16string> FormatText(const std::u16string& format, const std::vector<Arg>& args) {
  std::u16string out;
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != u'%') {
      out += format[i];
      continue;
    }
    const char16_t kind = i + 1 < format.size() ? format[++i] : u'\0';
    if (kind == u'%') {
      out += u'%';
    } else if ((kind == u'd' || kind == u's') && next < args.size() && args[next].isText == (kind == u's')) {
      const Arg& a = args[next++];
      if (a.isText) {
        out += a.text;
      } else {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%d", a.number);
        out.append(buffer, buffer + std::char_traits<char>::length(buffer));
      }
    } else {
      return std::nullopt;
    }
  }
  return out;  // unused arguments are harmless; missing ones are not

}

std::u16string Text(const Strings& strings, const std::optional<TextTable>& custom, int condition, Field field,
                    const std::vector<Arg>& args) {
  if (custom) {
    const auto& value = (*custom)[condition][field];
    if (value && !value->empty())
      if (auto text = FormatText(*value, args)) return *text;
  }
  return FormatText(strings.Get(DefaultTextId(condition, field)), args).value_or(std::u16string());
}

uint16_t BatteryNameId(int battery, int kind, NameUse use) {
  // By use: plain, pack, possessive.
  static const uint16_t kFirst[3][3] = {
      {IDS_NAME_BATTERY, IDS_PACK_BATTERY, IDS_OF_BATTERY},
      {IDS_NAME_INTERNAL, IDS_PACK_INTERNAL, IDS_OF_INTERNAL},
      {IDS_NAME_BATTERY1, IDS_PACK_BATTERY1, IDS_OF_BATTERY1},
  };
  static const uint16_t kExtended[3] = {IDS_NAME_EXTENDED, IDS_PACK_EXTENDED, IDS_OF_EXTENDED};
  static const uint16_t kSecond[3] = {IDS_NAME_BATTERY2, IDS_PACK_BATTERY2, IDS_OF_BATTERY2};
  if (battery == 0) return kFirst[kind == 0 ? 0 : kind == 1 ? 1 : 2][use];
  return kind == 2 || kind == 3 ? kSecond[use] : kExtended[use];
}

std::u16string BatteryName(const Strings& strings, int battery, int kind, NameUse use) {
  return strings.Get(BatteryNameId(battery, kind, use));
}

}  // namespace bat
