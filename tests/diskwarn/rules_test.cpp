#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "libs/diskwarn/hdd_rules.h"
#include "sim/driver/scenario.h"

namespace {
using namespace hdd;

std::u16string U(const std::string& s) { return std::u16string(s.begin(), s.end()); }

TEST(DiskwarnSample, ParsesAndRejects) {
  const auto s = ParseSample(u"2026/12/10 09:05:07  120 3400 55 -3");
  ASSERT_TRUE(s);
  EXPECT_EQ(s->startStop, 120);
  EXPECT_EQ(s->hours, 3400);
  EXPECT_EQ(s->shock, 55);
  EXPECT_EQ(s->temperature, -3);
  EXPECT_EQ(s->time - ParseSample(u"2026/12/09 09:05:06  1 1 1 1")->time, 86401);
  EXPECT_EQ(ParseSample(u"2024/12/31 23:59:59  1 1 1 1")->time + 1, ParseSample(u"2025/1/1 0:0:0  1 1 1 1")->time);
  for (const char* bad : {"2026/12/10 09:05:07 120 3400 55 30",  // one space
                          "2026/12/10 09:05:07  120 3400 55",     // three numbers
                          "2026/12/10 09:05:07  120 3400 x 30", "2026/13/10 09:05:07  1 2 3 4",
                          "2026/04/31 09:05:07  1 2 3 4", "2026/12/10 24:00:00  1 2 3 4", "2026-12-10 09:05:07  1 2 3 4",
                          "2026/12/10  1 2 3 4", "2026/12/10 09:05:07  1 2 3 99999999999", ""})
    EXPECT_FALSE(ParseSample(U(bad))) << bad;
}

TEST(DiskwarnReplies, OnlyRecordsReadCount) {
  std::vector<uint8_t> records(kRecordReplyBytes + kRecordSize, 0);
  auto put = [&](size_t r, uint8_t id) { records[r * kRecordSize] = id; };
  put(0, 4), put(1, 9), put(2, 191), put(3, 194);
  EXPECT_EQ(AttributeFlags(4, records.data(), 40), kSupportPowerOn | kSupportShock | kSupportTemperature);
  EXPECT_EQ(AttributeFlags(4, records.data(), 39), kSupportShock | kSupportPowerOn);  // the fourth came short
  EXPECT_EQ(AttributeFlags(1, records.data(), 40), 0u);                               // 4 without 9
  EXPECT_EQ(AttributeFlags(0, records.data(), 40), 0u);
  EXPECT_EQ(AttributeFlags(-3, records.data(), 40), 0u);
  put(3, 0), put(31, 194);  // record 32 lies beyond the 310 bytes a reply holds
  EXPECT_EQ(AttributeFlags(1000, records.data(), records.size()), kSupportPowerOn | kSupportShock);

  const uint8_t path[] = {'\\', 0, '\\', 0, '.', 0, 0, 0, 'x', 0};
  EXPECT_EQ(PathFromReply(path, sizeof path), u"\\\\.");
  EXPECT_EQ(PathFromReply(path, 5), u"\\\\");  // unterminated and odd: what was read, whole units
  std::vector<uint8_t> full(600, 'A');
  EXPECT_EQ(PathFromReply(full.data(), full.size()).size(), kPathReplyBytes / 2);
}

struct Values : IViewerValues {
  std::map<std::u16string, std::u16string> strings;
  std::map<std::u16string, uint32_t> dwords;
  std::optional<std::u16string> String(const char16_t* n) override {
    auto it = strings.find(n);
    return it == strings.end() ? std::nullopt : std::optional<std::u16string>(it->second);
  }
  std::optional<uint32_t> Dword(const char16_t* n) override {
    auto it = dwords.find(n);
    return it == dwords.end() ? std::nullopt : std::optional<uint32_t>(it->second);
  }
};

// Only a local disk is opened: the pipe's answer may come from whoever took its name.
TEST(DiskwarnReplies, OnlyLocalDiskPaths) {
  const struct {
    const char16_t* path;
    bool local;
  } cases[] = {
      {u"\\\\.\\PhysicalDrive0", true},       {u"\\\\.\\PHYSICALDRIVE12", true},
      {u"\\\\?\\PhysicalDrive1", true},       {u"\\\\.\\C:", true},
      {u"\\\\server\\share\\disk", false},  {u"\\\\.\\UNC\\server\\share", false},
      {u"\\\\?\\UNC\\server\\share", false}, {u"\\\\.\\pipe\\x", false},
      {u"\\\\.\\GLOBALROOT\\Device\\Mup\\s\\x", false}, {u"\\\\.\\PhysicalDrive", false},
      {u"\\\\.\\PhysicalDrive0\\x", false}, {u"\\\\.\\PhysicalDrive1234", false},
      {u"\\\\.\\Mup", false},                 {u"C:\\disk.img", false},
      {u"\\\\.\\C:\\x", false},              {u"", false},
  };
  for (const auto& c : cases) {
    const std::u16string path = c.path;
    EXPECT_EQ(IsLocalDiskPath(path), c.local) << std::string(path.begin(), path.end());
  }
}

// The impersonation level a pipe server gets from its client's CreateFileW flags, as
// Microsoft documents it (CreateFileW, "SECURITY_SQOS_PRESENT"): without that flag
// SecurityImpersonation (2); with it, the level in bits 16-17 (Anonymous 0, Identification 1,
// Impersonation 2, Delegation 3). Wine grants impersonation whatever the client asks.
int DocumentedServerLevel(uint32_t flags) { return (flags & 0x00100000u) ? static_cast<int>((flags >> 16) & 3) : 2; }

TEST(DiskwarnPipe, ServerCanOnlyIdentifyTheCaller) {
  EXPECT_EQ(DocumentedServerLevel(kPipeOpenFlags), 1);
  EXPECT_EQ(DocumentedServerLevel(kFileFlagOverlapped), 2) << "without the quality of service";
  EXPECT_NE(kPipeOpenFlags & kFileFlagOverlapped, 0u) << "every transfer has its time-out";
}

TEST(DiskwarnThresholds, PerClassWithOverrides) {
  Values v;
  EXPECT_FALSE(ThresholdsFor(3, v));
  EXPECT_EQ(ThresholdsFor(0, v)->low, 0);
  EXPECT_EQ(ThresholdsFor(2, v)->low, -5);
  v.dwords = {{u"_Diskwarn006", 0xFFF6}, {u"_Diskwarn007", 50}, {u"_Diskwarn005", 3}, {u"_Diskwarn008", 12},
              {u"_Diskwarn002", 7}, {u"_Diskwarn013", 11}, {u"_Diskwarn014", 4}};
  const Thresholds one = *ThresholdsFor(1, v);
  EXPECT_EQ(one.low, -10);
  EXPECT_EQ(one.high, 50);
  EXPECT_EQ(one.shockStep, 3);
  EXPECT_EQ(one.hours, 12);
  EXPECT_EQ(one.shockSamples, 2);  // 11 is out of range
  EXPECT_EQ(one.temperatureSamples, 4);
  EXPECT_EQ(ThresholdsFor(0, v)->low, 7);
  EXPECT_EQ(ThresholdsFor(2, v)->low, -5);
}

std::vector<Sample> Samples(std::vector<std::pair<int, int>> shockTemp) {
  std::vector<Sample> out;
  for (auto [shock, temp] : shockTemp) out.push_back(Sample{0, 0, 0, shock, temp});
  return out;
}

TEST(DiskwarnRules, Boundaries) {
  Thresholds c0, c1;
  c1.low = -5;
  struct Case {
    std::vector<std::pair<int, int>> s;
    int n;
    bool shock;
  } shock[] = {{{{30, 0}, {20, 0}}, 2, true}, {{{29, 0}, {20, 0}}, 2, false}, {{{40, 0}, {30, 0}, {20, 0}}, 3, true},
               {{{40, 0}, {30, 0}, {21, 0}}, 3, false}, {{{40, 0}, {30, 0}}, 3, false}};  // two read, three needed
  for (const Case& c : shock) {
    Thresholds t;
    t.shockSamples = c.n;
    EXPECT_EQ(ShockRule(Samples(c.s), t), c.shock) << c.s[0].first << " n=" << c.n;
  }
  struct Temp {
    int a, b;
    const Thresholds& t;
    bool fires;
  } temps[] = {{63, 70, c0, true}, {62, 70, c0, false}, {0, -1, c0, true},   {1, -1, c0, false},
               {-5, -6, c1, true}, {-4, -6, c1, false}, {0, -1, c1, false}, {63, 63, c1, true}};
  for (const Temp& c : temps) EXPECT_EQ(TemperatureRule(Samples({{0, c.a}, {0, c.b}}), c.t), c.fires) << c.a << " " << c.b;
  Thresholds three;
  three.temperatureSamples = 3;
  EXPECT_FALSE(TemperatureRule(Samples({{0, 70}, {0, 70}}), three));  // a missing sample is no zero

  const Sample ref{0, 10, 100, 0, 0};
  EXPECT_TRUE(PowerOnRule(ref, Sample{0, 10, 125, 0, 0}, c0));
  EXPECT_FALSE(PowerOnRule(ref, Sample{0, 10, 124, 0, 0}, c0));
  EXPECT_FALSE(PowerOnRule(ref, Sample{0, 11, 200, 0, 0}, c0));
  EXPECT_FALSE(PowerOnRule(ref, Sample{0, 10, 50, 0, 0}, c0));

  struct Hib {
    uint32_t seconds, def;
    bool fires;
  } hib[] = {{1800, 60, true}, {5400, 60, false}, {0, 60, false}, {3600, 60, false},
             {3599, 60, true}, {60, 0, true},     {30, 60, true},  {0, 0, false}};
  for (const Hib& h : hib) EXPECT_EQ(HibernateRule(h.seconds, h.def), h.fires) << h.seconds << " " << h.def;
  EXPECT_EQ(PolicyHibernateSeconds(true, 600, 900), 600u);
  EXPECT_EQ(PolicyHibernateSeconds(false, 600, 900), 1500u);
  EXPECT_EQ(PolicyHibernateSeconds(false, 600, 0), 0u);
}

// The viewer and the machine as the evaluation sees them.
struct Ports : IEvaluationPorts {
  Values values;
  std::optional<std::u16string> String(const char16_t* n) override { return values.String(n); }
  std::optional<uint32_t> Dword(const char16_t* n) override { return values.Dword(n); }
  int64_t now = WallSeconds(2026, 12, 10, 10, 0, 30);
  int64_t NowWallSeconds() override { return now; }
  int slept = 0;
  void Sleep(uint32_t) override {
    if (++slept == refreshAfter) values.strings[u"Diskwarn002"] = refreshed;
  }
  int refreshAfter = 0;
  std::u16string refreshed;
  bool running = true, requestOk = true;
  std::vector<uint32_t> requests, reports;
  bool RequestSample(bool& r) override {
    requests.push_back(kControlSample);
    r = running;
    return requestOk;
  }
  uint32_t failReport = 0;
  bool Report(uint32_t c) override {
    reports.push_back(c);
    return c != failReport;
  }
  bool defaultsOk = true;
  uint32_t ac = 60, dc = 60;
  bool DefaultHibernate(uint32_t& a, uint32_t& d) override {
    a = ac, d = dc;
    return defaultsOk;
  }
  uint32_t acSeconds = 0, dcSeconds = 0;
  bool schemeOk = true;
  int schemeReads = 0;
  bool HibernateSeconds(bool mains, uint32_t& s) override {
    ++schemeReads;
    s = mains ? acSeconds : dcSeconds;
    return schemeOk;
  }
  void Sample(int number, const std::string& text) {
    std::string name = "Diskwarn0" + std::string(number < 10 ? "0" : "") + std::to_string(number);
    values.strings[U(name)] = U(text);
  }
};

// Newest 10:00:00 with 30 shocks at 70 degrees, previous 09:00:00 with 20 at 70, reference 100 hours back.
void History(Ports& p) {
  p.Sample(3, "2026/12/09 10:00:00  7 100 0 30");
  p.Sample(2, "2026/12/10 10:00:00  7 125 30 70");
  p.Sample(1, "2026/12/10 09:00:00  7 124 20 70");
}

TEST(DiskwarnEvaluate, FindsAndReportsInOrder) {
  Ports p;
  History(p);
  p.acSeconds = 1800;
  const Evaluation e = Evaluate(0, kAllEvents, p);
  EXPECT_TRUE(e.ok);
  EXPECT_EQ(e.found, kAllEvents);
  EXPECT_EQ(p.reports, (std::vector<uint32_t>{145, 146, 147, 148}));
  EXPECT_EQ(p.schemeReads, 1);  // mains fired: battery not read
  EXPECT_TRUE(p.requests.empty());  // the newest sample is 30 s old
}

TEST(DiskwarnEvaluate, Failures) {
  struct Case {
    const char* what;
    void (*setup)(Ports&);
    int modelClass;
    uint32_t wanted;
    bool ok;
    uint32_t found;
  } cases[] = {
      {"class 3", [](Ports&) {}, 3, 15, false, 0},
      {"nothing wanted", [](Ports&) {}, 0, 0, false, 0},
      {"hibernation only, nothing else read", [](Ports& p) { p.values.strings.clear(); }, 0, 1, true, 0},
      {"no defaults", [](Ports& p) { p.defaultsOk = false; }, 0, 1, false, 0},
      {"no scheme", [](Ports& p) { p.schemeOk = false; }, 0, 1, false, 0},
      {"battery setting fires", [](Ports& p) { p.dcSeconds = 600; }, 0, 1, true, 1},
      // Two hours between the newest samples: power-on still applies, shock and temperature not.
      {"gap", [](Ports& p) { p.Sample(1, "2026/12/10 08:00:00  7 123 20 70"); }, 0, 14, true, kEventPowerOn},
      {"gap 4200 s", [](Ports& p) { p.Sample(1, "2026/12/10 08:50:00  7 123 20 70"); }, 0, 14, true, 14},
      // The previous sample is read before any rule over the samples: missing ends with
      // success, unreadable fails, both before the power-on rule.
      {"no previous", [](Ports& p) { p.values.strings.erase(u"Diskwarn001"); }, 0, 14, true, 0},
      {"bad previous", [](Ports& p) { p.Sample(1, "junk"); }, 0, 14, false, 0},
      {"bad reference", [](Ports& p) { p.Sample(3, "junk"); }, 0, 14, false, 0},
      {"report fails", [](Ports& p) { p.failReport = 146; }, 0, 14, false, 0},
      // A failure after hibernation fired still answers it.
      {"no newest after a find", [](Ports& p) {
         p.acSeconds = 1800;
         p.values.strings.erase(u"Diskwarn002");
       }, 0, 15, true, kEventHibernate},
      {"no newest", [](Ports& p) { p.values.strings.erase(u"Diskwarn002"); }, 0, 15, false, 0},
      // A missing older sample is not a zero: three wanted, two read.
      {"three samples needed", [](Ports& p) { p.values.dwords[u"_Diskwarn014"] = 3; }, 0, 4, true, 0},
      {"third read", [](Ports& p) {
         p.values.dwords[u"_Diskwarn014"] = 3;
         p.Sample(10, "2026/12/10 08:00:00  7 123 10 64");
       }, 0, 4, true, 4},
      {"after a bad older one nothing counts", [](Ports& p) {
         p.values.dwords[u"_Diskwarn014"] = 4;
         p.Sample(10, "junk");
         p.Sample(11, "2026/12/10 07:00:00  7 123 10 64");
       }, 0, 4, true, 0},
  };
  for (const Case& c : cases) {
    Ports p;
    History(p);
    p.acSeconds = 0;
    c.setup(p);
    const Evaluation e = Evaluate(c.modelClass, c.wanted, p);
    EXPECT_EQ(e.ok, c.ok) << c.what;
    EXPECT_EQ(e.found, c.found) << c.what;
  }
}

// A refused report ends the reports and the answer: nothing is handed out.
TEST(DiskwarnEvaluate, RefusedReportAnswersNothing) {
  Ports p;
  History(p);
  p.acSeconds = 1800;
  p.failReport = 146;
  const Evaluation e = Evaluate(0, kAllEvents, p);
  EXPECT_FALSE(e.ok);
  EXPECT_EQ(e.found, 0u);
  EXPECT_EQ(p.reports, (std::vector<uint32_t>{145, 146}));
}

TEST(DiskwarnEvaluate, StaleSampleIsRefreshedFirst) {
  Ports p;
  History(p);
  p.now += 61;
  p.refreshAfter = 3;
  p.refreshed = u"2026/12/10 10:01:30  7 125 40 70";
  const Evaluation e = Evaluate(0, kEventShock, p);
  EXPECT_TRUE(e.ok);
  EXPECT_EQ(e.found, kEventShock);
  EXPECT_EQ(p.requests.size(), 1u);
  EXPECT_EQ(p.slept, 3);

  // A refresh that never shows ends the evaluation with the hibernation result alone.
  Ports never;
  History(never);
  never.now += 61;
  never.acSeconds = 60;
  const Evaluation f = Evaluate(0, kEventHibernate | kEventShock, never);
  EXPECT_TRUE(f.ok);
  EXPECT_EQ(f.found, kEventHibernate);
  EXPECT_EQ(never.slept, 10);
  EXPECT_EQ(never.reports, std::vector<uint32_t>{145});

  // A stopped service cannot refresh: the samples are taken as they are.
  Ports stopped;
  History(stopped);
  stopped.now += 3600;
  stopped.running = false;
  EXPECT_EQ(Evaluate(0, kEventShock, stopped).found, kEventShock);
  EXPECT_EQ(stopped.slept, 0);

  Ports refused;
  History(refused);
  refused.now += 61;
  refused.requestOk = false;
  EXPECT_FALSE(Evaluate(0, kEventShock, refused).ok);
}

// The viewer stand-in's samples are what the library parses, at the age the scenario gives.
TEST(DiskwarnScenario, SamplesAndFaultsFromTheDiskSection) {
  sim::Scenario s;
  std::string error;
  ASSERT_TRUE(sim::ParseScenario("[disk]\nnewest = 90 7 125 30 -5\nolder3 = bad\noverride.6 = 0xFFF6\n"
                                 "service = stopped demand\npipe = silent\nhibernate = 1800 0\n",
                                 s, error))
      << error;
  const int64_t now = WallSeconds(2026, 1, 1, 0, 0, 30);
  const auto newest = ParseSample(sim::SampleText(s.disk.samples.at(2), now));
  ASSERT_TRUE(newest);
  EXPECT_EQ(now - newest->time, 90) << "across midnight and the year";
  EXPECT_EQ(newest->temperature, -5);
  EXPECT_FALSE(ParseSample(sim::SampleText(s.disk.samples.at(12), now)));
  EXPECT_EQ(s.disk.overrides.at(6), 0xFFF6u);
  EXPECT_FALSE(s.disk.data.running);
  EXPECT_EQ(s.disk.data.startType, 3u);
  EXPECT_TRUE(s.disk.pipeSilent);
  EXPECT_EQ(s.disk.hibernateAc, 1800u);
  for (const char* bad : {"[disk]\nnewest = 90 7 125 30\n", "[disk]\nolder9 = 1 1 1 1 1\n", "[disk]\noverride.15 = 1\n",
                          "[disk]\nservice = running sometimes\n", "[disk]\nrecords = 300\n"})
    EXPECT_FALSE(sim::ParseScenario(bad, s, error)) << bad;
}
}  // namespace
