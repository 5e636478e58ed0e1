// The tabs put together: each part gets what it asks of the parts above it.
#include "tabs/TabsHost.h"

#include "tabs/TabFiles.h"
#include "tabs/TabLock.h"
#include "tabs/TabSettingsDialog.h"
#include "tabs/TabStrip.h"
#include "tabs/TabView.h"

void InitTabs(const TabsHost& host) {
    SetTabsHost(host);

    TabFilesCalls files;
    files.showTab = ShowTab;
    files.viewAnchor = ListViewAnchor;
    files.showTakenIn = ShowTakenInTab;
    InitTabFiles(files);

    TabStripCalls strip;
    strip.switchTo = SwitchToTab;
    strip.beginSeal = BeginTabEncryption;
    strip.relock = [](int t) { RelockTab(t); }; // a refusal has told the user itself
    strip.openSettings = [](int t, HWND owner) {
        OpenTabSettings(t, owner);
        FocusTabView(FocusCause::Show);
    };
    InitTabStrip(strip);
}
