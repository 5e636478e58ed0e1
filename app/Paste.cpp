#include "app/Paste.h"

#include "app/App.h"
#include "app/ClipboardWrite.h"
#include "app/Programs.h"
#include "ui/Keys.h"
#include "core/UniqueHandles.h"

#include <dwmapi.h>
#include <shobjidl.h>

namespace {

void Finish(PasteRun& run, PasteOutcome outcome) {
    run.phase = PastePhase::Finished;
    run.outcome = outcome;
}

void Enter(PasteRun& run, PastePhase phase, uint64_t now) {
    run.phase = phase;
    run.since = now;
}

// ---- facts from Windows ------------------------------------------------------------------

// dwmapi.dll is no KnownDLL: loaded from the system folder only, never from beside the exe.
using DwmGetWindowAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD);

DwmGetWindowAttributeFn DwmAttributeReader() {
    static const DwmGetWindowAttributeFn reader = [] {
        const HMODULE dwm = LoadLibraryExW(L"dwmapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        const FARPROC address = dwm ? GetProcAddress(dwm, "DwmGetWindowAttribute") : nullptr;
        return reinterpret_cast<DwmGetWindowAttributeFn>(reinterpret_cast<void (*)()>(address));
    }();
    return reader;
}

bool IsCloaked(HWND window) {
    const DwmGetWindowAttributeFn read = DwmAttributeReader();
    DWORD cloaked = 0;
    return read && SUCCEEDED(read(window, DWMWA_CLOAKED, &cloaked, sizeof(cloaked))) && cloaked != 0;
}

// The mandatory integrity level of a process (its token's label RID); false when unreadable.
bool IntegrityLevel(HANDLE process, DWORD& level) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token))
        return false;
    const UniqueHandle owned(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
    if (size == 0)
        return false;
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size))
        return false;
    const auto* label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data());
    const UCHAR count = *GetSidSubAuthorityCount(label->Label.Sid);
    if (count == 0)
        return false;
    level = *GetSidSubAuthority(label->Label.Sid, count - 1u);
    return true;
}

// Windows drops input sent to a process of a higher integrity level without a word (UIPI). A
// process we may not even look into counts as higher.
bool AboveOurIntegrity(DWORD processId) {
    DWORD ours = 0, theirs = 0;
    if (!IntegrityLevel(GetCurrentProcess(), ours))
        return false; // nothing to compare with: Windows would tell the same about the target
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process || !IntegrityLevel(process.get(), theirs))
        return true;
    return theirs > ours;
}

// The virtual-desktop manager of the shell; the window counts as on this desktop when the
// shell cannot tell (no such shell, as under Wine, or a window it does not track).
bool OnCurrentVirtualDesktop(HWND window) {
    static const CLSID kVirtualDesktopManager = {
        0xaa509086, 0x5ca9, 0x4c25, {0x8f, 0x95, 0x58, 0x9d, 0x3c, 0x07, 0xb4, 0x8a}};
    static const IID kIVirtualDesktopManager = {
        0xa5cd92ff, 0x29be, 0x454c, {0x8d, 0x04, 0xd8, 0x28, 0x79, 0xfb, 0x3f, 0x1b}};
    IVirtualDesktopManager* manager = nullptr;
    if (FAILED(CoCreateInstance(kVirtualDesktopManager, nullptr, CLSCTX_ALL, kIVirtualDesktopManager,
                                reinterpret_cast<void**>(&manager))) ||
        !manager)
        return true;
    BOOL onCurrent = TRUE;
    const HRESULT result = manager->IsWindowOnCurrentVirtualDesktop(window, &onCurrent);
    manager->Release();
    return FAILED(result) || onCurrent != FALSE;
}

class Win32Desktop final : public PasteDesktop {
public:
    TargetFacts Target(HWND window) override {
        TargetFacts facts;
        facts.exists = window && IsWindow(window);
        if (!facts.exists)
            return facts;
        facts.window = ReadWindowFacts(window);
        facts.hung = IsHungAppWindow(window) != FALSE;
        facts.onCurrentDesktop = OnCurrentVirtualDesktop(window);
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        facts.aboveOurIntegrity = AboveOurIntegrity(processId);
        return facts;
    }

    void BringForward(HWND window) override {
        if (IsIconic(window))
            ShowWindowAsync(window, SW_RESTORE); // posted: a target that stops answering holds up nothing
        SetForegroundWindow(window);
    }

    HWND Foreground() override { return GetForegroundWindow(); }

    bool ChoosingInputDown() override {
        for (int vk = 1; vk < 0xFF; ++vk)
            if (!IsModifierKey(static_cast<UINT>(vk)) && GetAsyncKeyState(vk) < 0)
                return true;
        return false;
    }

    uint64_t ReadsOfOurText() override { return ::ReadsOfOurText(); }

