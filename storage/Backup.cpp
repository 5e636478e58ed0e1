#include "storage/Backup.h"

#include "storage/TextFile.h"

#include <windows.h>

bool BackupData() {
    const std::wstring folder = DataFilePath(L"backup");
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    bool all = true;
    for (const wchar_t* name :
         {L"history.ini", L"settings.ini", L"templates.txt", L"templates2.txt", L"templates3.txt"}) {
        const std::wstring target = folder + L"\\" + name;
        if (!CopyFileW(DataFilePath(name).c_str(), target.c_str(), FALSE))
            all = false;
    }
    return all;
}
