// The automatic paste as it runs: the remembered window is judged, brought to the front with
// SetForegroundWindow alone (the program puts its own focus back where the user left it) once the
// key or button that chose the entry is let go, and sent its paste keys once it is in front.
// Nothing waits on the window's thread: the run is moved on by a timer of the main window, and a
// target that stops answering is never sent a message. The desktop is reached through
// PasteDesktop, which the tests replace.
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
    // A key or mouse button other than a modifier is still down (the Enter, the digit or the
    // click that chose the entry): Windows sends its release to the window in front.
    virtual bool ChoosingInputDown() = 0;
    // How many times a program has read the text the paste put on the clipboard (written on
    // request: each read is known as it happens).
    virtual uint64_t ReadsOfOurText() = 0;
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

// How long the run waits: for the key or button that chose to be let go (nothing of it may reach
// the target: a chat would send the pasted text on the Enter's repeat), for the target to be in
// front, then for it to take its own focus back, for held modifiers to be let go (after that they
// are released by the paste keys), for another program to let go of the clipboard (clipboard
// history and other monitors open it for a moment after each change; after that the keys go all
// the same), and after the keys: a moment before the window hides, or, when "stay visible" takes
// the front back, until the target has read the text (a busy target reads its keys late, and
// deactivated before it has, it pastes nothing).
inline constexpr uint64_t kReleaseWaitMs = 1000;
inline constexpr uint64_t kForegroundWaitMs = 300;
inline constexpr uint64_t kSettleMs = 50;
inline constexpr uint64_t kModifierWaitMs = 150;
inline constexpr uint64_t kClipboardWaitMs = 1000;
inline constexpr uint64_t kAfterKeysMs = 30;
inline constexpr uint64_t kReadWaitMs = 1000;
// How often the main window moves a run on.
inline constexpr UINT kPasteTickMs = 10;

enum class PastePhase { Finished, AwaitRelease, AwaitForeground, AwaitKeys, AfterKeys };

struct PasteRun {
    HWND target = nullptr;
    KeyChord chord = kCtrlV;
    PastePhase phase = PastePhase::Finished;
    uint64_t since = 0; // when the phase began
    PasteOutcome outcome = PasteOutcome::Pasted;
    bool awaitRead = false;     // after the keys, wait until the target has read the text
    uint64_t readsBefore = 0;   // ReadsOfOurText when the keys went
};

// Starts a paste into `target` (null: none was remembered), with the key `pasteKeys` gives the
// target's program (Ctrl+V for any other). The run is finished at once when the target cannot
// take a paste. `awaitRead`: the front is taken back afterwards, so the run ends only once the
// target has read the text (or after kReadWaitMs).
PasteRun StartPaste(PasteDesktop& desktop, HWND target, const std::vector<PasteKeyRule>& pasteKeys = {},
                    bool awaitRead = false);

// Moves an unfinished run on; call it every kPasteTickMs until its phase is Finished.
void AdvancePaste(PasteDesktop& desktop, PasteRun& run);
