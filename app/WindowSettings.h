// settings.ini for the running window: reading it at start-up into the live state (options,
// tab names and kinds, the list font), and writing it back with the window's rectangle when a
// setting changed. The list font's making and its scaling to the window's dots per inch are
// here too, as the font is what settings.ini keeps of it.
#pragma once

#include "core/Types.h"

#include <windows.h>

// Reads settings.ini and applies it; without one, the defaults with the window size scaled
// to the screen's dots per inch. Notes whether settings.ini may be written this run.
AppSettings LoadStartupSettings();

// There was no settings.ini at start-up: the program runs in this folder for the first time.
bool FirstRunInThisFolder();

// Copies a loaded settings record into the live state (options, tab names and kinds, list font).
void ApplyLoadedSettings(const AppSettings& settings);

// The record that describes the live state, with the given window rectangle.
AppSettings CollectSettings(const WindowRect& rect);

// Once the window stands as settings.ini describes it (its rectangle `loadedRect`): what the
// live state would write now counts as written. Without a settings.ini nothing does.
void NoteSettingsInForce(const WindowRect& loadedRect);

// Notes the window's rectangle; a component of -1 keeps the last one noted.
void NoteWindowRect(int x, int y, int width, int height);

// Writes settings.ini with the noted rectangle when anything it holds differs from what was
// last read or written, and only then: commands, hides and keystrokes that change nothing
// write nothing.
void SaveSettingsIfChanged();

// Notes the main window's current rectangle and saves as above.
void SaveSettingsWithWindowRect();

// The list font made for `from` dots per inch, made again for `to`.
void RescaleListFont(int from, int to);

// The screen's dots per inch (the system's, which a font made before the window follows).
int ScreenDpi();

// settings.ini as another program or another PC wrote it. The live settings are the merge of
// what was last read or written (the base), the live ones and the file's: a key changed on one
// side only is taken, the window's rectangle stays this PC's own.
enum class SettingsTakeIn { Unchanged, TakenIn, NotNow };
// `merged`: the record to apply when TakenIn. Afterwards settings.ini counts as read; it is
// written again only when the merge holds more than the file (beyond this PC's rectangle).
SettingsTakeIn TakeInSettingsFile(AppSettings& merged);
// A conflict copy of settings.ini: the keys only it holds are added, the live values kept.
SettingsTakeIn AbsorbSettingsCopy(const std::wstring& copyName, AppSettings& merged);
// After a take-in was applied: writes settings.ini when the merge holds what the file lacks.
void SaveSettingsAfterTakeIn();
