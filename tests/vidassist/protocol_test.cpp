// The helper's protocol against the simulated graphics driver, case by case from protocol.txt.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "sim/driver/scenario.h"
#include "sim/graphics/sim_graphics.h"
#include "tests/vidassist/transcript.h"
#include "tools/vidassist/vidassist_core.h"

namespace {

struct Served {
  std::string output, log;
  int exitCode = 0;
};

Served Serve(vida::IGraphics* graphics, const std::string& input, size_t chunk = 4096) {
  Served run;
  size_t at = 0;
  run.exitCode = vida::Serve(
      graphics,
      [&](char* buffer, size_t capacity) {
        const size_t n = std::min({capacity, chunk, input.size() - at});
        std::memcpy(buffer, input.data() + at, n);
        at += n;
        return n;
      },
      [&](const std::string& text) { run.output += text; });
  return run;
}

Served ServeScenario(const std::string& scenarioText, const std::string& input, size_t chunk = 4096) {
  sim::Scenario scenario;
  std::string error;
  EXPECT_TRUE(sim::ParseScenario(scenarioText, scenario, error)) << error;
  std::string log;
  std::unique_ptr<sim::SimGraphics> graphics;
  if (scenario.graphics.available)
    graphics.reset(new sim::SimGraphics(scenario.graphics, "", [&](const std::string& l) { log += l + "\n"; }));
  Served run = Serve(graphics.get(), input, chunk);
  run.log = log;
  return run;
}

std::vector<vidatest::Case> Cases() {
  std::vector<vidatest::Case> cases;
  std::string error;
  EXPECT_TRUE(vidatest::ReadCases(PROTOCOL_FILE, SCENARIO_DIR, cases, error)) << error;
  return cases;
}

TEST(VidassistProtocol, EveryCaseLineForLine) {
  const auto cases = Cases();
  ASSERT_GE(cases.size(), 10u);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Served run = ServeScenario(c.scenario, c.input);
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(run.log, c.log);
    EXPECT_EQ(run.exitCode, c.exitCode);
  }
}

// Input that arrives a byte at a time (as a pipe may deliver it) gives the same lines.
TEST(VidassistProtocol, ByteByByteInputGivesTheSameReplies) {
  for (const auto& c : Cases()) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ServeScenario(c.scenario, c.input, 1).output, c.output);
  }
}

// A line just over the limit, split across reads, is answered once; the next is served.
TEST(VidassistProtocol, LongLineAnsweredOnceWhateverTheReads) {
  const std::string scenario = "[display]\ndisplay0 = 0x1001 1920 1080 32 hdmi\n";
  const std::string input = std::string(3000, 'G') + "\nGetOpMode\n";
  for (size_t chunk : {1u, 7u, 1023u, 1024u, 4096u}) {
    SCOPED_TRACE(chunk);
    EXPECT_EQ(ServeScenario(scenario, input, chunk).output,
              std::string(vida::kBanner) + "ERROR: Line Too Long\n1\nTerminated.\n");
  }
}

// The graphics object's own failures that no scenario can cause.
class NoStringGraphics : public sim::SimGraphics {
 public:
  using SimGraphics::SimGraphics;
  vida::AttachResult Attachable(const std::u16string&, uint32_t, uint32_t&, uint32_t&, uint32_t&) override {
    return vida::AttachResult::NoString;
  }
};

TEST(VidassistProtocol, FailuresOfTheObjectItself) {
  std::string reply;
  vida::Protocol none(nullptr);
  EXPECT_FALSE(none.Command("GetOpMode", {}, reply));
  EXPECT_EQ(reply, "ICUIExternal8 *psl is NULL");

  sim::Scenario scenario;
  std::string error;
  ASSERT_TRUE(sim::ParseScenario("[display]\ndisplay0 = 1 640 480 32 hdmi\n", scenario, error)) << error;
  NoStringGraphics graphics(scenario.graphics, "", nullptr);
  EXPECT_EQ(Serve(&graphics, "GetHDMIMonitorUID\n").output,
            std::string(vida::kBanner) + "ERROR: SysAllocString failed\nTerminated.\n");
}

// A new driver instance starts from the writes of earlier ones: one driver for all helpers.
TEST(SimGraphics, ReplaysEarlierWrites) {
  sim::Scenario scenario;
  std::string error;
  ASSERT_TRUE(sim::ParseScenario("[display]\ndisplay0 = 0x1001 1920 1080 32 hdmi\nscaling = 100 5 100 4\n", scenario,
                                 error));
  std::string log;
  {
    sim::SimGraphics first(scenario.graphics, "", [&](const std::string& l) { log += l + "\n"; });
    Serve(&first, "SetResolution 4097 1280 720 32\nSetScaling 4097 75\n");
  }
  sim::SimGraphics second(scenario.graphics, log, nullptr);
  vida::Protocol protocol(&second);
  EXPECT_EQ(protocol.Line("SetResolution 4097 1280 720 32").output, "UNCHANGED\n");
  EXPECT_EQ(protocol.Line("GetScaling 4097").output, "75\n");
}

TEST(SimScenario, DisplaySectionErrorsNameTheLine) {
  sim::Scenario scenario;
  std::string error;
  for (const char* bad : {"[display]\ndisplay0 = 1 2 3\n", "[display]\ndisplay0 = 1 2 3 4 tv\n",
                          "[display]\ndisplay0.monitor = AB1234\n", "[display]\nfail = everything\n",
                          "[display]\ndisplay9 = 1 2 3 4\n", "[display]\ndisplay1 = 1 2 3 4\n"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(sim::ParseScenario(bad, scenario, error));
  }
}

}  // namespace