    bool ClipboardFree() override {
        // Opening and closing it unchanged tells no one: no clipboard update follows. Opened for
        // our window: Wine lets OpenClipboard(NULL) succeed beside another program's.
        if (!OpenClipboard(MainWindowHandle()))
            return false;
        CloseClipboard();
        return true;
    }

    std::vector<WORD> HeldModifiers() override {
        std::vector<WORD> held;
        for (WORD vk : {VK_LSHIFT, VK_RSHIFT, VK_LCONTROL, VK_RCONTROL, VK_LMENU, VK_RMENU, VK_LWIN, VK_RWIN})
            if (GetAsyncKeyState(vk) < 0)
                held.push_back(vk);
        return held;
    }

    size_t Send(const KeyPlan& keys) override {
        std::vector<INPUT> inputs;
        for (const KeyStroke& stroke : keys) {
            INPUT input = {};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = stroke.vk;
            input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(stroke.vk, MAPVK_VK_TO_VSC));
            input.ki.dwFlags =
                (stroke.up ? KEYEVENTF_KEYUP : 0) | (IsExtendedKey(stroke.vk) ? KEYEVENTF_EXTENDEDKEY : 0);
            inputs.push_back(input);
        }
        if (inputs.empty())
            return 0;
        return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    }

    uint64_t NowMs() override { return GetTickCount64(); }
};

} // namespace

PasteDesktop& WindowsDesktop() {
    static Win32Desktop desktop;
    return desktop;
}

WindowFacts ReadWindowFacts(HWND window) {
    WindowFacts facts;
    wchar_t className[257] = {};
    GetClassNameW(window, className, 256);
    facts.className = className;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    facts.ownProcess = processId == 0 || processId == GetCurrentProcessId();
    if (!facts.ownProcess)
        facts.processName = ProcessFileName(processId);
    facts.topLevel = GetAncestor(window, GA_ROOT) == window;
    facts.visible = IsWindowVisible(window) != FALSE;
    facts.enabled = IsWindowEnabled(window) != FALSE;
    facts.cloaked = IsCloaked(window);
    facts.exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    return facts;
}

// ---- the run -------------------------------------------------------------------------------

PasteRun StartPaste(PasteDesktop& desktop, HWND target, const std::vector<PasteKeyRule>& pasteKeys,
                    bool awaitRead) {
    PasteRun run;
    run.target = target;
    run.awaitRead = awaitRead;
    const TargetFacts facts = desktop.Target(target);
    run.chord = ChordFor(PasteKeyFor(pasteKeys, facts.window.processName));
    const PasteOutcome verdict = JudgePasteTarget(facts);
    if (verdict != PasteOutcome::Pasted) {
        Finish(run, verdict);
        return run;
    }
    Enter(run, PastePhase::AwaitRelease, desktop.NowMs());
    AdvancePaste(desktop, run);
    return run;
}

void AdvancePaste(PasteDesktop& desktop, PasteRun& run) {
    const uint64_t now = desktop.NowMs();
    const uint64_t waited = now - run.since;
    switch (run.phase) {
    case PastePhase::Finished:
        return;
    case PastePhase::AwaitRelease:
        // Brought forward while the key is down, the target would get its release, and its
        // repeats after the paste keys.
        if (waited < kReleaseWaitMs && desktop.ChoosingInputDown())
            return;
        desktop.BringForward(run.target);
        Enter(run, PastePhase::AwaitForeground, now);
        AdvancePaste(desktop, run); // most often it is in front at once
        return;
    case PastePhase::AwaitForeground:
        if (desktop.Foreground() == run.target)
            Enter(run, PastePhase::AwaitKeys, now);
        else if (waited >= kForegroundWaitMs)
            Finish(run, desktop.Target(run.target).exists ? PasteOutcome::NotInFront : PasteOutcome::NoTarget);
        return;
    case PastePhase::AwaitKeys: {
        if (waited < kSettleMs)
            return;
        const std::vector<WORD> held = desktop.HeldModifiers();
        if (!held.empty() && waited < kSettleMs + kModifierWaitMs)
            return;
        if (waited < kSettleMs + kClipboardWaitMs && !desktop.ClipboardFree())
            return;
        // The user may have clicked elsewhere meanwhile: the keys go nowhere but the target.
        if (desktop.Foreground() != run.target) {
            Finish(run, PasteOutcome::NotInFront);
            return;
        }
        const KeyPlan keys = PasteKeys(run.chord, held);
        const size_t sent = desktop.Send(keys);
        if (sent != keys.size()) {
            desktop.Send(ReleasesAfterPartialSend(keys, sent));
            Finish(run, PasteOutcome::KeysRefused);
            return;
        }
        run.readsBefore = desktop.ReadsOfOurText();
        Enter(run, PastePhase::AfterKeys, now);
        return;
    }
    case PastePhase::AfterKeys:
        if (run.awaitRead ? desktop.ReadsOfOurText() > run.readsBefore || waited >= kReadWaitMs
                          : waited >= kAfterKeysMs)
            Finish(run, PasteOutcome::Pasted);
        return;
    }
}
