#include "app/Programs.h"

#include "core/UniqueHandles.h"

#include <iterator>

std::wstring ProcessFileName(DWORD processId) {
    if (processId == 0)
        return std::wstring();
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

std::wstring WindowProgram(HWND window) {
    DWORD processId = 0;
    if (window)
        GetWindowThreadProcessId(window, &processId);
    return ProcessFileName(processId);
}
