#include "storage/TextFile.h"

#include "core/UniqueHandles.h"

#include <windows.h>

#include <climits>
#include <iterator>
#include <vector>

std::wstring GetAppDirectory() {
    // Grow the buffer until the whole path fits: a cut path would name another folder.
    std::vector<wchar_t> buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0)
            return std::wstring();
        if (length < size)
            break;
        if (buffer.size() >= 32768)
            return std::wstring();
        buffer.assign(buffer.size() * 2, L'\0');
    }
    std::wstring path(buffer.data());
    const size_t separator = path.find_last_of(L"\\/");
    if (separator == std::wstring::npos)
        return path;
    return path.substr(0, separator);
}

std::wstring DataFilePath(std::wstring_view name) {
    std::wstring path = GetAppDirectory();
    path += L'\\';
    path.append(name);
    return path;
}

namespace {

// Forces the file's data out of the system cache. A same-volume move does not, and after
// a power cut such a file can come back full of zero bytes.
bool FlushToDisk(const std::wstring& path) {
    UniqueHandle file = MakeUniqueFileHandle(CreateFileW(path.c_str(), GENERIC_WRITE,
                                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && FlushFileBuffers(file.get());
}

// Virus scanners and indexers hold fresh files for a moment; such a move is worth retrying.
bool MoveOverTarget(const std::wstring& from, const std::wstring& to) {
    constexpr int kAttempts = 10;
    constexpr DWORD kPauseMs = 50;
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = GetLastError();
        const bool transient = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
        if (!transient || attempt + 1 >= kAttempts)
            return false;
        Sleep(kPauseMs);
    }
}

} // namespace

bool SafeWriteFile(const std::wstring& path, const FileWriter& writer) {
    const std::wstring temporary = path + L".tmp";
    bool written = false;
    {
        // The C runtime opens with full sharing, so an editor holding the file open
        // does not stop the write.
        std::ofstream stream(temporary.c_str(), std::ios::out | std::ios::trunc | std::ios::binary);
        if (!stream.is_open())
            return false;
        written = writer(stream);
        stream.close();
        // A disk that filled up while writing leaves a failed stream: that short file
        // must never replace the good one.
        written = written && !stream.fail();
    }
    if (!written || !FlushToDisk(temporary) || !MoveOverTarget(temporary, path)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

std::string_view TrimTrailingControl(std::string_view bytes) {
    size_t end = bytes.size();
    while (end > 0 && static_cast<unsigned char>(bytes[end - 1]) < 33)
        --end;
    return bytes.substr(0, end);
}

namespace {

std::wstring Decode(UINT codePage, DWORD flags, std::string_view bytes) {
    if (bytes.empty() || bytes.size() > static_cast<size_t>(INT_MAX))
        return std::wstring();
    const int inLength = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(codePage, flags, bytes.data(), inLength, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring text(static_cast<size_t>(length), L'\0');
    if (MultiByteToWideChar(codePage, flags, bytes.data(), inLength, text.data(), length) != length)
        return std::wstring();
    return text;
}

} // namespace

std::wstring FromUtf8(std::string_view bytes) {
    return Decode(CP_UTF8, 0, bytes);
}

std::string ToUtf8(std::wstring_view text) {
    if (text.empty() || text.size() > static_cast<size_t>(INT_MAX))
        return std::string();
    const int inLength = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), inLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return std::string();
    std::string bytes(static_cast<size_t>(length), '\0');
    if (WideCharToMultiByte(CP_UTF8, 0, text.data(), inLength, bytes.data(), length, nullptr, nullptr) != length)
        return std::string();
    return bytes;
}

TextFileContent ReadTextFile(const std::wstring& path, bool trimTrailing) {
    TextFileContent result;
    std::ifstream stream(path.c_str(), std::ios::in | std::ios::binary);
    if (!stream.is_open())
        return result;
    result.opened = true;

    std::string bytes;
    stream.seekg(0, std::ios::end);
    const std::streamoff size = stream.tellg();
    stream.seekg(0, std::ios::beg);
    if (size > 0 && static_cast<unsigned long long>(size) <= static_cast<unsigned long long>(INT_MAX)) {
        bytes.resize(static_cast<size_t>(size));
        stream.read(bytes.data(), size);
        bytes.resize(static_cast<size_t>(stream.gcount()));
    } else if (size < 0) {
        // Not seekable: read whatever the stream gives.
        stream.clear();
        bytes.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
    }
    // A file of 2 GB or more cannot be converted and reads as empty text.

    std::string_view content(bytes);
    if (trimTrailing)
        content = TrimTrailingControl(content);
    if (content.empty())
        return result;

    if (content.size() >= 3 && content.substr(0, 3) == std::string_view(kUtf8Bom, 3)) {
        content.remove_prefix(3);
        result.text = Decode(CP_UTF8, 0, content);
        if (!result.text.empty())
            return result;
    }
    result.text = Decode(CP_UTF8, MB_ERR_INVALID_CHARS, content);
    if (result.text.empty())
        result.text = Decode(CP_ACP, 0, content);
    return result;
}
