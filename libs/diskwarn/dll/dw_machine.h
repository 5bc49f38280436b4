// What Diskwarn asks of the notebook itself, one definition per variant: the real devices,
// power scheme and the viewer's elevation class in the release DLL, the scenario's in sim.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace dw {

// Instance ids of the present PCI devices; false when they cannot be enumerated.
bool PresentPciInstanceIds(std::vector<std::u16string>& ids);
// Whether the disk at `path` is spinning; false when that cannot be told.
bool DiskSpinning(const wchar_t* path, bool& spinning);
// The active power scheme's hibernate-after time in seconds (0 never).
bool SchemeHibernateSeconds(bool onMains, uint32_t& seconds);

// Starting the viewer's data service through its elevation-enabled class.
enum class Elevation { Started, MethodFailed, Blocked, Unavailable };
Elevation StartDataServiceElevated(HWND owner);

}  // namespace dw
