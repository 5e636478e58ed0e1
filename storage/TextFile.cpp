#include "storage/TextFile.h"

#include "core/UniqueHandles.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <iterator>
#include <vector>

std::wstring RunningExecutablePath() {
    // Grow the buffer until the whole path fits: a cut path would name another file or folder.
    std::vector<wchar_t> buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
        if (length == 0)
            return std::wstring();
        if (length < size)
            return std::wstring(buffer.data(), length);
        if (buffer.size() >= 32768)
            return std::wstring();
        buffer.assign(buffer.size() * 2, L'\0');
    }
}

std::wstring GetAppDirectory() {
    return std::wstring(DirectoryOfPath(RunningExecutablePath()));
}

std::wstring_view DirectoryOfPath(std::wstring_view path) {
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring_view::npos ? path : path.substr(0, separator);
}

std::wstring DataFilePath(std::wstring_view name) {
    std::wstring path = GetAppDirectory();
    path += L'\\';
    path.append(name);
    return path;
}

namespace {

// A binary output stream straight onto a file handle, so the same handle can be flushed
// to disk before it is closed.
class HandleStreamBuf : public std::streambuf {
public:
    HandleStreamBuf(HANDLE file, const SafeWriteSteps& steps) : file_(file), steps_(steps) {
        setp(buffer_, buffer_ + sizeof(buffer_));
    }
    bool failed() const { return failed_; }

protected:
    int_type overflow(int_type c) override {
        if (!Drain())
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* data, std::streamsize count) override {
        if (count < static_cast<std::streamsize>(sizeof(buffer_)))
            return std::streambuf::xsputn(data, count);
        // Large blocks go straight to the file.
        if (!Drain() || !WriteAll(data, static_cast<size_t>(count)))
            return 0;
        return count;
    }
    int sync() override { return Drain() ? 0 : -1; }

private:
    bool Drain() {
        const size_t pending = static_cast<size_t>(pptr() - pbase());
        setp(buffer_, buffer_ + sizeof(buffer_));
        return WriteAll(buffer_, pending);
    }
    bool WriteAll(const char* data, size_t count) {
        while (count > 0 && !failed_) {
            const DWORD chunk = static_cast<DWORD>(count < (1u << 30) ? count : (1u << 30));
            unsigned long written = 0;
            if (!steps_.write(file_, data, chunk, &written) || written == 0)
                failed_ = true;
            data += written;
            count -= written;
        }
        return !failed_;
    }

    HANDLE file_;
    const SafeWriteSteps& steps_;
    char buffer_[64 * 1024];
    bool failed_ = false;
};

// Virus scanners and indexers hold fresh files for a moment; such a move is worth retrying.
bool MoveOverTarget(const std::wstring& from, const std::wstring& to, const SafeWriteSteps& steps) {
    constexpr int kAttempts = 10;
    constexpr DWORD kPauseMs = 50;
    for (int attempt = 0;; ++attempt) {
        if (steps.move(from.c_str(), to.c_str()))
            return true;
        const DWORD error = GetLastError();
        const bool transient = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
        if (!transient || attempt + 1 >= kAttempts)
            return false;
        Sleep(kPauseMs);
    }
}

} // namespace

SafeWriteSteps SystemWriteSteps() {
    SafeWriteSteps steps;
    steps.write = [](void* file, const char* data, unsigned long count, unsigned long* written) {
        DWORD done = 0;
        const bool ok = WriteFile(file, data, count, &done, nullptr) != FALSE;
        *written = done;
        return ok;
    };
    steps.flush = [](void* file) { return FlushFileBuffers(file) != FALSE; };
    steps.move = [](const wchar_t* from, const wchar_t* to) {
        return MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    };
    return steps;
}

bool SafeWriteFile(const std::wstring& path, const FileWriter& writer) {
    return SafeWriteFile(path, writer, SystemWriteSteps());
}

