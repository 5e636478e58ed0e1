// Icon 201: the frames Windows picks, and the icon drawn on a light and a dark taskbar.
#include "ProgramIconProbe.h"

#include "ProbeSupport.h"
#include "resource.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

namespace {

// The tray shows 16, 20, 24 or 32 px (100 to 200 % scale), Explorer 32, 40, 48, 64 or 256 px.
const int kSizes[] = {16, 20, 24, 32, 40, 48, 64, 256};
const int kTraySizes[] = {16, 20, 24, 32};

struct Frame {
    int id = 0;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    bool png = false;
};

int BigEndian32(const unsigned char* p) {
    return static_cast<int>((static_cast<unsigned>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]);
}

// The frame of icon 201 that Windows takes for a SIZE x SIZE request (LoadImageW makes the same
// choice), measured from the stored image itself rather than from the group's directory.
Frame ChosenFrame(int size) {
    Frame frame;
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(IDI_APP), MAKEINTRESOURCEW(14)); // RT_GROUP_ICON
    if (!group) {
        return frame;
    }
    auto* directory = static_cast<PBYTE>(LockResource(LoadResource(module, group)));
    frame.id = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
    HRSRC image =
        frame.id ? FindResourceW(module, MAKEINTRESOURCEW(frame.id), MAKEINTRESOURCEW(3)) : nullptr; // RT_ICON
    if (!image) {
        return frame;
    }
    const auto* p = static_cast<const unsigned char*>(LockResource(LoadResource(module, image)));
    const DWORD length = SizeofResource(module, image);
    static const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (length >= 33 && std::memcmp(p, kPngSignature, 8) == 0 && std::memcmp(p + 12, "IHDR", 4) == 0) {
        frame.png = true;
        frame.width = BigEndian32(p + 16);
        frame.height = BigEndian32(p + 20);
        const int depth = p[24], colourType = p[25];
        const int channels = colourType == 6 ? 4 : colourType == 2 ? 3 : colourType == 4 ? 2 : 1;
        frame.bitsPerPixel = depth * channels;
    } else if (length >= sizeof(BITMAPINFOHEADER)) {
        BITMAPINFOHEADER header;
        std::memcpy(&header, p, sizeof header);
        frame.width = header.biWidth;
        frame.height = header.biHeight / 2; // the colour rows, then the mask's
        frame.bitsPerPixel = header.biBitCount;
    }
    return frame;
}

HICON LoadProgramIcon(int size) {
    return static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP), IMAGE_ICON, size, size, 0));
}

// Windows 11's taskbar in light and in dark mode.
struct Taskbar {
    const wchar_t* name;
    int r, g, b;
};
const Taskbar kTaskbars[] = {{L"light", 243, 243, 243}, {L"dark", 32, 32, 32}};

int Luma(int r, int g, int b) {
    return (299 * r + 587 * g + 114 * b + 500) / 1000;
}

// A quarter of the brightness range: the dark grey stroke (75) on the dark taskbar (32) differs by
// 43 and is lost at tray size; white on the light one (243) by 12.
const int kClearDifference = 64;
// The icon's body: pixels at least three quarters opaque. A softer edge (anti-aliasing, a
// see-through outline) is what helps the body stand out, not the body itself.
const int kBodyAlpha = 192;
// Enough of the body stands out to read as a picture, and nearly all of its outline has, on it or
// right beside it, something that stands out, so the shape keeps its silhouette.
const int kBodyPercent = 25;
const int kOutlinePercent = 90;

struct Contrast {
    int body = 0;        // pixels of the body
    int standing = 0;    // of them, drawn clearly unlike the taskbar
    int outline = 0;     // pixels of the body with a 4-neighbour outside it
    int outlineSeen = 0; // of them, with a clearly unlike pixel within one pixel
    int worstBlend = 0;  // largest difference from the icon blended over the taskbar
};

