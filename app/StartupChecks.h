// What the program checks as it starts, before the user trusts it with data: whether its data
// folder can be written, whether it runs from the temporary folder (an exe started from inside a
// zip is copied there alone, and its data may vanish with the next clean-up), and whether the
// img folder came along. Said once, in one message box.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

// Whether this start is the one instance, from what CreateMutexW said: `created` (a handle came
// back), `error` (GetLastError right after it) and, when no handle came back, `openable` (the
// fallback OpenMutexW(SYNCHRONIZE) found the mutex).
enum class InstanceCheck { First, AlreadyRunning };
InstanceCheck ClassifyInstanceStart(bool created, DWORD error, bool openable);

// The data folder as the checks find it.
struct FolderFacts {
    bool writable = true;    // a file could be made and deleted there
    bool temporary = false;  // it lies in %TEMP% (or is it)
    bool hasPictures = true; // img\ is there
    // Files a write cut short left without their data file and that did not read as whole: kept
    // as <file>.recovered (SettleLeftoverWrites) for the user to look at.
    std::vector<std::wstring> recovered;
};

// Reads the facts of `folder`, with `temporaryFolder` standing for %TEMP%: makes and deletes a
// probe file in it, compares the folders' long forms without case, looks for img\.
FolderFacts ReadFolderFacts(const std::wstring& folder, const std::wstring& temporaryFolder);

// True when `path` is `folder` or lies below it (both absolute; case and a trailing backslash
// ignored; "C:\Temp2" is not below "C:\Temp").
bool IsWithinFolder(std::wstring_view path, std::wstring_view folder);

// The message for the user, in Japanese: what is wrong with `folder` and what to do; empty when
// all is well.
std::wstring FolderWarningText(const FolderFacts& facts, const std::wstring& folder);
