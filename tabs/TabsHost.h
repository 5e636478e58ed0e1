// The tabs as the window meets them: it hands them what they work on once, when it is made.
// The top of the folder, which puts its parts together.
#pragma once

#include "tabs/TabContext.h"

// Keeps `host` for every part of the tabs and gives each part what it asks of the parts above
// it (the strip its menu commands and its clicks, the files the view that shows a tab read
// again). Called before the tab view and the strip are created.
void InitTabs(const TabsHost& host);
