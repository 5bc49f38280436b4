// The HDMI module's ports for native tests: the display interface is the real command
// display over the helper's protocol core and the simulated graphics driver of a scenario,
// sharing one write log between opens as helper processes share the driver.
#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "modules/hdmi/hdmi_module.h"
#include "sim/driver/scenario.h"
#include "sim/graphics/sim_graphics.h"
#include "tools/vidassist/vidassist_core.h"

namespace hdmitest {

class ProtocolChannel : public hdmi::ICommandChannel {
 public:
  ProtocolChannel(const sim::SimGraphicsSetup& setup, std::string& log, std::function<void(const std::string&)> onWrite)
      : graphics_(setup, log, [&log, onWrite](const std::string& line) {
          log += line + "\n";
          if (onWrite) onWrite(line);
        }),
        protocol_(&graphics_) {}
  bool Request(const std::string& command, std::string& reply) override {
    std::string out = protocol_.Line(command).output;
    if (!out.empty() && out.back() == '\n') out.pop_back();
    reply = out;
    return true;
  }

 private:
  sim::SimGraphics graphics_;
  vida::Protocol protocol_;
};

class Opener : public hdmi::IDisplayOpener {
 public:
  explicit Opener(const std::string& scenario) { Plug(scenario); }
  // Another arrangement of displays: a fresh driver.
  void Plug(const std::string& scenario) {
    sim::Scenario s;
    std::string error;
    ok = sim::ParseScenario(scenario, s, error);
    setup = s.graphics;
    log.clear();
  }
  std::unique_ptr<hdmi::IDisplay> Open() override {
    ++opens;
    if (!setup.available) return nullptr;
    return std::unique_ptr<hdmi::IDisplay>(
        new hdmi::CommandDisplay(std::unique_ptr<hdmi::ICommandChannel>(new ProtocolChannel(setup, log, onWrite))));
  }
  bool ok = false;
  sim::SimGraphicsSetup setup;
  std::string log;  // the driver's writes
  int opens = 0;
  std::function<void(const std::string&)> onWrite;
};

class Store : public hdmi::IStore {
 public:
  std::optional<uint32_t> Override() override { return override_; }
  std::optional<uint32_t> Known(const std::u16string& key) override {
    const auto it = known.find(key);
    if (it == known.end()) return std::nullopt;
    return it->second;
  }
  void SetKnown(const std::u16string& key, uint32_t value) override { known[key] = value; }
  std::optional<uint32_t> override_;
  std::map<std::u16string, uint32_t> known;
};

class Host : public hdmi::IHostLink {
 public:
  void PostCheckModule() override { events.push_back("check"); }
  void PostClosePopup() override { events.push_back("closepopup"); }
  void StartTimer() override { events.push_back("timer"); }
  void WithdrawLine() override { events.push_back("withdraw"); }
  void KeepLine() override { events.push_back("keep"); }
  void PostDetect() override { events.push_back("detect"); }
  bool PanelOpen() override { return panel; }
  void DestroyPanel() override {
    events.push_back("destroypanel");
    panel = false;
  }
  void PostPanelState(int state) override { events.push_back("panel " + std::to_string(state)); }
  std::vector<std::string> Take() {
    std::vector<std::string> out;
    out.swap(events);
    return out;
  }
  std::vector<std::string> events;
  bool panel = false;
};

class Files : public hdmi::IFiles {
 public:
  bool NewPagePath(std::u16string& path) override {
    path = u"C:\\Temp\\WHM" + std::u16string(1, char16_t(u'0' + next++)) + u".tmp";
    pages[path];
    return true;
  }
  bool WritePage(const std::u16string& path, const std::string& bytes) override {
    if (failWrites) return false;
    pages[path] = bytes;
    return true;
  }
  void Delete(const std::u16string& path) override { pages.erase(path); }
  std::u16string ModulePath() override { return u"C:\\Program Files\\Tellwick\\wkpthdmi.dll"; }
  std::map<std::u16string, std::string> pages;
  int next = 0;
  bool failWrites = false;
};

inline hdmi::Texts TestTexts() { return {u"action line", u"page line", u"Tellwick"}; }

}  // namespace hdmitest
