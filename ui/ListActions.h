// What the user does with the item list: choosing, keys, the context menu, deleting, locking,
// editing, creating and dragging rows.
#pragma once

#include <windows.h>
