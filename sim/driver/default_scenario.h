#pragma once
namespace sim {
// The text of sim/scenarios/default.ini, built in.
extern const char* const kDefaultScenario;
}
