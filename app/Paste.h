// The automatic paste as it runs: the remembered window is judged, brought to the front with
// SetForegroundWindow alone (the program puts its own focus back where the user left it), and
// sent its paste keys once it is in front. Nothing waits on the window's thread: the run is
// moved on by a timer of the main window, and a target that stops answering is never sent a
// message. The desktop is reached through PasteDesktop, which the tests replace.
#pragma once

#include "app/PasteRules.h"

#include <windows.h>

#include <cstdint>
#include <vector>

// What the paste needs from the desktop: the facts it decides on and the few things it does.
class PasteDesktop {
public:
    virtual ~PasteDesktop() = default;
    virtual TargetFacts Target(HWND window) = 0;
    // Restores a minimised window without waiting for it, and asks for it to be in front.
    virtual void BringForward(HWND window) = 0;
    virtual HWND Foreground() = 0;
    // The modifier keys down now, as left/right virtual keys (VK_LSHIFT, VK_RMENU, ...).
    virtual std::vector<WORD> HeldModifiers() = 0;
    // Whether a program could open the clipboard now: none holds it open. A target whose paste
    // finds it held pastes nothing (an edit control gives up at once).
    virtual bool ClipboardFree() = 0;
    // Sends the keys in one go; returns how many the system took.
    virtual size_t Send(const KeyPlan& keys) = 0;
    virtual uint64_t NowMs() = 0;
};

// The real desktop.
PasteDesktop& WindowsDesktop();

// A window's facts as the paste-target rule reads them. Sends the window no message.
WindowFacts ReadWindowFacts(HWND window);

// How long the run waits: for the target to be in front, then for it to take its own focus
// back, for held modifiers to be let go (after that they are released by the paste keys), for
// another program to let go of the clipboard (clipboard history and other monitors open it for
// a moment after each change; after that the keys go all the same), and after the keys before
// "stay visible" takes the window back.
inline constexpr uint64_t kForegroundWaitMs = 300;
inline constexpr uint64_t kSettleMs = 50;
inline constexpr uint64_t kModifierWaitMs = 150;
inline constexpr uint64_t kClipboardWaitMs = 1000;
inline constexpr uint64_t kAfterKeysMs = 30;
// How often the main window moves a run on.
inline constexpr UINT kPasteTickMs = 10;

enum class PastePhase { Finished, AwaitForeground, AwaitKeys, AfterKeys };

struct PasteRun {
    HWND target = nullptr;
    KeyChord chord = kCtrlV;
    PastePhase phase = PastePhase::Finished;
    uint64_t since = 0; // when the phase began
    PasteOutcome outcome = PasteOutcome::Pasted;
};

// Starts a paste into `target` (null: none was remembered), with the key `pasteKeys` gives the
// target's program (Ctrl+V for any other). The run is finished at once when the target cannot
// take a paste.
PasteRun StartPaste(PasteDesktop& desktop, HWND target, const std::vector<PasteKeyRule>& pasteKeys = {});

// Moves an unfinished run on; call it every kPasteTickMs until its phase is Finished.
void AdvancePaste(PasteDesktop& desktop, PasteRun& run);
