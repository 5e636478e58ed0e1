#include "tabs/TabContext.h"

namespace {

TabsHost g_host;

} // namespace

void SetTabsHost(const TabsHost& host) {
    g_host = host;
}

const TabsHost& Host() {
    return g_host;
}

AppState& State() {
    return *g_host.state;
}

ViewState& View() {
    return *g_host.view;
}

bool IsSealed(int t) {
    return t >= 0 && t < kTabCount && g_host.state && g_host.state->tabs[t].encrypted;
}
