// The sim variant: the notebook's PCI devices, disk, power scheme and the elevation's answer
// come from the scenario's [disk] section; an accepted elevation starts the data service
// through the service manager, as the viewer's elevated class does.
#include <string>

#include "libs/diskwarn/dll/dw_machine.h"
#include "libs/diskwarn/dll/dw_win.h"
#include "sim/driver/scenario.h"
#include "sim/driver/scenario_source.h"

namespace dw {
namespace {
bool Disk(sim::SimDisk& disk) {
  const sim::ScenarioSource source = sim::ReadScenarioSource();
  sim::Scenario scenario;
  std::string error;
  if (!source.readable || !sim::ParseScenario(source.text, scenario, error)) return false;
  disk = scenario.disk;
  return true;
}
}  // namespace

bool PresentPciInstanceIds(std::vector<std::u16string>& ids) {
  sim::SimDisk disk;
  if (!Disk(disk)) return false;
  ids.clear();
  for (const std::string& id : disk.pci) ids.emplace_back(id.begin(), id.end());
  return true;
}

bool DiskSpinning(const wchar_t* path, bool& spinning) {
  sim::SimDisk disk;
  if (!Disk(disk) || std::u16string(reinterpret_cast<const char16_t*>(path)) != std::u16string(disk.path.begin(), disk.path.end()))
    return false;
  spinning = disk.spinning;
  return true;
}

bool SchemeHibernateSeconds(bool onMains, uint32_t& seconds) {
  sim::SimDisk disk;
  if (!Disk(disk)) return false;
  seconds = onMains ? disk.hibernateAc : disk.hibernateDc;
  return true;
}

Elevation StartDataServiceElevated(HWND) {
  sim::SimDisk disk;
  if (!Disk(disk)) return Elevation::Unavailable;
  if (disk.elevationRefused) return Elevation::MethodFailed;
  return StartDataServiceDirectly() ? Elevation::Started : Elevation::MethodFailed;
}

}  // namespace dw
