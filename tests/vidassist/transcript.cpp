#include "tests/vidassist/transcript.h"

#include <fstream>
#include <sstream>

namespace vidatest {
namespace {
bool Slurp(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  text = s.str();
  return true;
}
}  // namespace

bool ReadCases(const std::string& file, const std::string& scenarioDir, std::vector<Case>& out, std::string& error) {
  std::string text;
  if (!Slurp(file, text)) return error = "cannot read " + file, false;
  std::istringstream in(text);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.empty() || line[0] == '#') continue;
    const auto rest = [&](size_t at) { return at < line.size() ? line.substr(at) : std::string(); };
    if (line.rfind("== ", 0) == 0) {
      out.push_back(Case{rest(3)});
      continue;
    }
    if (out.empty()) return error = "line " + std::to_string(number) + ": outside a case", false;
    Case& c = out.back();
    if (line.rfind("scenario ", 0) == 0) {
      if (!Slurp(scenarioDir + "/" + rest(9), c.scenario)) return error = "cannot read scenario " + rest(9), false;
    } else if (line.rfind("| ", 0) == 0) {
      c.scenario += rest(2) + "\n";
    } else if (line.rfind(">long ", 0) == 0) {
      c.input += std::string(std::stoul(rest(6)), 'x') + "\n";
    } else if (line.rfind(">nolf ", 0) == 0) {
      c.input += rest(6);
    } else if (line == ">" || line.rfind("> ", 0) == 0) {
      c.input += rest(2) + "\n";
    } else if (line.rfind("< ", 0) == 0) {
      c.output += rest(2) + "\n";
    } else if (line.rfind("= ", 0) == 0) {
      c.log += rest(2) + "\n";
    } else if (line.rfind("exit ", 0) == 0) {
      c.exitCode = std::stoi(rest(5));
    } else {
      return error = "line " + std::to_string(number) + ": not understood", false;
    }
  }
  return true;
}

}  // namespace vidatest
