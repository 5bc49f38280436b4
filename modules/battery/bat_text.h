// The battery texts: the module's string table, the custom table read from the operator's XML
// file, and safe formatting of either (a custom text is never trusted as a printf format).
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "modules/kit/xml_element.h"

namespace bat {

enum Field { kMinipop, kTitleMain, kTitle, kBody, kFields };

// One entry per condition index; an unset optional is a field the custom file lacks.
using TextEntry = std::array<std::optional<std::u16string>, kFields>;
using TextTable = std::array<TextEntry, 3>;

// The module's texts by string-table id (module/bat_resource_ids.h), as the shell loads them:
// from the DLL's string table on Windows, from that table's source natively.
class Strings {
 public:
  static const std::vector<uint16_t>& Ids();  // every id the module uses
  void Set(uint16_t id, std::u16string text) { texts_[id] = std::move(text); }
  const std::u16string& Get(uint16_t id) const;  // empty when missing
  bool Has(uint16_t id) const { return texts_.count(id) != 0; }

 private:
  std::map<uint16_t, std::u16string> texts_;
};

// The string-table id of a condition's default text.
uint16_t DefaultTextId(int condition, Field field);

// A parsed XML element as the two DOM adapters (MSXML, pugixml) hand it over.
using kit::XmlElement;

// The custom table of a "wkptbat:wkptbat" document; nothing when the document is rejected.
std::optional<TextTable> CustomTexts(const XmlElement& root);

// One argument of a text: a number for %d, a text for %s.
struct Arg {
  bool isText = false;
  int number = 0;
  std::u16string text;
};
inline Arg Num(int n) { return Arg{false, n, {}}; }
inline Arg Txt(std::u16string s) { return Arg{true, 0, std::move(s)}; }

// Fills %d and %s (and %%) in order; nothing when a placeholder has no argument of its kind
// or is of another kind (%n, %x, %5d...).
std::optional<std::u16string> FormatText(const std::u16string& format, const std::vector<Arg>& args);

// The custom field when present and its placeholders fit, else the string table's.
std::u16string Text(const Strings& strings, const std::optional<TextTable>& custom, int condition, Field field,
                    const std::vector<Arg>& args);

// Battery names: plain, pack and possessive, by battery and layout kind.
enum NameUse { kPlainName, kPackName, kPossessiveName };
uint16_t BatteryNameId(int battery, int kind, NameUse use);
std::u16string BatteryName(const Strings& strings, int battery, int kind, NameUse use);

}  // namespace bat
