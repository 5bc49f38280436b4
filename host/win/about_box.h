// The About box: product name and the installed version.
#pragma once
#include <windows.h>

#include <string>

namespace host {

// Modal; `caption` is the host caption that heads the product line.
void ShowAboutBox(HINSTANCE instance, HWND owner, const std::wstring& caption);

}  // namespace host
