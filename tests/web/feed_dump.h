// Every field of parsed items as text, one per line, so that two DOM adapters can be
// compared through one expected file.
#pragma once
#include <string>
#include <vector>

#include "common/core/html_text.h"
#include "modules/web/web_feed.h"

namespace webtest {

inline std::string DumpText(const web::Text& t) { return t ? "\"" + html::ToUtf8(*t) + "\"" : "-"; }

inline std::string DumpItems(const std::vector<web::FeedItem>& items) {
  std::string out;
  for (const web::FeedItem& i : items) {
    out += "item " + std::to_string(i.id) + " category " + std::to_string(i.category) + "\n";
    out += " title " + DumpText(i.title) + "\n link " + DumpText(i.link) + "\n description " +
           DumpText(i.description) + "\n date " + DumpText(i.date) + "\n";
    out += " machine " + DumpText(i.machine) + "\n serial " + DumpText(i.serial) + "\n os " + DumpText(i.os) +
           "\n prein " + DumpText(i.prein) + "\n installcheck " + DumpText(i.installCheck) + "\n";
    out += " battery " + DumpText(i.batteryName) + " " + std::to_string(i.batteryIdLow) + " " +
           std::to_string(i.batteryIdHigh) + "\n update " + std::to_string(i.updateButton) + "\n";
    for (const auto& f : i.files)
      out += " file " + DumpText(f.path) + " " + DumpText(f.date) + " " + DumpText(f.options) + "\n";
    for (const auto& d : i.drivers)
      out += " driver " + DumpText(d.name) + " " + DumpText(d.version) + " " + DumpText(d.options) + "\n";
    out += " bios " + DumpText(i.bios) + " " + DumpText(i.biosOptions) + "\n ec " + DumpText(i.ec) + " " +
           DumpText(i.ecOptions) + "\n";
  }
  return out;
}

}  // namespace webtest
