// The battery texts: the built-in table, the custom table read from the operator's XML file,
// and safe formatting of either (a custom text is never trusted as a printf format).
#pragma once
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace bat {

enum Field { kMinipop, kTitleMain, kTitle, kBody, kFields };

// One entry per condition index; an unset optional is a field the custom file lacks.
using TextEntry = std::array<std::optional<std::u16string>, kFields>;
using TextTable = std::array<TextEntry, 3>;

const TextTable& DefaultTexts();

// A parsed XML element as the two DOM adapters (MSXML, pugixml) hand it over.
struct XmlElement {
  std::u16string name;  // qualified name as written
  std::vector<std::pair<std::u16string, std::u16string>> attributes;
  std::u16string text;  // text content of the element and its descendants
  std::vector<XmlElement> children;
  bool hasChildNodes = false;  // any child node at all, text and comments included
};

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

// The custom field when present and its placeholders fit, else the built-in one.
std::u16string Text(const std::optional<TextTable>& custom, int condition, Field field, const std::vector<Arg>& args);

// Interface texts beside the condition table.
namespace ui {
extern const char16_t kTitle[];           // 119 "Tellwick"
extern const char16_t kInitialMessage[];  // 121
extern const char16_t kAgain[];           // 129
extern const char16_t kNoMore[];          // 130
extern const char16_t* const kIntervals[3];  // 131..133
extern const char16_t kInform[];          // 134 "%sに関する情報をお知らせする"
extern const char16_t kSecondButton[];    // 140 "%sの設定"
extern const char16_t* const kConditionBoxes[3];
extern const char16_t kSeveral[];         // 110
extern const char16_t kNoUtility[];       // 152
extern const char16_t kNoManual[];        // 107
extern const char16_t* const kDebugCaptions[3];
}  // namespace ui

// Battery names: plain, pack and possessive, by battery and layout kind.
enum NameUse { kPlainName, kPackName, kPossessiveName };
std::u16string BatteryName(int battery, int kind, NameUse use);

}  // namespace bat
