// Writes the web module's popup page and history view as the module does (UTF-16 composed,
// code page 932 bytes) into a folder, for rendering in a real browser.
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "modules/kit/native/kit_pugi.h"
#include "modules/web/web_pages.h"

namespace {
struct Locale : web::IPageLocale {
  int32_t BiasMinutes() override { return -540; }
  std::u16string DateTimeText(const web::LocalStamp& s) override {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d", s.year, s.month, s.day, s.hour, s.minute);
    return std::u16string(buf, buf + std::char_traits<char>::length(buf));
  }
};

web::FeedItem Item(int32_t id, uint32_t category, const char* title, const char* description, const char* date,
                   bool updateButton = false) {
  web::FeedItem i;
  i.id = id;
  i.category = category;
  i.title = kit::FromUtf8(title);
  i.link = u"http://support.velmorant.example/s/" + kit::FromUtf8(std::to_string(id)) + u".html";
  i.description = kit::FromUtf8(description);
  i.date = kit::FromUtf8(date);
  i.updateButton = updateButton;
  return i;
}

bool Write(const std::string& path, const std::u16string& text) {
  const auto bytes = kit::IconvCodePage().Encode(text);
  std::ofstream out(path, std::ios::binary);
  return bytes && (out << *bytes);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: web_render_pages FOLDER\n";
    return 64;
  }
  const std::string folder = argv[1];
  const std::u16string module = kit::FromUtf8(folder + "/wkptrss.dll"), temp = kit::FromUtf8(folder + "/");
  const std::vector<web::FeedItem> items = {
      Item(1201, 1, "PT シリーズ BIOS アップデート (V1.24)",
           "バッテリー充電を改善します。詳細: http://support.velmorant.example/s/bios/pt-v124.html",
           "2026-11-20T10:00:00+09:00", true),
      Item(1202, 2, "年末年始のサポート窓口 <休業のお知らせ>", "12月29日から1月3日まで休業します。",
           "2026-12-01T09:30:00+09:00"),
      Item(1203, 3, "新しい壁紙を公開しました", "季節の壁紙をダウンロードできます。", "2026-12-05T12:00:00+09:00"),
  };
  Locale locale;
  const web::CategorySwitches all{true, true, true};
  std::vector<web::HistoryRecord> records;
  for (const auto& i : items) records.push_back({i.id, *i.title, *i.link, *i.date, i.category, i.id == 1203});
  const web::HistoryViewText view = web::HistoryView(records, module, temp, locale);
  const bool ok = Write(folder + "/popup.html", web::PopupPage(items, all, module, locale)) &&
                  Write(folder + "/wkptrshs1.htm", view.frameset) && Write(folder + "/wkptrshs2.htm", view.title) &&
                  Write(folder + "/wkptrshs3.htm", view.content);
  if (!ok) std::cerr << "cannot write the pages into " << folder << "\n";
  return ok ? 0 : 1;
}
