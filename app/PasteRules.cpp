#include "app/PasteRules.h"

#include <algorithm>

namespace {

// Windows.UI.Core.CoreWindow is also the surface of every store app, but a store app's
// top-level window is its ApplicationFrameWindow: a top-level CoreWindow belongs to the shell
// (Start, Search, Win+V, the action centre) unless its process says otherwise.
bool IsShellHostProcess(std::wstring_view processName) {
    if (processName.empty())
        return true;
    for (std::wstring_view host : {L"explorer.exe", L"ShellExperienceHost.exe", L"StartMenuExperienceHost.exe",
                                   L"SearchHost.exe", L"SearchApp.exe", L"SearchUI.exe", L"TextInputHost.exe"})
        if (SameProgram(processName, host))
            return true;
    return false;
}

bool IsModifierOf(WORD vk, const KeyChord& chord) {
    switch (vk) {
    case VK_LCONTROL:
    case VK_RCONTROL:
        return chord.ctrl;
    case VK_LSHIFT:
    case VK_RSHIFT:
        return chord.shift;
    case VK_LMENU:
    case VK_RMENU:
        return chord.alt;
    default:
        return false; // the Windows keys are never part of a paste
    }
}

bool IsAltOrWin(WORD vk) {
    return vk == VK_LMENU || vk == VK_RMENU || vk == VK_LWIN || vk == VK_RWIN;
}

} // namespace

bool IsShellSurface(std::wstring_view className, std::wstring_view processName) {
    for (std::wstring_view shell :
         {L"Shell_TrayWnd", L"Shell_SecondaryTrayWnd", L"Progman", L"WorkerW", L"NotifyIconOverflowWindow",
          L"TopLevelWindowForOverflowXamlIsland", L"MultitaskingViewFrame", L"XamlExplorerHostIslandWindow"})
        if (className == shell)
            return true;
    return className == L"Windows.UI.Core.CoreWindow" && IsShellHostProcess(processName);
}

bool CanBePasteTarget(const WindowFacts& window) {
    if (window.ownProcess || !window.topLevel || !window.visible || !window.enabled || window.cloaked)
        return false;
    if ((window.exStyle & WS_EX_TOOLWINDOW) && !(window.exStyle & WS_EX_APPWINDOW))
        return false;
    return !IsShellSurface(window.className, window.processName);
}

PasteOutcome JudgePasteTarget(const TargetFacts& target) {
    if (!target.exists)
        return PasteOutcome::NoTarget;
    // A window on another virtual desktop is cloaked too: said as what it is.
    if (!target.onCurrentDesktop)
        return PasteOutcome::OtherDesktop;
    if (!CanBePasteTarget(target.window))
        return PasteOutcome::NoTarget;
    if (target.hung)
        return PasteOutcome::Hung;
    if (target.aboveOurIntegrity)
        return PasteOutcome::Elevated;
    return PasteOutcome::Pasted;
}

std::wstring PasteRefusalText(PasteOutcome outcome) {
    const wchar_t* why = L"";
    switch (outcome) {
    case PasteOutcome::Pasted:
        return std::wstring();
    case PasteOutcome::NoTarget:
        why = L"貼り付け先のウィンドウが見つかりません。";
        break;
    case PasteOutcome::Hung:
        why = L"貼り付け先のウィンドウが応答していません。";
        break;
    case PasteOutcome::OtherDesktop:
        why = L"貼り付け先のウィンドウは別の仮想デスクトップにあります。";
        break;
    case PasteOutcome::Elevated:
        why = L"貼り付け先のウィンドウは管理者として実行されているため、自動では貼り付けられません。";
        break;
    case PasteOutcome::NotInFront:
        why = L"貼り付け先のウィンドウを前面に出せませんでした。";
        break;
    case PasteOutcome::KeysRefused:
        why = L"キー入力を送れませんでした。";
        break;
    }
    return std::wstring(why) + L"テキストはクリップボードにあります。Ctrl+V で貼り付けてください。";
}

KeyChord ChordFor(PasteKey key) {
    switch (key) {
    case PasteKey::CtrlV:
        return kCtrlV;
    case PasteKey::ShiftInsert:
        return {false, true, false, VK_INSERT};
    case PasteKey::CtrlShiftV:
        return {true, true, false, 'V'};
    case PasteKey::AltV:
        return {false, false, true, 'V'};
    }
    return kCtrlV;
}

KeyPlan PasteKeys(const KeyChord& chord, const std::vector<WORD>& heldModifiers) {
    KeyPlan plan;
    std::vector<WORD> release;
    for (WORD vk : heldModifiers)
        if (!IsModifierOf(vk, chord) && std::find(release.begin(), release.end(), vk) == release.end())
            release.push_back(vk);
    if (std::any_of(release.begin(), release.end(), IsAltOrWin)) {
        plan.push_back({kMaskKey, false});
        plan.push_back({kMaskKey, true});
    }
    for (WORD vk : release)
        plan.push_back({vk, true});

    std::vector<WORD> modifiers;
    if (chord.ctrl)
        modifiers.push_back(VK_CONTROL);
    if (chord.shift)
        modifiers.push_back(VK_SHIFT);
    if (chord.alt)
        modifiers.push_back(VK_MENU);
    for (WORD vk : modifiers)
        plan.push_back({vk, false});
    plan.push_back({chord.key, false});
    plan.push_back({chord.key, true});
    for (auto vk = modifiers.rbegin(); vk != modifiers.rend(); ++vk)
        plan.push_back({*vk, true});
    return plan;
}

KeyPlan ReleasesAfterPartialSend(const KeyPlan& plan, size_t sent) {
    std::vector<WORD> down;
    for (size_t i = 0; i < sent && i < plan.size(); ++i) {
        const auto at = std::find(down.begin(), down.end(), plan[i].vk);
        if (!plan[i].up && at == down.end())
            down.push_back(plan[i].vk);
        else if (plan[i].up && at != down.end())
            down.erase(at);
    }
    KeyPlan releases;
    for (auto vk = down.rbegin(); vk != down.rend(); ++vk)
        releases.push_back({*vk, true});
    return releases;
}

bool IsExtendedKey(WORD vk) {
    switch (vk) {
    case VK_RCONTROL:
    case VK_RMENU:
    case VK_LWIN:
    case VK_RWIN:
    case VK_APPS:
    case VK_INSERT:
    case VK_DELETE:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
        return true;
    default:
        return false;
    }
}

const std::vector<PasteKeyRule>& PasteKeysInForce(const AppOptions& options) {
    return options.PasteKeysGiven ? options.PasteKeys : BuiltInPasteKeys();
}
