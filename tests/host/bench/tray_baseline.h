// What the benchmark looks for in its baseline program.
#pragma once
#include <windows.h>

constexpr const wchar_t* kBaselineClass = L"TrayBaseline";
constexpr UINT kBaselineIconId = 1;
