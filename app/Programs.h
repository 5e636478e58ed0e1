// Which program a window or a process is, as the rules by program name it: its exe file name.
#pragma once

#include <windows.h>

#include <string>

// Where a process's exe name comes from, as plain function pointers so that a test can stand in
// for a process that cannot be opened or has ended. Each gives the exe file name, or empty.
struct ProcessNameSources {
    // OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION) and QueryFullProcessImageNameW.
    std::wstring (*image)(DWORD processId);
    // The process's entry in a Toolhelp snapshot of the processes.
    std::wstring (*snapshot)(DWORD processId);
};
ProcessNameSources SystemProcessNames();

// The exe file name of a process ("notepad.exe"): from its image, or, when it cannot be opened
// (a protected process, one of another session), from a snapshot of the processes; empty when
// neither knows it (it has ended, or the id is 0).
std::wstring ProcessFileName(const ProcessNameSources& sources, DWORD processId);
std::wstring ProcessFileName(DWORD processId);

// The exe file name of the process a window belongs to; empty for none.
std::wstring WindowProgram(HWND window);
