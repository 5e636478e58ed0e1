// What the resource probe's checks share: one line per result, the executable's folder, and the
// pixels of a loaded icon.
#ifndef NOMACLIP_PROBE_SUPPORT_H
#define NOMACLIP_PROBE_SUPPORT_H

#include <windows.h>

#include <string>
#include <vector>

// One line to standard output in UTF-8, whatever the console's code page.
void Print(const std::wstring& line);

// "ok   WHAT: DETAIL" or "FAIL WHAT: DETAIL"; a failure counts towards the probe's exit code.
void Report(bool ok, const wchar_t* what, const std::wstring& detail = std::wstring());
int Failures();

std::wstring ExeDirectory();

struct IconPixels {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    std::vector<unsigned char> bgra; // top-down rows, alpha not premultiplied
};

IconPixels ReadIcon(HICON icon);

// Writes the pixels as DUMP_DIR\NAME-SIZE.bgra; nothing without a dump folder.
void Dump(const std::wstring& dumpDir, const std::wstring& name, int size, const IconPixels& px);

// The icon is SIZE x SIZE, 32 bits deep, and its alpha channel is really used: some pixels are
// fully transparent and, for a smoothed drawing, some are partly transparent. Takes the icon.
void CheckIcon(HICON icon, const std::wstring& what, int size, const std::wstring& dumpDir,
               const std::wstring& dumpName, bool smooth = true);

// A top-down 32-bit DIB section of width x height; null when it could not be made. `bits` gets
// its pixels (BGRA rows).
HBITMAP MakeDib(HDC dc, int width, int height, void*& bits);

#endif
