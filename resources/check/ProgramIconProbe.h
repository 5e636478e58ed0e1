// Icon 201 as Windows uses it: the frame it takes at each size the shell asks for, and how the
// icon stands out on a light and on a dark taskbar.
#ifndef NOMACLIP_PROGRAM_ICON_PROBE_H
#define NOMACLIP_PROGRAM_ICON_PROBE_H

#include <string>

// At 16, 20, 24, 32, 40, 48, 64 and 256 px the icon group offers a 32-bit frame of exactly that
// size and LoadImageW loads it (its pixels go to DUMP_DIR\app-<size>.bgra).
void CheckProgramIconFrames(const std::wstring& dumpDir);

// Draws the icon at every size with DrawIconEx onto a light and a dark taskbar strip. Fails where
// the drawing is not the icon blended over the strip, or where the icon does not stand out from
// it. With a dump folder the picture goes to DUMP_DIR\tray-icon.bmp.
void CheckProgramIconOnTaskbars(const std::wstring& dumpDir);

#endif
