// The simulated notebook's hard disk as the disk viewer sees it: the [disk] section of a
// scenario (format: sim/README.md).
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct SimDiskSample {
  bool valid = true;   // false: an unparsable text
  int64_t age = 0;     // seconds before now
  std::array<int32_t, 4> counters{};  // start/stop, power-on hours, shocks, temperature
};

struct SimService {
  bool installed = true;
  bool running = true;
  uint32_t startType = 2;  // SERVICE_AUTO_START; 3 demand, 4 disabled
};

struct SimDisk {
  bool defined = false;
  bool monitored = true;
  std::map<int, SimDiskSample> samples;  // by the number of the "DiskwarnNNN" value: 1, 2, 3, 10..17
  bool refreshes = true;                 // control 144 takes a new sample
  std::optional<std::array<int32_t, 4>> next;  // its counters; the newest one's when not given
  std::map<int, uint32_t> overrides;     // "_DiskwarnNNN", 1..14
  std::vector<uint8_t> records;          // attribute ids the pipe reports
  std::string path = "\\\\.\\PhysicalDrive0";
  bool spinning = true;
  std::vector<std::string> pci;          // present PCI device instance ids
  uint32_t hibernateAc = 0, hibernateDc = 0;  // the active scheme's hibernate-after, seconds
  bool defaultsKnown = true;
  uint32_t defaultAc = 60, defaultDc = 60;    // the maker's defaults, minutes
  SimService data, pipe;
  bool pipeSilent = false;    // the pipe takes requests and never answers
  bool reportsFail = false;   // controls 145-148 fail
  bool elevationRefused = false;
};

bool DiskKey(const std::string& key, const std::string& value, SimDisk& out);

// The registry text of a sample taken `now` (local wall-clock seconds) minus its age.
std::u16string SampleText(const SimDiskSample& s, int64_t nowWallSeconds);

}  // namespace sim
