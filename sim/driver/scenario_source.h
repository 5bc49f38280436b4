// The one seam that says which notebook is simulated: the file named by TELLWICK_SCENARIO in
// the process environment, else the built-in default. The simulated driver and every
// module's simulated devices read it here, so they always simulate the same notebook.
#pragma once
#include <string>

namespace sim {

struct ScenarioSource {
  std::string name;   // "default scenario" or "scenario PATH", for messages
  bool readable = true;  // false: the named file cannot be read
  std::string text;   // the scenario's text when readable
};

ScenarioSource ReadScenarioSource();

}  // namespace sim
