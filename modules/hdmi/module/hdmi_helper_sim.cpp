// The sim variant: as the release one, and also when the scenario's graphics object can be
// had only through the helper ("servers = helper"), so the 64-bit build can run the helper too.
#include "common/win/reg.h"
#include "modules/hdmi/module/hdmi_shell.h"
#include "sim/driver/scenario.h"
#include "sim/driver/scenario_source.h"

namespace hdmi {
bool HelperAllowed() {
  if (CReg::IsWow64()) return true;
  const sim::ScenarioSource source = sim::ReadScenarioSource();
  sim::Scenario scenario;
  std::string error;
  return source.readable && sim::ParseScenario(source.text, scenario, error) && scenario.graphics.servers == "helper";
}
}  // namespace hdmi
