#include "sim/driver/sim_registry.h"

namespace sim {
std::unique_ptr<ISimRegistry> CreatePlatformRegistry() { return std::make_unique<MemoryRegistry>(); }
}  // namespace sim