bool SafeWriteFile(const std::wstring& path, const FileWriter& writer, const SafeWriteSteps& steps) {
    const std::wstring temporary = SafeWriteTemporaryPath(path);
    // Full sharing, so an editor holding the file open does not stop the write.
    UniqueHandle file = MakeUniqueFileHandle(CreateFileW(temporary.c_str(), GENERIC_WRITE,
                                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                         nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    bool written;
    {
        HandleStreamBuf buffer(file.get(), steps);
        std::ostream stream(&buffer);
        written = writer(stream);
        stream.flush();
        // A disk that filled up while writing leaves a failed stream: that short file
        // must never replace the good one.
        written = written && stream.good() && !buffer.failed();
    }
    // A same-volume move does not flush the data; after a power cut such a file can come
    // back full of zero bytes.
    written = written && steps.flush(file.get());
    file.reset();
    if (!written || !MoveOverTarget(temporary, path, steps)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

std::wstring MoveToFreeName(const std::wstring& from, int tries, const std::function<std::wstring(int)>& nameFor) {
    for (int n = 1; n <= tries; ++n) {
        const std::wstring name = nameFor(n);
        if (MoveFileExW(from.c_str(), name.c_str(), MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH))
            return name;
        if (GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS)
            return std::wstring();
    }
    return std::wstring();
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

namespace {

// Encodes text from `i` on; with StopAtLineBreak, up to the first CR or LF. Written by hand: the
// system converter is several times slower under Wine, and the whole history goes through here
// on every capture. Output matches WideCharToMultiByte(CP_UTF8), a lone surrogate becoming
// U+FFFD. Japanese mixed with ASCII defeats branch prediction, so the common cases write all
// three candidate bytes and advance by the real length (the caller leaves that room).
template <bool StopAtLineBreak> char* EncodeRun(std::wstring_view text, size_t& i, char* p) {
    const size_t n = text.size();
    for (; i < n; ++i) {
        const unsigned c = text[i];
        if (StopAtLineBreak && c <= 13u && (c == 13u || c == 10u))
            break;
        if ((c & 0xF800u) == 0xD800u) { // surrogates: rare
            const unsigned next = i + 1 < n ? static_cast<unsigned>(text[i + 1]) : 0u;
            if (c <= 0xDBFF && (next & 0xFC00u) == 0xDC00u) {
                const unsigned cp = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
                *p++ = static_cast<char>(0xF0 | (cp >> 18));
                *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
                *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
                *p++ = static_cast<char>(0x80 | (cp & 0x3F));
                ++i;
            } else {
                *p++ = '\xEF';
                *p++ = '\xBF';
                *p++ = '\xBD';
            }
            continue;
        }
        const unsigned length = 1u + (c >= 0x80u) + (c >= 0x800u);
        const unsigned first = length == 1 ? c : length == 2 ? (0xC0u | (c >> 6)) : (0xE0u | (c >> 12));
        const unsigned second = length == 2 ? (0x80u | (c & 0x3Fu)) : (0x80u | ((c >> 6) & 0x3Fu));
        p[0] = static_cast<char>(first);
        p[1] = static_cast<char>(second);
        p[2] = static_cast<char>(0x80u | (c & 0x3Fu));
        p += length;
    }
    return p;
}

} // namespace

char* EncodeUtf8(std::wstring_view text, char* p) {
    size_t i = 0;
    return EncodeRun<false>(text, i, p);
}

char* EncodeUtf8Line(std::wstring_view text, size_t& from, char* p) {
    return EncodeRun<true>(text, from, p);
}

char* Utf8Buffer::Reserve(size_t extra) {
    const size_t needed = length + extra;
    if (needed > bytes.size())
        bytes.resize(std::max(needed, bytes.size() * 2));
    return &bytes[0] + length;
}

void Utf8Buffer::Append(std::wstring_view text) {
    Commit(EncodeUtf8(text, Reserve(kMaxUtf8PerUnit * text.size())));
}

std::string ToUtf8(std::wstring_view text) {
    std::string bytes(kMaxUtf8PerUnit * text.size(), '\0');
    bytes.resize(static_cast<size_t>(EncodeUtf8(text, &bytes[0]) - bytes.data()));
    return bytes;
}

namespace {

uint64_t FileTimeValue(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

uint64_t SizeValue(DWORD high, DWORD low) {
    return (static_cast<uint64_t>(high) << 32) | low;
}

bool IsMissingError(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME;
}

} // namespace

FileRead ReadFileBytes(const std::wstring& path, std::string& bytes, FileStamp* stamp) {
    bytes.clear();
    // Full sharing: an editor that has the file open must not make it look unreadable.
    UniqueHandle file = MakeUniqueFileHandle(CreateFileW(path.c_str(), GENERIC_READ,
                                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return IsMissingError(GetLastError()) ? FileRead::Missing : FileRead::Unreadable;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.get(), &info))
        return FileRead::Unreadable;
    const uint64_t size = SizeValue(info.nFileSizeHigh, info.nFileSizeLow);
    if (size > kMaxDataFileBytes)
        return FileRead::Unreadable;
    if (stamp)
        *stamp = FileStamp{true, size, FileTimeValue(info.ftLastWriteTime)};
    bytes.resize(static_cast<size_t>(size));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (!ReadFile(file.get(), &bytes[done], static_cast<DWORD>(bytes.size() - done), &got, nullptr)) {
            bytes.clear();
            return FileRead::Unreadable;
        }
        if (got == 0)
            break; // shorter than it was a moment ago
        done += got;
    }
    bytes.resize(done);
    return FileRead::Read;
}

FileStamp ReadFileStamp(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return FileStamp{};
    return FileStamp{true, SizeValue(data.nFileSizeHigh, data.nFileSizeLow), FileTimeValue(data.ftLastWriteTime)};
}

std::wstring DecodeDataBytes(std::string_view content, bool trimTrailing) {
    if (trimTrailing)
        content = TrimTrailingControl(content);
    if (content.empty())
        return std::wstring();
    if (content.size() >= 3 && content.substr(0, 3) == std::string_view(kUtf8Bom, 3)) {
        content.remove_prefix(3);
        std::wstring text = Decode(CP_UTF8, 0, content);
        if (!text.empty())
            return text;
    }
    std::wstring text = Decode(CP_UTF8, MB_ERR_INVALID_CHARS, content);
    if (text.empty())
        text = Decode(CP_ACP, 0, content);
    return text;
}

TextFileContent ReadTextFile(const std::wstring& path, bool trimTrailing) {
    TextFileContent result;
    std::string bytes;
    result.status = ReadFileBytes(path, bytes, &result.stamp);
    if (result.status != FileRead::Read)
        return result;
    result.opened = true;
    result.text = DecodeDataBytes(bytes, trimTrailing);
    return result;
}
