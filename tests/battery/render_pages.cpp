// Writes the battery pages as the module does (UTF-16 composed, code page 932 bytes) into a
// folder, for rendering in a real browser: recal, halfcapa, nocapa and two packs.
#include <fstream>
#include <iostream>
#include <string>

#include "modules/battery/bat_page.h"
#include "modules/battery/bat_rules.h"
#include "modules/battery/module/bat_resource_ids.h"
#include "modules/battery/native/bat_native.h"

using namespace bat;

namespace {
PageSection Section(int battery, int condition, uint32_t percent, bool autoCheck, uint32_t interval) {
  PageSection s;
  s.battery = battery;
  s.condition = condition;
  s.percent = percent;
  s.duration = DurationText(SourceStrings().Get(IDS_DURATION), 120, 30);
  s.autoCheck = autoCheck;
  s.interval = interval;
  return s;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: bat_render_pages FOLDER\n";
    return 64;
  }
  const std::string folder = argv[1];
  const struct {
    const char* name;
    int kind;
    std::vector<PageSection> sections;
  } pages[] = {
      {"recal", 0, {Section(0, 0, 0, true, 0)}},
      {"halfcapa", 0, {Section(0, 1, 44, true, 1)}},
      {"nocapa", 0, {Section(0, 2, 27, false, 2)}},
      {"two-packs", 1, {Section(0, 0, 0, true, 0), Section(1, 2, 29, true, 2)}},
  };
  IconvCodePage codePage;
  for (const auto& p : pages) {
    PageInput in;
    in.modulePath = std::u16string(folder.begin(), folder.end()) + u"/wkptbat.dll";
    in.kind = p.kind;
    in.strings = &SourceStrings();
    in.sections = p.sections;
    for (const PageSection& s : p.sections) in.found |= ConditionBit(s.condition);
    in.checkTime = u"2026/12/10 9:41:07";
    const auto bytes = codePage.Encode(BuildPage(in));
    std::ofstream out(folder + "/" + p.name + ".html", std::ios::binary);
    if (!bytes || !(out << *bytes)) {
      std::cerr << "cannot write " << p.name << "\n";
      return 1;
    }
  }
  return 0;
}
