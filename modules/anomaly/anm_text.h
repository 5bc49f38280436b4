// The anomaly notices' texts: six entries of heading, title and body from the module's string
// table, and the operator's custom file that replaces them field by field.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "modules/kit/strings.h"
#include "modules/kit/xml_element.h"

namespace anm {

enum Entry { kRed, kOrangeTemperature, kOrangePower, kNotRecommended, kMini, kApps, kEntries };
enum Field { kTitleMain, kTitle, kBody, kFields };

using CustomEntry = std::array<std::optional<std::u16string>, kFields>;
using CustomTable = std::array<CustomEntry, kEntries>;

uint16_t DefaultTextId(Entry entry, Field field);
// The custom type name of an entry; null for the one that cannot be customised.
const char16_t* CustomTypeName(Entry entry);

// The custom table of a document whose root is "wkptbat:wkptbat" with its prefix declared;
// nothing when the document is rejected.
std::optional<CustomTable> CustomTexts(const kit::XmlElement& root);

// The texts the module uses, loaded once from the string table.
class Texts {
 public:
  void Load(kit::IStrings& strings);
  void Set(uint16_t id, std::u16string text) { ids_[id] = std::move(text); }
  const std::u16string& Get(uint16_t id) const;
  void SetCustom(std::optional<CustomTable> custom) { custom_ = std::move(custom); }
  const std::optional<CustomTable>& Custom() const { return custom_; }
  // The custom field when the file has it, else the default.
  const std::u16string& Field(Entry entry, anm::Field field) const;
  // The debug box's text for one custom entry.
  std::u16string DebugText(Entry entry) const;

 private:
  std::map<uint16_t, std::u16string> ids_;
  std::optional<CustomTable> custom_;
};

// Fills each %ws (or %s) with the next argument, in order; other text stays as written.
std::u16string Fill(const std::u16string& format, std::initializer_list<std::u16string> args);

}  // namespace anm
