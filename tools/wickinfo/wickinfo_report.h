// What wickinfo prints: one "Name: value" line per fact the driver client reads.
#pragma once
#include <ostream>

namespace MiscCommon {
class CMiscCommon;
}

// Opens the client, prints the notebook, and answers the process exit code
// (0, or the MC_* code of the first failure after printing its name and message).
int PrintNotebook(MiscCommon::CMiscCommon& client, std::ostream& out);
