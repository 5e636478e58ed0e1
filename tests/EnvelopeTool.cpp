// Test-support tool for the envelope interop check; never shipped.
//   envelope_tool seal PASSWORD_FILE TEXT_FILE      writes the envelope to standard output
//   envelope_tool open PASSWORD_FILE ENVELOPE_FILE  writes the text as UTF-8 to standard output
// Files are UTF-8 without a byte order mark and are taken byte for byte: nothing is trimmed and
// line ends are left alone, so the other side controls every code unit.
// Exit codes: 0 done; 1 the envelope does not open (or sealing failed), nothing written;
// 2 usage error (argument count, verb, unreadable or non-UTF-8 file); 3 standard output failed.
#include "crypto/Envelope.h"
#include "core/UniqueHandles.h"

#include <fcntl.h>
#include <io.h>

#include <climits>
#include <cstdio>
#include <string>

namespace {

enum ExitCode { kDone = 0, kNotOpened = 1, kUsage = 2, kOutputFailed = 3 };

template <class Buffer> void Wipe(Buffer& buffer) {
    if (!buffer.empty())
        SecureZeroMemory(&buffer[0], buffer.size() * sizeof(buffer[0]));
}

bool ReadUtf8File(const wchar_t* path, std::wstring& text) {
    UniqueHandle file = MakeUniqueFileHandle(
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > INT_MAX)
        return false;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD done = 0;
    for (DWORD got = 0; done < bytes.size(); done += got) {
        if (!ReadFile(file.get(), &bytes[done], static_cast<DWORD>(bytes.size() - done), &got, nullptr) || got == 0)
            break;
    }
    bool ok = done == bytes.size();
    text.clear();
    if (ok && !bytes.empty()) {
        const int length = static_cast<int>(bytes.size());
        const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
        ok = units > 0;
        if (ok) {
            text.resize(static_cast<size_t>(units));
            ok = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), length, &text[0], units) == units;
        }
    }
    Wipe(bytes); // may hold the password or the plain text
    return ok;
}

bool WriteUtf8(const std::wstring& text) {
    std::string bytes;
    if (!text.empty()) {
        const int length = static_cast<int>(text.size());
        const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
        if (size <= 0)
            return false;
        bytes.resize(static_cast<size_t>(size));
        WideCharToMultiByte(CP_UTF8, 0, text.data(), length, &bytes[0], size, nullptr, nullptr);
    }
    const bool ok = fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && fflush(stdout) == 0;
    Wipe(bytes);
    return ok;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    // No CRLF translation: the other side compares the bytes.
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc != 4)
        return kUsage;
    const std::wstring verb = argv[1];
    if (verb != L"seal" && verb != L"open")
        return kUsage;
    std::wstring password;
    std::wstring input;
    std::wstring output;
    const bool read = ReadUtf8File(argv[2], password) && ReadUtf8File(argv[3], input);
    bool done = false;
    if (!read) {
        // reported as a usage error below
    } else if (verb == L"seal") {
        output = EncryptText(input, password);
        done = !output.empty();
    } else {
        done = OpenEnvelope(input, password, output);
    }
    int code = read ? kNotOpened : kUsage;
    if (done)
        code = WriteUtf8(output) ? kDone : kOutputFailed;
    Wipe(password);
    Wipe(input);
    Wipe(output);
    return code;
}
