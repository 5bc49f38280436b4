// The web module's state and pipeline behind its entry points: start-up, the schedule, the
// check (feed, filter, history, page), the page's clicks and close, the tray menu's history
// view, and the settings the page and the host change.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "modules/kit/page_files.h"
#include "modules/kit/strings.h"
#include "modules/web/web_feed.h"
#include "modules/web/web_filter.h"
#include "modules/web/web_history.h"
#include "modules/web/web_pages.h"
#include "modules/web/web_schedule.h"
#include "modules/web/web_startup.h"

namespace web {

// What the module asks of the user's desktop.
class IDesktop {
 public:
  virtual ~IDesktop() = default;
  // The update manager, unless it is already open (tray item 2, the update button, resume).
  virtual void OpenUpdateManager() = 0;
  // The same once the current call has returned, for the resume at the first check after a
  // logon.
  virtual void ResumeUpdateManager() = 0;
  // An information box.
  virtual void Inform(const std::u16string& text, const std::u16string& caption) = 0;
  // The user's temporary folder, with its trailing separator; empty when unknown.
  virtual std::u16string TempFolder() = 0;
  // A new file (never one already there) with the temporary attribute; false on any failure.
  virtual bool CreateViewFile(const std::u16string& path, const std::string& bytes) = 0;
  virtual void DeleteViewFile(const std::u16string& path) = 0;
  // Opens a local page with the shell's default handler.
  virtual bool OpenPage(const std::u16string& path) = 0;
};

// The tray menu's two items.
constexpr int kMenuHistory = 1, kMenuUpdate = 2;

class Module {
 public:
  struct Ports {
    ISettingsStore& store;
    IClock& clock;
    INetwork& network;
    IXmlDocument& xml;
    IFeedDownload& download;
    IWindows& windows;
    IMachineRegistry& registry;
    IFileSystem& files;
    IDrivers& drivers;
    IHistoryFile& history;
    kit::IPageFiles& pageFiles;
    ICodePage& codePage;
    IPageLocale& locale;
    kit::IStrings& strings;
    IDesktop& desktop;
    std::u16string modulePath;  // the module file; the pages' images lie beside it
  };
  explicit Module(Ports ports, const OperatorSettings& op = DefaultOperatorSettings());
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  // Start-up through the host's driver client (lent for the module's life). 0 or the
  // contract's error; the record gets the check interval and the menu count.
  int Initialize(InitRecord& record, IDriverPort* driver);

  bool IsEnabled() const { return settings_.Get(kEnable) != 0; }
  // pageCapacity: characters the host's page buffer holds, terminator included.
  kit::CheckAnswer AutoCheck(int pageCapacity);
  kit::CheckAnswer ManualCheck(int pageCapacity);

  // The menu's captions, in item order; empty when a text is missing.
  std::vector<std::u16string> MenuCaptions();
  void IconMenu(int id);
  // The history view: three pages in the temporary folder, opened in the browser.
  void ShowHistory();

  void OnHostMessage(uint32_t message, uintptr_t wParam) { schedule_.OnHostMessage(message, wParam); }
  void OnShow() { schedule_.OnPageShown(); }
  // Answers 1 to let the click's default action go on, 0 to cancel it; a section to toggle
  // is returned for the caller to restyle.
  ClickOutcome OnClick(const PageClick& click);
  void OnClose();

  // The first-run paragraph: -252 while the module is off or the text is missing.
  int InitialMessage(std::u16string& text);
  void EnableAutoCheck(bool on) { settings_.EnableAutoCheck(on, ports_.store); }
  bool SetupEnabled() const { return settings_.setupEnable() != 0; }
  const Settings& CurrentSettings() const { return settings_; }
  // The settings page's values; saved at once (on the host's thread).
  bool ApplySettings(const Settings& edited);

  // Deletes the files the module made; no registry work (it may run at unload).
  void Unload();

  const Identity& MachineIdentity() const { return start_.identity; }
  const std::u16string& FeedUrl() const { return start_.feedUrl; }
  // What the update manager starts from: the feed ("wkpt.xml" in local mode), the FAQ
  // server's base and the filter's ports (after a successful Initialize).
  std::u16string CatalogueFeed();
  const std::u16string& FaqBase() const { return op_.faqBase; }
  FilterPorts Filter();
  kit::PageFiles& Pages() { return pages_; }
  const std::vector<FeedItem>& Held() const { return held_; }
  std::u16string Text(uint16_t id);

 private:
  bool Pending() const;
  void Drop();
  kit::CheckAnswer NotConnected();
  kit::CheckAnswer Check(int pageCapacity);
  CategorySwitches Switches() const;
  void DeleteView();

  Ports ports_;
  const OperatorSettings& op_;
  StartState start_;
  Settings& settings_ = start_.settings;
  Schedule schedule_;
  std::unique_ptr<IBatteryPacks> batteries_;
  std::vector<FeedItem> held_;
  int notified_ = 0;
  kit::PageFiles pages_;
  std::vector<std::u16string> viewFiles_;
};

}  // namespace web
