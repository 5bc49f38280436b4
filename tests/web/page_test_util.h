// The history file in memory, a fixed clock locale and a Latin-1 code page for the web
// module's page, history and pipeline tests.
#pragma once
#include <cstdio>
#include <optional>
#include <string>

#include "modules/web/web_history.h"
#include "modules/web/web_pages.h"

namespace webtest {

struct MemoryHistory : web::IHistoryFile {
  std::optional<std::string> bytes = std::string("\xFF\xFE", 2);
  bool failReplace = false;
  int replaces = 0;
  std::optional<std::string> Read() override { return bytes; }
  bool Replace(const std::string& b) override {
    ++replaces;
    if (failReplace) return false;
    bytes = b;
    return true;
  }
};

struct Locale : web::IPageLocale {
  int32_t bias = -540;  // Tokyo
  int32_t BiasMinutes() override { return bias; }
  std::u16string DateTimeText(const web::LocalStamp& s) override {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", s.year, s.month, s.day, s.hour, s.minute, s.second);
    return std::u16string(buf, buf + std::char_traits<char>::length(buf));
  }
};

struct Latin1 : web::ICodePage {
  bool fail = false;
  std::optional<std::string> Encode(const std::u16string& text) override {
    if (fail) return std::nullopt;
    std::string out;
    for (char16_t c : text) out += c < 0x100 ? static_cast<char>(c) : '?';
    return out;
  }
  std::optional<std::u16string> Decode(std::string_view bytes) override {
    if (fail) return std::nullopt;
    std::u16string out;
    for (char c : bytes) out += static_cast<char16_t>(static_cast<unsigned char>(c));
    return out;
  }
};

}  // namespace webtest
