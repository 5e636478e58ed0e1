#include "ui/Colours.h"

#include "ui/WinHandles.h"

ColourScheme CurrentColourScheme() {
    ColourScheme scheme;
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    scheme.highContrast = SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
                          (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
    if (scheme.highContrast) {
        SystemColours& c = scheme.system;
        c.window = GetSysColor(COLOR_WINDOW);
        c.windowText = GetSysColor(COLOR_WINDOWTEXT);
        c.highlight = GetSysColor(COLOR_HIGHLIGHT);
        c.highlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
        c.buttonFace = GetSysColor(COLOR_BTNFACE);
        c.buttonText = GetSysColor(COLOR_BTNTEXT);
        c.hotLight = GetSysColor(COLOR_HOTLIGHT);
    }
    return scheme;
}

HBRUSH ContentBackgroundBrush() {
    if (CurrentColourScheme().highContrast)
        return GetSysColorBrush(COLOR_WINDOW); // the system's own brush: never deleted
    static const UniqueBrush brush(CreateSolidBrush(kContentBackground));
    return brush.get();
}
