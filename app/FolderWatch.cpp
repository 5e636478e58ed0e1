#include "app/FolderWatch.h"

#include "core/ConflictNames.h"
#include "core/UniqueHandles.h"
#include "ui/Ids.h"

#include <atomic>
#include <cstring>

namespace {

struct Watch {
    HANDLE thread = nullptr;
    UniqueHandle stop;
    UniqueHandle directory;
    HWND main = nullptr;
};
Watch g_watch;
std::atomic<bool> g_told{false}; // a WM_APP_FOLDER_CHANGED is on its way or being handled

void Tell() {
    if (!g_told.exchange(true))
        PostMessageW(g_watch.main, WM_APP_FOLDER_CHANGED, 0, 0);
}

// The folder cannot be watched any more (gone, or a share that stopped telling): the window
// looks at its files now and then instead.
void TellWatchEnded() {
    PostMessageW(g_watch.main, WM_APP_FOLDER_CHANGED, kFolderWatchEnded, 0);
}

constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;

DWORD WINAPI WatchThread(void*) {
    // DWORD-aligned, as ReadDirectoryChangesW asks; 64 KB is the most a network folder takes.
    alignas(DWORD) static char buffer[64 * 1024];
    UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event)
        return 0;
    for (;;) {
        OVERLAPPED overlapped = {};
        overlapped.hEvent = event.get();
        ResetEvent(event.get());
        if (!ReadDirectoryChangesW(g_watch.directory.get(), buffer, sizeof buffer, FALSE, kChanges, nullptr,
                                   &overlapped, nullptr)) {
            TellWatchEnded();
            return 0;
        }
        const HANDLE waits[] = {event.get(), g_watch.stop.get()};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
            CancelIoEx(g_watch.directory.get(), &overlapped);
            DWORD ignored = 0;
            GetOverlappedResult(g_watch.directory.get(), &overlapped, &ignored, TRUE); // the buffer is free again
            return 0;
        }
        DWORD size = 0;
        if (!GetOverlappedResult(g_watch.directory.get(), &overlapped, &size, FALSE) || size == 0) {
            Tell(); // more changes than the buffer held: every file is looked at
            continue;
        }
        for (const std::wstring& name : NamesInNotification(buffer, size)) {
            if (WatchedName(name)) {
                Tell();
                break;
            }
        }
    }
}

} // namespace

std::vector<std::wstring> NamesInNotification(const void* buffer, size_t size) {
    std::vector<std::wstring> names;
    const char* bytes = static_cast<const char*>(buffer);
    const size_t header = offsetof(FILE_NOTIFY_INFORMATION, FileName);
    size_t at = 0;
    while (buffer && at + header <= size) {
        FILE_NOTIFY_INFORMATION record;
        std::memcpy(&record, bytes + at, header);
        const size_t nameBytes = record.FileNameLength;
        if (at + header + nameBytes > size)
            break;
        std::wstring name(nameBytes / sizeof(wchar_t), L'\0');
        if (!name.empty())
            std::memcpy(&name[0], bytes + at + header, name.size() * sizeof(wchar_t));
        names.push_back(std::move(name));
        if (record.NextEntryOffset == 0)
            break;
        at += record.NextEntryOffset;
    }
    return names;
}

bool WatchedName(std::wstring_view name) {
    return IsDataFileName(name) || !ConflictCopyOf(name).empty();
}

bool StartFolderWatch(HWND mainWindow, const std::wstring& folder) {
    StopFolderWatch();
    g_watch.main = mainWindow;
    g_watch.directory = MakeUniqueFileHandle(
        CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr));
    g_watch.stop.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!g_watch.directory || !g_watch.stop) {
        g_watch = Watch{};
        return false;
    }
    g_watch.thread = CreateThread(nullptr, 0, WatchThread, nullptr, 0, nullptr);
    if (!g_watch.thread) {
        g_watch = Watch{};
        return false;
    }
    return true;
}

void StopFolderWatch() {
    if (g_watch.thread) {
        SetEvent(g_watch.stop.get());
        WaitForSingleObject(g_watch.thread, 5000);
        CloseHandle(g_watch.thread);
    }
    g_watch = Watch{};
    g_told = false;
}

void FolderChangeHandled() {
    g_told = false;
}
