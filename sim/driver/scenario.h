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
  std::string model = "PT15KB3456CD";
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

  // [disk]
  SimDisk disk;
};

// False with a message naming the line when the text is not a valid scenario.
bool ParseScenario(const std::string& text, Scenario& out, std::string& error);

// Parses one [battery] entry.
bool BatteryKey(const std::string& key, const std::string& value, SimBattery& out);
// The date word of a pack's recalibration date relative to today; nothing when it has none.
bool RecalWord(const SimPack& pack, uint16_t& word);

// The 128-byte block the driver answers to the model query.
std::array<uint8_t, 128> BuildModelInfo(const Scenario& s);

}  // namespace sim
