// The operator's custom-text file: any bytes as XML, then every field used as the module uses it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "modules/battery/bat_text.h"
#include "modules/battery/native/bat_native.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bat::XmlElement root;
  if (!bat::ParseXml(std::string(reinterpret_cast<const char*>(data), size), root)) return 0;
  const auto table = bat::CustomTexts(root);
  for (int k = 0; k < 3; ++k) {
    bat::Text(bat::SourceStrings(), table, k, bat::kMinipop, {bat::Num(2)});
    bat::Text(bat::SourceStrings(), table, k, bat::kTitleMain, {});
    bat::Text(bat::SourceStrings(), table, k, bat::kTitle, {bat::Txt(u"バッテリー")});
    bat::Text(bat::SourceStrings(), table, k, bat::kBody, k == 0 ? std::vector<bat::Arg>{bat::Txt(u"約1 ～ 1.5"), bat::Txt(u"a"), bat::Txt(u"b")}
                                           : std::vector<bat::Arg>{bat::Num(29)});
  }
  return 0;
}
