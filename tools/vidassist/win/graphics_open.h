// The graphics control object for this process behind the helper's graphics port: the
// vendor's COM object in the release variant, the simulated driver in the sim variant.
#pragma once
#include <memory>

#include "tools/vidassist/graphics_port.h"

namespace vida {
// Null when the object cannot be created. COM must be started on the calling thread.
// `anyServer` lets COM start a 64-bit server for the object (the helper asks for that).
std::unique_ptr<IGraphics> OpenGraphics(bool anyServer);
}  // namespace vida
