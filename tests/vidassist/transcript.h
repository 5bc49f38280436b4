// The helper's protocol cases of protocol.txt (format at its top), for the native and the
// Wine runner alike.
#pragma once
#include <string>
#include <vector>

namespace vidatest {

struct Case {
  std::string name;
  std::string scenario;  // the scenario's text
  std::string input;     // everything written to the helper
  std::string output;    // everything it must write
  std::string log;       // the driver's write log it must leave
  int exitCode = 0;
};

// Reads `file`; scenario files are named relative to `scenarioDir`. False with a message.
bool ReadCases(const std::string& file, const std::string& scenarioDir, std::vector<Case>& out, std::string& error);

}  // namespace vidatest
