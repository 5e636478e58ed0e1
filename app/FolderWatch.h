// The data folder watched on a thread of its own: sync services (OneDrive, Dropbox, Syncthing)
// and editors change the data files from outside, and conflict copies appear beside them. The
// thread only tells the main window that something of ours changed (WM_APP_FOLDER_CHANGED, one
// at a time); what changed, and what it means, is found out on the window's thread.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// WM_APP_FOLDER_CHANGED's wParam when the watch has ended for good.
inline constexpr WPARAM kFolderWatchEnded = 1;

// Starts watching `folder` for the main window; false when the folder cannot be watched (a
// network share without change notifications, say): the caller then looks at the files now and
// then instead.
bool StartFolderWatch(HWND mainWindow, const std::wstring& folder);
void StopFolderWatch();
// The main window has handled WM_APP_FOLDER_CHANGED: the next change is told again.
void FolderChangeHandled();

// The file names of a buffer of FILE_NOTIFY_INFORMATION records `size` bytes long, as
// ReadDirectoryChangesW fills it; a record that runs past the end is dropped.
std::vector<std::wstring> NamesInNotification(const void* buffer, size_t size);

// True for the names the program cares about in its folder: its data files (any letter case, as
// Windows compares them) and the conflict copies sync services leave of them.
bool WatchedName(std::wstring_view name);
