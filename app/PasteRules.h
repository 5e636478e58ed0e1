// What the automatic paste decides, from plain facts about the desktop: which window may take
// a paste, whether the remembered one can take it now, and which keys to send. Windows decides
// these things in ways Wine does not show (cloaked shell flyouts, integrity levels, keys still
// held), so the decisions live here as values in, values out; app/Paste.cpp gathers the facts.
#pragma once

#include "core/ProgramRules.h"
#include "core/Types.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

// A window as the paste-target rule sees it.
struct WindowFacts {
    std::wstring className;
    std::wstring processName; // the exe's file name ("explorer.exe"); empty when it cannot be read
    bool ownProcess = false;  // this program's, or of no process at all
    bool topLevel = false;
    bool visible = false;
    bool enabled = false;
    bool cloaked = false; // DWMWA_CLOAKED: a closed shell flyout, a window on another virtual desktop
    LONG_PTR exStyle = 0;
};

// The desktop's own surfaces, which come to the front for a moment (the taskbar, the
// notification-area overflow, Start, Search, Win+V, the task switcher, the desktop itself) and
// never take a paste. Class names compare exactly; process names without case.
bool IsShellSurface(std::wstring_view className, std::wstring_view processName);

// A window becomes the paste target only when it is a visible, enabled, top-level window of
// another process, not cloaked, not a tool window (unless it also asks for a taskbar button),
// and no shell surface.
bool CanBePasteTarget(const WindowFacts& window);

// The paste keys by program: the PasteKeys setting when settings.ini gives it (even empty: Ctrl+V
// everywhere), else the built-in list of terminals.
const std::vector<PasteKeyRule>& PasteKeysInForce(const AppOptions& options);

// How a paste ended; everything but Pasted leaves the text on the clipboard for Ctrl+V.
enum class PasteOutcome {
    Pasted,
    NoTarget,     // no window was in front before the tool window, or it has gone
    Hung,         // the target does not answer (IsHungAppWindow)
    OtherDesktop, // the target is on another virtual desktop
    Elevated,     // the target runs above our integrity level: Windows drops our keys silently
    NotInFront,   // the target did not come to the front in time, or another window took it
    KeysRefused,  // SendInput took fewer keys than it was given
};

// The remembered window as it is at paste time.
struct TargetFacts {
    bool exists = false; // a window handle that is still a window
    WindowFacts window;
    bool hung = false;
    bool onCurrentDesktop = true;
    bool aboveOurIntegrity = false; // also when its process cannot be opened to tell
};

// Pasted when keys may be sent to the target; otherwise why not.
PasteOutcome JudgePasteTarget(const TargetFacts& target);

// The notification-area balloon for a paste that did not happen: why, and that Ctrl+V pastes.
inline constexpr wchar_t kPasteRefusedTitle[] = L"貼り付けませんでした";
std::wstring PasteRefusalText(PasteOutcome outcome);

// One synthetic key event: a virtual key going down or up.
struct KeyStroke {
    WORD vk = 0;
    bool up = false;
    bool operator==(const KeyStroke& other) const { return vk == other.vk && up == other.up; }
};
using KeyPlan = std::vector<KeyStroke>;

// A paste key: the key and the modifiers pressed with it.
struct KeyChord {
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
    WORD key = 0;
};
inline constexpr KeyChord kCtrlV = {true, false, false, 'V'};
// The chord of a paste key named in the settings (PasteKeys).
KeyChord ChordFor(PasteKey key);

// A key that sends nothing an application acts on ("unassigned" in Windows' table). Pressed
// before a held Alt or Windows key is released, so that the release opens neither the target's
// menu bar nor Start.
inline constexpr WORD kMaskKey = 0xE8;

// The keys that make the target see exactly `chord`, given the modifier keys still down
// (VK_LSHIFT, VK_RCONTROL, VK_LMENU, VK_RWIN, ...): the held modifiers the chord does not use
// are released first, then the chord's own modifiers go down, the key goes down and up, and the
// modifiers come up again. The key is a virtual key, so any keyboard layout pastes.
KeyPlan PasteKeys(const KeyChord& chord, const std::vector<WORD>& heldModifiers);

// After SendInput took only the first `sent` events of `plan`: the releases of the keys it
// pressed and never let go, last first, so that no key stays down.
KeyPlan ReleasesAfterPartialSend(const KeyPlan& plan, size_t sent);

// Keys that SendInput must mark KEYEVENTF_EXTENDEDKEY (right Ctrl and Alt, the Windows keys, the
// navigation block): without the mark Insert arrives as the keypad's 0.
bool IsExtendedKey(WORD vk);
