// A simulated notebook, as read from a scenario file (format: sim/README.md).
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "sim/driver/sim_disk.h"

namespace sim {

enum class SessionMode { On, Declined, BadProof, RefuseAuth };

struct RegistryPreset {
  std::u16string path;
  std::u16string name;
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

// One battery pack as the driver knows it.
struct SimPack {
  bool known = false;  // the driver can read its identity
  std::string name;
  uint16_t serial = 0;
  int made[3] = {0, 0, 0};  // year, month, day
  std::string recal;        // "" none, "-N" N days before today, or "yyyy/mm/dd"
  bool recalInController = false;  // only the embedded controller's copy holds the date
  int minutes = -1, extraMinutes = 0;  // recalibration duration; -1: not answered
};

// One device of the Windows battery class, in enumeration order.
struct SimBatteryDevice {
  bool openable = true;
  uint32_t tag = 1, design = 0, full = 0;
};

struct SimBattery {
  bool defined = false;  // a [battery] section: the battery functions answer from it
  std::string driverInterface = "new";  // new, old (embedded-controller bytes) or none
  int config = -1;                // configuration word; -1: the request fails
  SimPack packs[2];
  std::vector<SimBatteryDevice> devices;
};

// One display of the simulated graphics driver (the [display] section).
struct SimDisplay {
  bool defined = false;
  uint32_t uid = 0, width = 0, height = 0, further = 0, depth = 32;
  std::string kind = "hdmi";  // hdmi, hdmi-off (listed, not attached), panel
  std::vector<uint8_t> edid;  // 128 or 256 bytes; empty: none can be read
};

struct SimGraphicsSetup {
  bool defined = false;
  bool available = true;  // the control object can be created
  // Who can create it: "32 64" any process, "64" only 64-bit processes (or a 64-bit server
  // for a 32-bit one), "helper" only the display helper.
  std::string servers = "32 64";
  uint32_t mode = 1;      // operating mode of the configuration block
  std::vector<SimDisplay> displays;  // in N-view order; the first two fill the configuration block
  int count = -1;                    // displays the N-view block reports; -1: as many as listed
  int32_t scaling[4] = {100, 1, 100, 1};  // horizontal value and step, vertical value and step
  std::vector<std::string> failures;      // "get-config", "set-scaling", ... (sim/README.md)
};

// The anomaly registers of the embedded controller and the repair installer's behaviour
// (the [anomaly] section).
struct SimAnomaly {
  bool defined = false;
  std::string battery = "fine";   // fine, red, orange-temperature, orange-power, refused
  std::string adaptor = "recommended";  // none, recommended, not-recommended, mini, refused
  uint32_t installDelayMs = 0;    // the installer's run time
  std::string install = "ok";     // ok, fail, slow (waits until killed), restart
};
bool AnomalyKey(const std::string& key, const std::string& value, SimAnomaly& out);
// The battery register's four bytes and the adaptor's flags; false when the request is refused.
bool AnomalyBatteryBytes(const SimAnomaly& a, uint8_t (&out)[4]);
bool AnomalyAdaptorFlags(const SimAnomaly& a, uint16_t& flags);

struct Scenario {
  // [driver]
  bool present = true;
  bool openFails = false;
  bool versionReadable = true;
  std::string version = "1.0.8.2";
  SessionMode sessions = SessionMode::On;
  uint32_t modelInfoBytes = 128;  // fewer: a short reply to the model query
  uint32_t capsuleReplyLimit = 0; // nonzero: capsule replies cut to this many bytes

  // [identity]
  std::string model = "PT15KB3456CS";
  int modelLengthOverride = -1;  // nonzero byte 95 other than the model's own length
  std::string serialPrefix = "9K123";
  uint32_t serialNumber = 4567;
  std::array<uint8_t, 5> bios = {1, 0x23, 0x45, 'A', 0x67};
  std::array<uint8_t, 16> identification{};
  std::array<uint8_t, 2> field80{};
  uint8_t field91 = 0;
  uint8_t field92 = 0;

  // [ec]
  std::array<uint8_t, 256> ec{};

  // [functions]: (function, parameter) -> bytes from offset 8; parameter -1 answers any.
  std::map<std::pair<int, int>, std::vector<uint8_t>> replies;
  std::map<int, uint8_t> status;  // [status]
  std::map<int, int> busy;        // [busy]

  // [bios_table]
  std::vector<uint8_t> biosTable;  // 8-byte entries
  uint8_t biosTableFlag = 0;

  // [registry]
  std::vector<RegistryPreset> registry;

  // [battery]
  SimBattery battery;

  // [display]
  SimGraphicsSetup graphics;
  // [disk]
  SimDisk disk;
  // [anomaly]
  SimAnomaly anomaly;
};

// False with a message naming the line when the text is not a valid scenario.
bool ParseScenario(const std::string& text, Scenario& out, std::string& error);

// Parses one [battery] entry.
bool BatteryKey(const std::string& key, const std::string& value, SimBattery& out);
// Parses one [display] entry.
bool DisplayKey(const std::string& key, const std::string& value, SimGraphicsSetup& out);
// A made-up EDID: "ABC1234" as PnP id, with a CEA-861 extension block when cea, and text in the
// third descriptor (bytes 95 on).
std::vector<uint8_t> BuildEdid(const std::string& pnpId, bool cea, const std::string& text);

// The date word of a pack's recalibration date relative to today; nothing when it has none.
bool RecalWord(const SimPack& pack, uint16_t& word);

// The 128-byte block the driver answers to the model query.
std::array<uint8_t, 128> BuildModelInfo(const Scenario& s);

}  // namespace sim