// ICON is the loaded image, DRAWN what DrawIconEx made of it over the taskbar: ICON.width square,
// STRIDE bytes per row of DRAWN.
Contrast Measure(const IconPixels& icon, const unsigned char* drawn, int stride, const Taskbar& taskbar) {
    Contrast c;
    const int n = icon.width;
    const int background = Luma(taskbar.r, taskbar.g, taskbar.b);
    auto pixel = [&](int x, int y) { return drawn + y * stride + x * 4; };
    auto alpha = [&](int x, int y) { return icon.bgra[(static_cast<size_t>(y) * n + x) * 4 + 3]; };
    auto inBody = [&](int x, int y) { return x >= 0 && y >= 0 && x < n && y < n && alpha(x, y) >= kBodyAlpha; };
    auto clear = [&](int x, int y) {
        const unsigned char* p = pixel(x, y);
        return std::abs(Luma(p[2], p[1], p[0]) - background) >= kClearDifference;
    };
    const int strip[3] = {taskbar.b, taskbar.g, taskbar.r};
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const unsigned char* src = &icon.bgra[(static_cast<size_t>(y) * n + x) * 4];
            for (int ch = 0; ch < 3; ++ch) {
                const int want = (src[ch] * src[3] + strip[ch] * (255 - src[3]) + 127) / 255;
                const int diff = std::abs(want - pixel(x, y)[ch]);
                c.worstBlend = diff > c.worstBlend ? diff : c.worstBlend;
            }
            if (!inBody(x, y)) {
                continue;
            }
            ++c.body;
            c.standing += clear(x, y) ? 1 : 0;
            if (inBody(x - 1, y) && inBody(x + 1, y) && inBody(x, y - 1) && inBody(x, y + 1)) {
                continue;
            }
            ++c.outline;
            bool seen = false;
            for (int dy = -1; dy <= 1 && !seen; ++dy) {
                for (int dx = -1; dx <= 1 && !seen; ++dx) {
                    const int xx = x + dx, yy = y + dy;
                    seen = xx >= 0 && yy >= 0 && xx < n && yy < n && clear(xx, yy);
                }
            }
            c.outlineSeen += seen ? 1 : 0;
        }
    }
    return c;
}

int Percent(int part, int whole) {
    return whole ? part * 100 / whole : 0;
}

// One strip per taskbar, one above the other: the 256 px icon on the left; to its right the tray
// sizes enlarged four times (whole pixels, as Windows drew them) and below them every other size
// at its own size, on a common base line.
const int kMargin = 16;
const int kGap = 12;
const int kZoom = 4;
const int kStripHeight = kMargin + 256 + kMargin;

struct Placement {
    int x, y;
};

Placement IconPlace(int size) {
    if (size == 256) {
        return {kMargin, kMargin};
    }
    int x = kMargin + 256 + kMargin;
    for (int s : kSizes) {
        if (s == size) {
            break;
        }
        x += s + kGap;
    }
    return {x, kStripHeight - kMargin - size};
}

Placement ZoomPlace(int size) {
    int x = kMargin + 256 + kMargin;
    for (int s : kTraySizes) {
        if (s == size) {
            break;
        }
        x += s * kZoom + kGap;
    }
    return {x, kMargin + 32 * kZoom - size * kZoom};
}

int PictureWidth() {
    return ZoomPlace(32).x + 32 * kZoom + kMargin;
}

bool WriteBmp(const std::wstring& path, const unsigned char* bgra, int width, int height) {
    const int rowBytes = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(rowBytes) * height;
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height; // bottom-up
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) {
        return false;
    }
    bool ok = fwrite(&file, sizeof file, 1, f) == 1 && fwrite(&info, sizeof info, 1, f) == 1;
    std::vector<unsigned char> row(static_cast<size_t>(rowBytes), 0);
    for (int y = height - 1; ok && y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            std::memcpy(&row[static_cast<size_t>(x) * 3], bgra + (static_cast<size_t>(y) * width + x) * 4, 3);
        }
        ok = fwrite(row.data(), 1, row.size(), f) == row.size();
    }
    return fclose(f) == 0 && ok;
}

} // namespace

