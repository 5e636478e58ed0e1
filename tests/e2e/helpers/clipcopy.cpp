// clipcopy: puts a text on the clipboard the way another application would, for the
// end-to-end tests. The text is given as hex-encoded UTF-8 so that no locale stands between
// the test and the program. Optional markers are added in the same clipboard session, as
// password managers and the Windows screenshot tools do:
//
//   clipcopy [--exclude-monitor] [--viewer-ignore] [--history-dword N] [--history-malformed]
//            (--hex UTF8HEX | --text ASCII)
//
// Exit code 0 when the clipboard was written, 2 on bad arguments, 3 when it could not be.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool HexToBytes(const char* hex, std::string& out) {
    const size_t n = std::strlen(hex);
    if (n % 2 != 0)
        return false;
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    for (size_t i = 0; i < n; i += 2) {
        const int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out.push_back(static_cast<char>(hi * 16 + lo));
    }
    return true;
}

std::wstring Utf8ToWide(const std::string& s) {
    if (s.empty())
        return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

// Moveable global memory holding the bytes; null on failure.
HGLOBAL MakeGlobal(const void* data, size_t size) {
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, size == 0 ? 1 : size);
    if (!mem)
        return nullptr;
    void* p = GlobalLock(mem);
    if (!p) {
        GlobalFree(mem);
        return nullptr;
    }
    if (size)
        std::memcpy(p, data, size);
    GlobalUnlock(mem);
    return mem;
}

bool Put(UINT format, const void* data, size_t size) {
    HGLOBAL mem = MakeGlobal(data, size);
    if (!mem)
        return false;
    if (!SetClipboardData(format, mem)) {
        GlobalFree(mem);
        return false;
    }
    return true;
}

struct Marker {
    const wchar_t* name;
    std::vector<unsigned char> bytes;
};

} // namespace

int main(int argc, char** argv) {
    std::string utf8;
    bool haveText = false;
    std::vector<Marker> markers;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--hex" && i + 1 < argc) {
            if (!HexToBytes(argv[++i], utf8)) {
                std::fprintf(stderr, "clipcopy: bad hex\n");
                return 2;
            }
            haveText = true;
        } else if (a == "--text" && i + 1 < argc) {
            utf8 = argv[++i];
            haveText = true;
        } else if (a == "--exclude-monitor") {
            markers.push_back({L"ExcludeClipboardContentFromMonitorProcessing", {0}});
        } else if (a == "--viewer-ignore") {
            markers.push_back({L"Clipboard Viewer Ignore", {0}});
        } else if (a == "--history-dword" && i + 1 < argc) {
            const DWORD v = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
            const auto* b = reinterpret_cast<const unsigned char*>(&v);
            markers.push_back({L"CanIncludeInClipboardHistory", {b, b + sizeof v}});
        } else if (a == "--history-malformed") {
            // Two bytes where a DWORD belongs.
            markers.push_back({L"CanIncludeInClipboardHistory", {1, 0}});
        } else {
            std::fprintf(stderr, "clipcopy: unknown argument %s\n", a.c_str());
            return 2;
        }
    }
    if (!haveText) {
        std::fprintf(stderr, "clipcopy: no text\n");
        return 2;
    }
    const std::wstring text = Utf8ToWide(utf8);

    // A clipboard opened without a window has no owner, and SetClipboardData may then fail.
    HWND owner = CreateWindowExW(0, L"STATIC", L"clipcopy", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);

    // The program under test opens the clipboard briefly on every change; wait for it.
    bool open = false;
    for (int attempt = 0; attempt < 200 && !open; ++attempt) {
        open = OpenClipboard(owner) != FALSE;
        if (!open)
            Sleep(10);
    }
    if (!open) {
        std::fprintf(stderr, "clipcopy: OpenClipboard failed (%lu)\n", GetLastError());
        return 3;
    }
    bool ok = EmptyClipboard() != FALSE;
    ok = ok && Put(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    for (const Marker& m : markers) {
        const UINT format = RegisterClipboardFormatW(m.name);
        ok = ok && format != 0 && Put(format, m.bytes.data(), m.bytes.size());
    }
    CloseClipboard();
    if (owner)
        DestroyWindow(owner);
    if (!ok) {
        std::fprintf(stderr, "clipcopy: writing the clipboard failed (%lu)\n", GetLastError());
        return 3;
    }
    return 0;
}
