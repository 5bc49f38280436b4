// The real vidassist.exe (64-bit) under Wine, over the sim's COM server: every case of
// protocol.txt through its standard input and output, with the simulated driver's write log.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/common/win/win_test_support.h"
#include "tests/vidassist/transcript.h"

namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

using wintest::TempFile;
using wintest::WriteWhole;

std::string ReadWhole(const std::wstring& path) {
  std::string text;
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (f == INVALID_HANDLE_VALUE) return text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got) text.append(buffer, got);
  CloseHandle(f);
  return text;
}

// Runs the program with `input` as its standard input and everything it writes as `output`.
int Converse(const std::wstring& exe, const std::string& input, std::string& output) {
  return wintest::RunWithInput(L"\"" + exe + L"\"", input, output, 30000);
}

std::string WinPath(const char* unixPath) {
  std::string out = "Z:";
  for (const char* p = unixPath; *p; ++p) out.push_back(*p == '/' ? '\\' : *p);
  return out;
}

TEST(VidassistExe, EveryCaseLineForLine) {
  std::vector<vidatest::Case> cases;
  std::string error;
  ASSERT_TRUE(vidatest::ReadCases(WinPath(PROTOCOL_FILE), WinPath(SCENARIO_DIR), cases, error)) << error;
  ASSERT_GE(cases.size(), 10u);
  const std::wstring scenario = TempFile(L"vas"), log = TempFile(L"vlg");
  SetEnvironmentVariableW(L"TELLWICK_SCENARIO", scenario.c_str());
  SetEnvironmentVariableW(L"TELLWICK_GFX_LOG", log.c_str());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteWhole(scenario, c.scenario));
    ASSERT_TRUE(WriteWhole(log, ""));
    std::string output;
    EXPECT_EQ(Converse(Wide(WinPath(VIDASSIST_EXE)), c.input, output), c.exitCode);
    EXPECT_EQ(output, c.output);
    EXPECT_EQ(ReadWhole(log), c.log);
  }
  SetEnvironmentVariableW(L"TELLWICK_SCENARIO", nullptr);
  SetEnvironmentVariableW(L"TELLWICK_GFX_LOG", nullptr);
  DeleteFileW(scenario.c_str());
  DeleteFileW(log.c_str());
}

// No graphics driver: the object cannot be created, so no banner, "Terminated.", -1.
TEST(VidassistExe, WithoutTheDriverEndsAtOnce) {
  const std::wstring scenario = TempFile(L"vas");
  ASSERT_TRUE(WriteWhole(scenario, "[display]\ngraphics = no\n"));
  SetEnvironmentVariableW(L"TELLWICK_SCENARIO", scenario.c_str());
  std::string output;
  EXPECT_EQ(Converse(Wide(WinPath(VIDASSIST_EXE)), "GetOpMode\n", output), -1);
  EXPECT_EQ(output, "Terminated.\n");
  SetEnvironmentVariableW(L"TELLWICK_SCENARIO", nullptr);
  DeleteFileW(scenario.c_str());
}

// It is a PE32+ program.
TEST(VidassistExe, IsA64BitProgram) {
  DWORD type = 0;
  ASSERT_TRUE(GetBinaryTypeW(Wide(WinPath(VIDASSIST_EXE)).c_str(), &type));
  EXPECT_EQ(type, static_cast<DWORD>(SCS_64BIT_BINARY));
}

}  // namespace
