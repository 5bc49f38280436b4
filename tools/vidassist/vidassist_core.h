// The display helper's line protocol: one command per line on standard input, one reply
// line on standard output, against a graphics interface (graphics_port.h).
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/vidassist/graphics_port.h"

namespace vida {

extern const char kBanner[];      // the first line, once the graphics object exists
extern const char kTerminated[];  // the last line
constexpr size_t kMaxLine = 1023;

// What one line gives: the text to write (with its line feed) and whether to leave.
struct Outcome {
  std::string output;
  bool leave = false;
};

class Protocol {
 public:
  explicit Protocol(IGraphics* graphics) : graphics_(graphics) {}
  // One line without its line feed (a trailing carriage return is dropped too).
  Outcome Line(const std::string& line);
  // Runs one command of the table by name with its arguments; false with the failure text.
  bool Command(const std::string& name, const std::vector<uint32_t>& args, std::string& reply);

 private:
  bool HdmiMonitorUid(std::string& reply);
  bool MonitorEdid(uint32_t uid, std::string& reply);
  bool Scaling(uint32_t uid, std::string& reply);
  bool OpMode(std::string& reply);
  bool MonitorUid(bool secondary, std::string& reply);
  bool SetResolution(uint32_t uid, uint32_t width, uint32_t height, uint32_t depth, std::string& reply);
  bool SetScaling(uint32_t uid, int32_t value, std::string& reply);
  bool DisplayCount(std::string& reply);
  bool ReadConfiguration(std::vector<uint8_t>& block, const char* failure, std::string& reply);

  IGraphics* graphics_;
  std::vector<uint8_t> saved_;  // the configuration before the last change; empty: none yet
};

// Splits input into lines of at most kMaxLine characters. A longer line is taken whole and
// reported once as too long, so that its tail is never read as a command of its own.
class LineReader {
 public:
  // Reads up to `capacity` bytes into `buffer`; 0 at end of input.
  using Source = std::function<size_t(char* buffer, size_t capacity)>;
  explicit LineReader(Source source) : source_(std::move(source)) {}
  // False at end of input. A last line without a line feed is still a line.
  bool Next(std::string& line, bool& tooLong);

 private:
  Source source_;
  std::array<char, 1024> buffer_{};
  size_t begin_ = 0, end_ = 0;
  bool ended_ = false;
};

// The whole program after the graphics object is made (or not): banner, commands, end.
// Writes through `write` (which also flushes) and answers the exit code.
int Serve(IGraphics* graphics, LineReader::Source read, const std::function<void(const std::string&)>& write);

// A command's number argument as the helper reads it: decimal, signed; values beyond 32 bits
// are read as 64-bit and cut to their low 32 bits, the same on every platform.
uint32_t ParseArgument(const std::string& token);

}  // namespace vida
