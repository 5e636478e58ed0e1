// Which program a window or a process is, as the rules by program name it: its exe file name.
#pragma once

#include <windows.h>

#include <string>

// The exe file name of a process ("notepad.exe"); empty when the process cannot be opened.
std::wstring ProcessFileName(DWORD processId);

// The exe file name of the process a window belongs to; empty for none.
std::wstring WindowProgram(HWND window);
