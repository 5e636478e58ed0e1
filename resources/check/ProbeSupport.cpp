// The resource probe's shared parts: reporting, and reading a loaded icon's pixels.
#include "ProbeSupport.h"

#include <cstdio>
#include <cwchar>

namespace {
int failures = 0;
} // namespace

void Print(const std::wstring& line) {
    std::wstring text = line + L"\n";
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], n, nullptr, nullptr);
    fwrite(utf8.data(), 1, utf8.size(), stdout);
    fflush(stdout);
}

void Report(bool ok, const wchar_t* what, const std::wstring& detail) {
    if (!ok) {
        ++failures;
    }
    Print(std::wstring(ok ? L"ok   " : L"FAIL ") + what + (detail.empty() ? L"" : L": ") + detail);
}

int Failures() {
    return failures;
}

std::wstring ExeDirectory() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L'\\'));
}

IconPixels ReadIcon(HICON icon) {
    IconPixels result;
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info)) {
        return result;
    }
    if (info.hbmColor) {
        BITMAP bm = {};
        GetObjectW(info.hbmColor, sizeof bm, &bm);
        result.width = bm.bmWidth;
        result.height = bm.bmHeight;
        result.bitsPerPixel = bm.bmBitsPixel;
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = bm.bmWidth;
        bi.bmiHeader.biHeight = -bm.bmHeight;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        result.bgra.resize(static_cast<size_t>(bm.bmWidth) * bm.bmHeight * 4);
        HDC dc = GetDC(nullptr);
        GetDIBits(dc, info.hbmColor, 0, bm.bmHeight, result.bgra.data(), &bi, DIB_RGB_COLORS);
        ReleaseDC(nullptr, dc);
        DeleteObject(info.hbmColor);
    }
    if (info.hbmMask) {
        DeleteObject(info.hbmMask);
    }
    return result;
}

void Dump(const std::wstring& dumpDir, const std::wstring& name, int size, const IconPixels& px) {
    if (dumpDir.empty()) {
        return;
    }
    std::wstring path = dumpDir + L"\\" + name + L"-" + std::to_wstring(size) + L".bgra";
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (f) {
        fwrite(px.bgra.data(), 1, px.bgra.size(), f);
        fclose(f);
    }
}

void CheckIcon(HICON icon, const std::wstring& what, int size, const std::wstring& dumpDir,
               const std::wstring& dumpName, bool smooth) {
    if (!icon) {
        Report(false, what.c_str(), L"not loaded");
        return;
    }
    IconPixels px = ReadIcon(icon);
    DestroyIcon(icon);
    int clear = 0, partial = 0, solid = 0;
    for (size_t i = 3; i < px.bgra.size(); i += 4) {
        unsigned char a = px.bgra[i];
        (a == 0 ? clear : a == 255 ? solid : partial)++;
    }
    wchar_t detail[160];
    swprintf(detail, 160, L"%dx%d, %d bpp, alpha clear/partial/solid %d/%d/%d", px.width, px.height, px.bitsPerPixel,
             clear, partial, solid);
    bool ok = px.width == size && px.height == size && px.bitsPerPixel == 32 && clear > 0 && (partial > 0 || !smooth) &&
              solid + partial > 0;
    Report(ok, what.c_str(), detail);
    Dump(dumpDir, dumpName, size, px);
}

HBITMAP MakeDib(HDC dc, int width, int height, void*& bits) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height; // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    bits = nullptr;
    return dc ? CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
}
