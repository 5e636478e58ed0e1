#include "app/Programs.h"

#include "core/UniqueHandles.h"

#include <tlhelp32.h>

#include <iterator>

namespace {

std::wstring ImageFileName(DWORD processId) {
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process)
        return std::wstring();
    wchar_t path[MAX_PATH * 4] = {};
    DWORD size = static_cast<DWORD>(std::size(path));
    if (!QueryFullProcessImageNameW(process.get(), 0, path, &size))
        return std::wstring();
    const std::wstring full(path, size);
    const size_t slash = full.find_last_of(L"\\/");
    return slash == std::wstring::npos ? full : full.substr(slash + 1);
}

std::wstring SnapshotFileName(DWORD processId) {
    const UniqueHandle snapshot = MakeUniqueFileHandle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return std::wstring();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry))
        if (entry.th32ProcessID == processId)
            return entry.szExeFile; // the exe's file name, without its folder
    return std::wstring();
}

} // namespace

ProcessNameSources SystemProcessNames() {
    return ProcessNameSources{ImageFileName, SnapshotFileName};
}

std::wstring ProcessFileName(const ProcessNameSources& sources, DWORD processId) {
    if (processId == 0)
        return std::wstring();
    std::wstring name = sources.image(processId);
    return name.empty() ? sources.snapshot(processId) : name;
}

std::wstring ProcessFileName(DWORD processId) {
    return ProcessFileName(SystemProcessNames(), processId);
}

std::wstring WindowProgram(HWND window) {
    DWORD processId = 0;
    if (window)
        GetWindowThreadProcessId(window, &processId);
    return ProcessFileName(processId);
}