void CheckProgramIconFrames(const std::wstring& dumpDir) {
    for (int size : kSizes) {
        const std::wstring at = std::to_wstring(size);
        const Frame frame = ChosenFrame(size);
        wchar_t detail[120];
        swprintf(detail, 120, L"takes frame %d, %dx%d, %d bpp%ls", frame.id, frame.width, frame.height,
                 frame.bitsPerPixel, frame.png ? L" (PNG)" : L"");
        Report(frame.width == size && frame.height == size && frame.bitsPerPixel == 32,
               (L"icon 201 asked for " + at + L" px").c_str(), detail);
        // Every frame, the pixel-set ones too, has a partly transparent edge.
        CheckIcon(LoadProgramIcon(size), L"icon 201 at " + at, size, dumpDir, L"app");
    }
    HICON shared = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP));
    Report(shared != nullptr, L"LoadIconW of icon 201");
}

void CheckProgramIconOnTaskbars(const std::wstring& dumpDir) {
    const int width = PictureWidth();
    const int height = kStripHeight * 2;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = MakeDib(dc, width, height, bits);
    if (!dc || !dib) {
        Report(false, L"picture of icon 201 on the taskbars", L"no DIB section");
        if (dc) {
            DeleteDC(dc);
        }
        return;
    }
    HGDIOBJ old = SelectObject(dc, dib);
    SetStretchBltMode(dc, COLORONCOLOR); // enlarge by whole pixels
    const auto* picture = static_cast<const unsigned char*>(bits);
    const int stride = width * 4;

    for (int t = 0; t < 2; ++t) {
        const Taskbar& taskbar = kTaskbars[t];
        const int top = t * kStripHeight;
        HBRUSH brush = CreateSolidBrush(RGB(taskbar.r, taskbar.g, taskbar.b));
        const RECT strip = {0, top, width, top + kStripHeight};
        FillRect(dc, &strip, brush);
        DeleteObject(brush);
        for (int size : kSizes) {
            const std::wstring what =
                L"icon 201 at " + std::to_wstring(size) + L" px on the " + taskbar.name + L" taskbar";
            HICON icon = LoadProgramIcon(size);
            const IconPixels source = icon ? ReadIcon(icon) : IconPixels();
            const Placement at = IconPlace(size);
            const bool drawn = icon && DrawIconEx(dc, at.x, top + at.y, icon, size, size, 0, nullptr, DI_NORMAL);
            if (icon) {
                DestroyIcon(icon);
            }
            GdiFlush();
            if (!drawn || source.width != size || source.height != size) {
                Report(false, what.c_str(), L"not drawn");
                continue;
            }
            const Contrast c =
                Measure(source, picture + static_cast<size_t>(top + at.y) * stride + at.x * 4, stride, taskbar);
            wchar_t detail[200];
            swprintf(detail, 200, L"%d%% of its body stands out, %d%% of its outline; drawn as blended within %d",
                     Percent(c.standing, c.body), Percent(c.outlineSeen, c.outline), c.worstBlend);
            Report(c.body > 0 && Percent(c.standing, c.body) >= kBodyPercent &&
                       Percent(c.outlineSeen, c.outline) >= kOutlinePercent && c.worstBlend <= 3,
                   what.c_str(), detail);
        }
        for (int size : kTraySizes) {
            const Placement from = IconPlace(size), to = ZoomPlace(size);
            StretchBlt(dc, to.x, top + to.y, size * kZoom, size * kZoom, dc, from.x, top + from.y, size, size, SRCCOPY);
        }
    }
    GdiFlush();
    if (!dumpDir.empty()) {
        Report(WriteBmp(dumpDir + L"\\tray-icon.bmp", picture, width, height), L"picture tray-icon.bmp written");
    }
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
}
