// Copies of the data files in the backup folder, and the start-up shortcut.
#pragma once

#include <string>
#include <string_view>

// Copies the five data files into the "backup" folder beside them (made when missing).
// True only when the folder exists and every copy succeeded; a failed copy does not stop
// the others.
bool BackupData();

// ---- The start-up shortcut ----------------------------------------------------------------
// "Nomaclip.lnk" in the user's Startup folder makes Windows start the program at log-on.
// The functions taking a path do the work; the others apply them to the real Startup folder.

inline constexpr wchar_t kStartupShortcutName[] = L"Nomaclip.lnk";
inline constexpr wchar_t kStartupShortcutDescription[] = L"Nomaclip 自動起動";

// folder + "\Nomaclip.lnk"; empty when the folder is empty (not found).
std::wstring StartupShortcutPathIn(std::wstring_view folder);

// The shortcut's full path in the user's Startup folder, or "" when that folder is unknown.
std::wstring GetStartupShortcutPath();

// True when a file (not a folder) exists at path.
bool ShortcutFileExists(const std::wstring& path);

// Writes a shell link at shortcutPath to target with the program's description, replacing an
// existing one. COM must be initialised on the thread. False when the link could not be made
// or saved.
bool WriteStartupShortcut(const std::wstring& shortcutPath, const std::wstring& target);

// Deletes the file at path when it is a file; a folder of that name stays.
void DeleteShortcutFile(const std::wstring& path);

// Auto-start is on exactly when the shortcut exists as a file.
bool IsAutoStartEnabled();

// Creates or rewrites the shortcut to the running executable. Failures are silent: the settings
// dialog shows the real state the next time it opens.
void EnableAutoStart();

// Deletes the shortcut when it exists as a file.
void DisableAutoStart();
